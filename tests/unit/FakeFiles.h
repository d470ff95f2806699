#pragma once
// An in-memory folder for the run log, with the refusals that other programs
// and full disks cause on Windows.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "system/Files.h"

class FakeFiles : public ILogFiles {
public:
    std::map<std::string, std::string> files;
    std::set<std::string> unreadable;         // held open without read sharing
    std::set<std::string> unreplaceable;      // another program has it open
    std::set<std::string> unwritable;         // open refused for writing
    std::set<std::string> tearing;  // every write to these breaks off halfway
    long long writeBudget = -1;               // bytes that still fit on the disk; -1: no limit
    bool tempCreationFails = false;
    int tempCounter = 0;
    int replaces = 0, inPlaceWrites = 0;

    bool FileExists(const std::string& path) override { return files.count(path) != 0; }

    bool ReadWhole(const std::string& path, std::string& bytes) override {
        if (!files.count(path) || unreadable.count(path)) return false;
        bytes = files[path];
        return true;
    }

    bool CreateTempFile(const std::string& folder, std::string& tempPath) override {
        if (tempCreationFails) return false;
        tempPath = folder + "qlg" + std::to_string(++tempCounter) + ".tmp";
        files[tempPath] = "";
        return true;
    }

    bool WriteWhole(const std::string& path, const std::string& bytes) override {
        if (unwritable.count(path) || unreadable.count(path)) return false;
        if (path.find(".tmp") == std::string::npos) ++inPlaceWrites;
        if (tearing.count(path)) {
            // The write breaks off halfway, whatever was there before.
            files[path] = bytes.substr(0, bytes.size() / 2);
            return false;
        }
        std::string& f = files[path];
        // Overwriting the file's own bytes needs no new room; growing it does.
        const long long growth = static_cast<long long>(bytes.size()) - static_cast<long long>(f.size());
        if (writeBudget >= 0 && growth > writeBudget) {
            // The disk fills midway: what fitted is written, the rest is not.
            f = bytes.substr(0, f.size() + static_cast<std::size_t>(writeBudget));
            writeBudget = 0;
            return false;
        }
        if (writeBudget >= 0 && growth > 0) writeBudget -= growth;
        f = bytes;
        return true;
    }

    bool Replace(const std::string& source, const std::string& target) override {
        if (!files.count(source) || unreplaceable.count(target) || unreadable.count(target))
            return false;
        ++replaces;
        files[target] = files[source];
        files.erase(source);
        return true;
    }

    // Windows' wildcards: '*' any run, '?' one character, letters in either case.
    static bool Matches(const char* pattern, const char* name) {
        if (*pattern == '\0') return *name == '\0';
        if (*pattern == '*') return Matches(pattern + 1, name) || (*name && Matches(pattern, name + 1));
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        return *name && (*pattern == '?' || lower(*pattern) == lower(*name)) && Matches(pattern + 1, name + 1);
    }

    bool ListFiles(const std::string& folder, const std::string& pattern,
                   std::vector<std::string>& names) override {
        names.clear();
        for (const auto& entry : files) {
            const std::string& path = entry.first;
            if (path.compare(0, folder.size(), folder) != 0) continue;
            const std::string name = path.substr(folder.size());
            if (name.find('\\') == std::string::npos && Matches(pattern.c_str(), name.c_str()))
                names.push_back(name);
        }
        return true;
    }

    bool Remove(const std::string& path) override {
        if (unreplaceable.count(path) || unreadable.count(path)) return false;
        return files.erase(path) != 0;
    }
};
