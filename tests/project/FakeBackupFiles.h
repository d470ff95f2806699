#pragma once
// The backup engine's files for native tests: an in-memory tree whose
// listings come in insertion order with "." and "..", names that ignore
// letter case, the refusals of the real calls (unshared handles, read-only
// and hidden files under CREATE_ALWAYS) and faults to inject. Large files are
// generated on read and kept as size and sampled digest only.
#include "project/Backup.h"
#include "system/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

class FakeBackupFiles : public IBackupFiles {
public:
    enum Fault { kNone, kLocked, kRefuseCreate, kReadFails, kReadShort, kWriteFails, kWriteShort };
    struct Node {
        std::string path;
        bool folder = false;
        std::uint32_t attributes = 0;
        std::string bytes;           // while no more than kKeep
        std::uint64_t size = 0;
        std::uint64_t digest = kSeed;  // of the bytes at multiples of 4096
        bool generated = false;
        Node(std::string p, bool f, std::uint32_t a) : path(std::move(p)), folder(f), attributes(a) {}
    };
    static constexpr std::uint64_t kKeep = 1 << 20;
    static constexpr std::uint64_t kSeed = 14695981039346656037ull;

    std::string currentDirectory = "C:\\Work\\Editor";
    // A name too long for the A calls: Wine answers 0 and the error, Windows the size needed.
    bool wineLongNames = false;
    std::vector<Node> nodes;
    std::map<std::string, std::pair<Fault, std::uint64_t>> faults;  // by path in any case: fault, at byte
    std::vector<std::string> createdFiles;
    std::vector<std::string> attributeCalls;  // the paths, in order

    FakeBackupFiles() { nodes.push_back({"C:", true, 0x10}); }

    static std::string Key(const std::string& path) {
        const std::size_t cut = LastSeparator(path);
        return LowerAscii(cut != std::string::npos && cut + 1 == path.size() ? path.substr(0, cut) : path);
    }
    static std::string Parent(const std::string& path) {
        const std::size_t cut = LastSeparator(Key(path));
        return cut == std::string::npos ? std::string() : Key(path).substr(0, cut);
    }
    static unsigned char GeneratedByte(std::uint64_t at) { return static_cast<unsigned char>((at >> 12) * 31 + 7); }
    static std::uint64_t Digest(std::uint64_t digest, std::uint64_t at, const unsigned char* bytes, std::uint64_t n) {
        for (std::uint64_t p = (at + 4095) / 4096 * 4096; p < at + n; p += 4096) {
            digest = (digest ^ bytes[p - at]) * 1099511628211ull;
        }
        return digest;
    }

