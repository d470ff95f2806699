// Build tool, run on the build machine: prints the stored Version of a
// component of a window description, the version the release is named after.
//
//   StoredVersion DESCRIPTION.dfm COMPONENT
//
// The description is loaded as the version resource tool loads it (outside
// design mode), so the value is the one the component holds after loading,
// the same the exe's version resource is built from.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "project/ProjectForm.h"

namespace {

// Loading outside design mode asks for nothing but a timestamp and, with
// AutoNaming, a title; anything else is a fault of the description.
class LoadOnlyHost : public IProjectHost {
public:
    int MessageBoxA(WindowHandle, const char* text, const char*, unsigned) override { Refuse(text); }
    std::string Timestamp() override { return "build"; }
    int CurrentYear() override { Refuse("year"); }
    std::size_t FullPathName(const std::string& name, std::string&) override { Refuse(name); }
    std::string CurrentDirectory() override { Refuse("current directory"); }
    bool FolderExists(const std::string& path) override { Refuse(path); }
    bool CreateFolder(const std::string& path) override { Refuse(path); }
    void ProcessMessages() override {}
    void SetApplicationTitle(const std::string&) override {}
    IRegistryApi& Registry() override { Refuse("registry"); }
    TResFileSystem& ResFiles() override { Refuse("resource file"); }

private:
    [[noreturn]] static void Refuse(const std::string& what) {
        throw Exception("loading the description outside design mode needs no " + what);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: StoredVersion DESCRIPTION.dfm COMPONENT\n");
        return 2;
    }
    try {
        std::ifstream in(argv[1], std::ios::binary);
        if (!in) throw Exception(std::string("cannot read ") + argv[1]);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LoadOnlyHost host;
        TProjectForm form(host, UnavailableBackup(), false);
        form.Load(text);
        const TProject* project = form.Find(argv[2]);
        if (project == nullptr) throw Exception(std::string("no component ") + argv[2]);
        std::printf("%s\n", project->Version().c_str());
    } catch (const Exception& e) {
        std::fprintf(stderr, "StoredVersion: %s: %s\n", argv[1], e.Message().c_str());
        return 1;
    }
    return 0;
}
