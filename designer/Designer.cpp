// The designer host: the visual designer as far as the project component
// needs one. It opens a window description in design mode, applies property
// assignments, and stores the description back, so that a developer can use
// the bookkeeping (build counter, version log, version resource, registry
// defaults) on a real project. Its questions are the component's own
// message boxes.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "project/Backup.h"
#include "project/ProjectForm.h"
#include "project/ProjectStore.h"
#include "project/VersionInfo.h"
#include "project/Win32ProjectHost.h"
#include "run/RunLog.h"
#include "system/Win32FileSystem.h"

namespace {

const char kUsage[] =
    "usage: designer new FILE.dfm COMPONENT [Property=value ...]\n"
    "       designer store FILE.dfm [[COMPONENT.]Property=value ...]\n"
    "       designer print FILE.dfm [COMPONENT]\n"
    "\n"
    "new    places a new TProject named COMPONENT on a new window (Form1: TForm1)\n"
    "       in design mode: it starts from your registry defaults and may show\n"
    "       the one-time notice. The assignments follow, then the store. FILE\n"
    "       must not exist yet.\n"
    "store  opens FILE in design mode (the stored values, then AfterLoad, which\n"
    "       raises Build by 1), applies the assignments in the order given, then\n"
    "       stores it (BeforeStore: Build +1 again, the defaults saved to the\n"
    "       registry, the version resource written under ProjectPath). So each\n"
    "       open and store raises Build by 2, as a designer does.\n"
    "print  opens FILE in design mode (so it may ask questions and show the\n"
    "       notice) and prints the components' properties; it never stores.\n"
    "\n"
    "Values: texts as they are (quote them for the shell), True/False, member\n"
    "names such as lanJapanese, decimal numbers; Log= and Notes= set one line\n"
    "(empty: none). COMPONENT. may be left out when the window holds one.\n"
    "A failed assignment stops the run before the store.\n"
    "\n"
    "Exit codes: 0 stored (or printed), 1 error (the description is left as it\n"
    "was; a failing store may already have written the version resource and\n"
    "the defaults, as its BeforeStore runs first), 2 bad usage.\n";

std::string ReadDescription(const std::string& path) {
    // The run log's reader: shared opening, and every handle closed again
    // before the store, since under Wine the replace fails while one is open.
    std::string text;
    if (!ReadWholeFile(PlatformFileSystem(), path, text)) {
        throw Exception("cannot open the description (error " + std::to_string(::GetLastError()) + ")");
    }
    return text;
}

void WriteDescription(const std::string& path, const std::string& text) {
    try {
        WriteBytesToFile(PlatformFileSystem(), path, reinterpret_cast<const unsigned char*>(text.data()),
                         text.size());
    } catch (const Exception&) {
        throw Exception("the description could not be replaced; it is unchanged");
    }
}

bool FileExists(const std::string& path) { return PlatformFileSystem().Attributes(path) != fa::kNone; }

struct Assignment {
    std::string component, property, value;
};

bool ParseAssignment(const std::string& arg, Assignment& out) {
    const std::size_t equals = arg.find('=');
    if (equals == std::string::npos || equals == 0) return false;
    const std::string left = arg.substr(0, equals);
    const std::size_t point = left.find('.');
    out.component = point == std::string::npos ? std::string() : left.substr(0, point);
    out.property = point == std::string::npos ? left : left.substr(point + 1);
    out.value = arg.substr(equals + 1);
    return !out.property.empty();
}

TProject& Target(TProjectForm& form, const std::string& name) {
    if (name.empty()) {
        if (form.Components().size() != 1) {
            throw Exception("the window holds " + std::to_string(form.Components().size()) +
                            " components: name one, as COMPONENT.Property=value");
        }
        return *form.Components().front();
    }
    TProject* project = form.Find(name);
    if (project == nullptr) throw Exception("the window holds no component " + name);
    return *project;
}

int Usage(const char* problem) {
    std::fprintf(stderr, "designer: %s\n\n%s", problem, kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "help" || args[0] == "/?" || args[0] == "--help") {
        std::fputs(kUsage, stdout);
        return args.empty() ? 2 : 0;
    }
    const std::string& command = args[0];
    if (command != "new" && command != "store" && command != "print") return Usage("unknown command");
    if (args.size() < 2) return Usage("no description file given");
    if (command == "new" && args.size() < 3) return Usage("no component name given");
    if (command == "print" && args.size() > 3) return Usage("print takes one component name at most");
    const std::string& path = args[1];
    std::vector<Assignment> assignments;
    for (std::size_t i = command == "new" ? 3 : 2; command != "print" && i < args.size(); ++i) {
        Assignment a;
        if (!ParseAssignment(args[i], a)) return Usage(("not an assignment: " + args[i]).c_str());
        assignments.push_back(a);
    }

    Win32ProjectHost host;
    static TProjectBackup backup(PlatformFileSystem());
    TProjectForm form(host, backup, true);
    try {
        if (command == "new") {
            if (FileExists(path)) throw Exception("the file already exists");
            form.New("Form1", "TForm1");
            form.Place(args[2]);
        } else {
            form.Load(ReadDescription(path));
        }
        if (command == "print") {
            if (args.size() == 3) Target(form, args[2]);  // the name must exist
            std::fputs(form.Describe().c_str(), stdout);
            return 0;
        }
        for (const Assignment& a : assignments) {
            AssignPropertyText(Target(form, a.component), a.property, a.value);
        }
        WriteDescription(path, form.Store());
    } catch (const Exception& e) {
        std::fprintf(stderr, "designer: %s: %s\n", path.c_str(), e.Message().c_str());
        return 1;
    }
    std::printf("stored %s\n", path.c_str());
    return 0;
}
