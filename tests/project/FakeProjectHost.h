#pragma once
// The project component's host for native tests: scripted answers to the
// question boxes, a fixed clock, a small folder tree, the fake registry and
// resource files kept in memory.
#include "FakeRegistry.h"
#include "project/Project.h"
#include "system/Text.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

struct ShownBox {
    std::string text, caption;
    unsigned style;
};

class FakeResFiles : public TResFileSystem {
public:
    std::map<std::string, std::vector<unsigned char>> files;
    bool failWrite = false;
    bool CreateAndWrite(const std::string& name, const unsigned char* bytes, std::size_t count) override {
        if (failWrite) return false;
        files[name].assign(bytes, bytes + count);
        return true;
    }
    bool Replace(const std::string& from, const std::string& to) override {
        auto it = files.find(from);
        if (it == files.end()) return false;
        files[to] = it->second;
        files.erase(from);
        return true;
    }
    void Remove(const std::string& name) override { files.erase(name); }
};

class FakeProjectHost : public IProjectHost {
public:
    std::deque<int> answers;  // one per question box; none left fails the test
    std::vector<ShownBox> boxes;
    std::string timestamp = "2001/9/24 9:04:31";
    int year = 2026;
    std::string currentDirectory = "C:\\Work\\Editor";
    std::set<std::string> folders = {"C:", "C:\\Work", "C:\\Work\\Editor"};
    std::set<std::string> refuseFolders;  // CreateFolder fails for these
    std::vector<std::string> created;
    std::vector<std::string> titles;
    FakeRegistry registry;
    FakeResFiles resFiles;

    int MessageBoxA(WindowHandle, const char* text, const char* caption, unsigned style) override {
        boxes.push_back({text, caption ? caption : "", style});
        if ((style & 0x0F) == 0) return 1;  // IDOK
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text;
            return mb::kIdCancel;
        }
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::string Timestamp() override { return timestamp; }
    int CurrentYear() override { return year; }
    std::size_t FullPathName(const std::string& name, std::string& full, std::uint32_t& error) override {
        full.clear();
        error = 0;
        if (name.empty()) return 0;
        const bool absolute = name.size() >= 2 && name[1] == ':';
        const std::string expanded = absolute ? name : currentDirectory + "\\" + name;
        if (expanded.size() >= kMaxFullPath) return expanded.size() + 1;
        full = expanded;
        return full.size();
    }
    std::string CurrentDirectory() override { return currentDirectory; }
    // Folder names do not distinguish letter case.
    bool FolderExists(const std::string& path) override {
        for (const std::string& folder : folders) {
            if (LowerAscii(folder) == LowerAscii(Trimmed(path))) return true;
        }
        return false;
    }
    bool CreateFolder(const std::string& path) override {
        created.push_back(path);
        const std::size_t cut = LastSeparator(path);
        const bool parent = cut != std::string::npos && FolderExists(path.substr(0, cut));
        if (!parent || refuseFolders.count(path)) return false;
        folders.insert(path);
        return true;
    }
    int processed = 0;
    void ProcessMessages() override { ++processed; }
    void SetApplicationTitle(const std::string& title) override { titles.push_back(title); }
    IRegistryApi& Registry() override { return registry; }
    TResFileSystem& ResFiles() override { return resFiles; }

    // A folder path without its final backslash, read by character.
    static std::string Trimmed(const std::string& path) {
        const std::size_t cut = LastSeparator(path);
        return cut != std::string::npos && cut + 1 == path.size() ? path.substr(0, cut) : path;
    }
};

// A designer's window: design mode on, its components inherit it.
class DesignedWindow : public TComponent {
public:
    explicit DesignedWindow(bool designing = true) : TComponent(nullptr) { SetDesigning(designing); }
};