    Node* Find(const std::string& path) {
        for (Node& n : nodes) {
            if (Key(n.path) == Key(path)) return &n;
        }
        return nullptr;
    }
    Node& AddFolder(const std::string& path, std::uint32_t attributes = 0x10) {
        if (Node* n = Find(path)) return *n;
        if (!Find(Parent(path))) AddFolder(path.substr(0, LastSeparator(Key(path))));
        nodes.push_back({Key(path).size() == path.size() ? path : path.substr(0, Key(path).size()), true, attributes});
        return nodes.back();
    }
    Node& AddFile(const std::string& path, const std::string& bytes, std::uint32_t attributes = 0x20) {
        if (!Find(Parent(path))) AddFolder(path.substr(0, LastSeparator(path)));
        Node n{path, false, attributes};
        n.bytes = bytes;
        n.size = bytes.size();
        n.digest = Digest(kSeed, 0, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        nodes.push_back(n);
        return nodes.back();
    }
    Node& AddGenerated(const std::string& path, std::uint64_t size) {
        Node& n = AddFile(path, "");
        n.generated = true;
        n.size = size;
        for (std::uint64_t p = 0; p < size; p += 4096) n.digest = (n.digest ^ GeneratedByte(p)) * 1099511628211ull;
        return n;
    }
    std::string Content(const std::string& path) {
        Node* n = Find(path);
        return n ? n->bytes : "<none>";
    }
    std::size_t OpenHandles() const { return files_.size() + finds_.size(); }

    std::size_t FullPathName(const std::string& name, std::string& full, std::uint32_t& error) override {
        full.clear();
        error = 0;
        if (name.empty()) return 0;
        if (wineLongNames && name.size() >= kMaxFullPath) return error = kFileNameTooLong, 0;
        const std::string expanded = name.size() >= 2 && name[1] == ':' ? name : currentDirectory + "\\" + name;
        if (expanded.size() >= kMaxFullPath) return expanded.size() + 1;
        full = expanded;
        return full.size();
    }
    std::string CurrentDirectory() override { return currentDirectory; }
    bool FolderExists(const std::string& path) override {
        Node* n = Find(path);
        return n && n->folder;
    }
    bool CreateFolder(const std::string& path) override {
        if (Find(path) || !FolderExists(Parent(path))) return false;
        AddFolder(path);
        return true;
    }

    TBackupHandle FindFirst(const std::string& pattern, TBackupEntry& entry) override {
        const std::size_t cut = LastSeparator(pattern);
        const std::string folder = Key(pattern.substr(0, cut)), mask = LowerAscii(pattern.substr(cut + 1));
        if (!FolderExists(folder)) return kNoBackupHandle;
        std::vector<TBackupEntry> listed;
        for (const char* dots : {".", ".."}) {
            if (Matches(mask, dots)) listed.push_back({dots, 0x10, 0});
        }
        for (const Node& n : nodes) {
            const std::string name = n.path.substr(LastSeparator(n.path) + 1);
            if (Parent(n.path) == folder && Matches(mask, LowerAscii(name))) {
                listed.push_back({name, n.attributes ? n.attributes : 0x80, n.size});
            }
        }
        if (listed.empty()) return kNoBackupHandle;
        entry = listed[0];
        finds_[++last_] = {listed, 1};
        return last_;
    }
    bool FindNext(TBackupHandle find, TBackupEntry& entry) override {
        auto& f = finds_.at(find);
        if (f.second == f.first.size()) return false;
        entry = f.first[f.second++];
        return true;
    }
    void FindClose(TBackupHandle find) override { EXPECT_EQ(finds_.erase(find), 1u) << "closed twice"; }

    std::uint32_t GetAttributes(const std::string& path) override {
        attributeCalls.push_back(path);
        Node* n = Find(path);
        return !n ? fa::kNone : n->attributes ? n->attributes : 0x80;
    }
    bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
        attributeCalls.push_back(path);
        Node* n = Find(path);
        if (n) n->attributes = attributes == 0x80 ? 0 : attributes;
        return n != nullptr;
    }
    TBackupHandle OpenRead(const std::string& path) override {
        Node* n = Find(path);
        if (!n || n->folder || IsOpen(path) || FaultOf(path).first == kLocked) return kNoBackupHandle;
        files_[++last_] = {Key(path), 0, false};
        return last_;
    }
    TBackupHandle CreateWrite(const std::string& path) override {
        Node* n = Find(path);
        const Fault fault = FaultOf(path).first;
        if (!FolderExists(Parent(path)) || IsOpen(path) || fault == kLocked || fault == kRefuseCreate ||
            (n && (n->folder || (n->attributes & 0x07) != 0))) {
            return kNoBackupHandle;
        }
        if (!n) n = &AddFile(path, "");
        *n = Node{n->path, false, 0x20};
        createdFiles.push_back(path);
        files_[++last_] = {Key(path), 0, true};
        return last_;
    }
    bool Size(TBackupHandle file, std::uint64_t& size) override {
        size = Find(files_.at(file).key)->size;
        return true;
    }
    bool Read(TBackupHandle file, void* buffer, std::uint32_t count, std::uint32_t& got) override {
        Open& o = files_.at(file);
        const Node& n = *Find(o.key);
        const auto fault = FaultOf(o.key);
        got = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, n.size - o.pos));
        if (fault.first == kReadFails && o.pos + got > fault.second) return got = 0, false;
        if (fault.first == kReadShort && o.pos + got > fault.second) got = static_cast<std::uint32_t>(fault.second - o.pos);
        auto* out = static_cast<unsigned char*>(buffer);
        if (!n.generated) {
            std::memcpy(out, n.bytes.data() + o.pos, got);
        }
        for (std::uint64_t p = o.pos; n.generated && p < o.pos + got;) {
            const std::uint64_t end = std::min(o.pos + got, (p / 4096 + 1) * 4096);
            std::memset(out + (p - o.pos), GeneratedByte(p), end - p);
            p = end;
        }
        o.pos += got;
        return true;
    }
    bool Write(TBackupHandle file, const void* buffer, std::uint32_t count, std::uint32_t& wrote) override {
        Open& o = files_.at(file);
        Node& n = *Find(o.key);
        const auto fault = FaultOf(o.key);
        wrote = count;
        if (fault.first == kWriteFails && o.pos + count > fault.second) return wrote = 0, false;
        if (fault.first == kWriteShort && o.pos + count > fault.second) wrote = static_cast<std::uint32_t>(fault.second - o.pos);
        const auto* in = static_cast<const unsigned char*>(buffer);
        n.digest = Digest(n.digest, o.pos, in, wrote);
        n.size = o.pos += wrote;
        if (n.size <= kKeep) n.bytes.append(reinterpret_cast<const char*>(in), wrote);
        else n.bytes.clear();
        return true;
    }
    void Close(TBackupHandle file) override { EXPECT_EQ(files_.erase(file), 1u) << "closed twice"; }
    bool Delete(const std::string& path) override {
        Node* n = Find(path);
        if (!n || n->folder || IsOpen(path) || (n->attributes & 0x01)) return false;
        nodes.erase(nodes.begin() + (n - nodes.data()));
        return true;
    }

private:
    struct Open {
        std::string key;
        std::uint64_t pos;
        bool write;
    };
    std::map<TBackupHandle, Open> files_;
    std::map<TBackupHandle, std::pair<std::vector<TBackupEntry>, std::size_t>> finds_;
    TBackupHandle last_ = 0;

    bool IsOpen(const std::string& path) const {
        return std::any_of(files_.begin(), files_.end(), [&](const auto& f) { return f.second.key == Key(path); });
    }
    std::pair<Fault, std::uint64_t> FaultOf(const std::string& path) const {
        for (const auto& f : faults) {
            if (Key(f.first) == Key(path)) return f.second;
        }
        return {kNone, 0};
    }
    // "*" and "?" as a listing reads them, letter case already folded.
    static bool Matches(const std::string& mask, const std::string& name) {
        if (mask == "*.*" || mask == "*") return true;
        std::size_t m = 0, n = 0, star = std::string::npos, back = 0;
        while (n < name.size()) {
            if (m < mask.size() && (mask[m] == '?' || mask[m] == name[n])) {
                ++m, ++n;
            } else if (m < mask.size() && mask[m] == '*') {
                star = m++, back = n;
            } else if (star != std::string::npos) {
                m = star + 1, n = ++back;
            } else {
                return false;
            }
        }
        while (m < mask.size() && mask[m] == '*') ++m;
        return m == mask.size();
    }
};
