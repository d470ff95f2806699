// helpc PROJECT HELPFILE CONTENTSFILE
// Compiles the help source named by PROJECT into a WinHelp 4.0 file and its
// contents file. The output names must be the ones the project declares
// (the program and the viewer look for them by name). On any fault it
// prints "FILE:LINE: message", writes nothing and exits with 1.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <strings.h>

#include "HlpWriter.h"

namespace {

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: helpc PROJECT HELPFILE CONTENTSFILE\n";
        return 2;
    }
    try {
        const helpc::HelpProject project = helpc::LoadProject(argv[1]);
        const std::pair<const char*, const std::string*> outputs[] = {{argv[2], &project.helpFile},
                                                                      {argv[3], &project.contentsFile}};
        for (const auto& [path, name] : outputs)
            if (strcasecmp(BaseName(path).c_str(), name->c_str()) != 0) {
                std::cerr << argv[1] << ": the project names its output " << *name << ", not " << BaseName(path) << "\n";
                return 1;
            }
        const helpc::HelpOutput out = helpc::WriteHelp(project);
        if (!WriteFile(argv[2], out.hlp) || !WriteFile(argv[3], out.cnt)) {
            std::cerr << "helpc: cannot write " << argv[2] << " or " << argv[3] << "\n";
            std::remove(argv[2]);
            std::remove(argv[3]);
            return 1;
        }
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return 0;
}
