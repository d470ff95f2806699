// Build tool, run on the build machine: writes quendro.exe's version
// resource from the values stored with the main window's component.
//
//   MakeVersionRes DESCRIPTION.dfm COMPONENT OUTPUT.res
//   MakeVersionRes DESCRIPTION.dfm COMPONENT --version
//       prints the stored Version instead, the one the release is named after
//
// The description is loaded as the finished program loads it (not in design
// mode), so no BeforeStore runs: a build never raises Build or touches the
// registry. The values go through the component's own mapping.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "project/ProjectForm.h"
#include "project/VersionInfo.h"

namespace {

// Loading outside design mode asks for nothing but a timestamp (for the
// in-memory log line of the version assignment) and, with AutoNaming, a title.
class BuildHost : public IProjectHost {
public:
    int MessageBoxA(WindowHandle, const char* text, const char*, unsigned) override { Refuse(text); }
    std::string Timestamp() override { return "build"; }
    int CurrentYear() override { Refuse("year"); }
    void ProcessMessages() override {}
    void SetApplicationTitle(const std::string&) override {}
    IRegistryApi& Registry() override { Refuse("registry"); }
    IFileSystem& Files() override { return PlatformFileSystem(); }

private:
    [[noreturn]] static void Refuse(const std::string& what) {
        throw Exception("the build loads the description outside design mode and needs no " + what);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: MakeVersionRes DESCRIPTION.dfm COMPONENT OUTPUT.res|--version\n");
        return 2;
    }
    try {
        std::ifstream in(argv[1], std::ios::binary);
        if (!in) {
            throw Exception(std::string("cannot read ") + argv[1]);
        }
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        BuildHost host;
        TProjectForm form(host, UnavailableBackup(), false);
        form.Load(text);
        const TProject* project = form.Find(argv[2]);
        if (project == nullptr) {
            throw Exception(std::string("no component ") + argv[2] + " in " + argv[1]);
        }
        if (std::string(argv[3]) == "--version") {
            std::printf("%s\n", project->Version().c_str());
            return 0;
        }
        TVersionInfo info;
        project->FillVersionInfo(info);
        info.WriteResFile(argv[3], host.Files());
    } catch (const Exception& e) {
        std::fprintf(stderr, "MakeVersionRes: %s: %s\n", argv[1], e.Message().c_str());
        return 1;
    }
    return 0;
}
