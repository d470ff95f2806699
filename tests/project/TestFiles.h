#pragma once
// A scratch folder for tests that write real files, removed afterwards.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }
    // Names of the files in the folder, sorted.
    std::vector<std::string> Names() const;

private:
    std::filesystem::path folder_;
};

std::vector<std::uint8_t> ReadWholeFile(const std::string& name);
void WriteWholeFile(const std::string& name, const std::vector<std::uint8_t>& bytes);
