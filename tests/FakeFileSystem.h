#pragma once
// The file system of the native tests: an in-memory tree whose listings come
// in insertion order with "." and "..", names that ignore letter case, the
// refusals of the real calls (unshared handles, read-only and hidden files
// under CREATE_ALWAYS, files other programs hold) and faults to inject: torn
// writes, a full disk. Large files are generated on read and kept as size and
// sampled digest only.
#include "system/FileSystem.h"
#include "system/Text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

class FakeFileSystem : public IFileSystem {
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
    std::vector<std::string> createdFolders;  // every CreateFolder, in order
    std::set<std::string> refuseFolders;      // CreateFolder fails for these
    // By path in any case, as other programs and disks refuse them:
    std::set<std::string> unreadable;     // held open without sharing
    std::set<std::string> unreplaceable;  // held open: no move onto it, no delete
    std::set<std::string> unwritable;     // open refused for writing
    std::set<std::string> tearing;        // every write breaks off halfway
    long long writeBudget = -1;           // bytes that still fit on the disk; -1: no limit
    bool tempCreationFails = false;
    bool refuseCreate = false;  // every CREATE_ALWAYS fails
    int tempCounter = 0;
    int replaces = 0, inPlaceWrites = 0;
    // The machine-wide mutex: whether it can be made, what a wait answers,
    // what other runs do while this one waits, and the calls made on it.
    bool mutexCreateFails = false;
    std::uint32_t waitAnswer = wr::kObject0;
    std::function<void(FakeFileSystem&)> whileWaiting;
    std::vector<std::string> mutexCalls;  // "create NAME", "wait MS", "release", "close"

    FakeFileSystem() { nodes.push_back({"C:", true, 0x10}); }

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
        if (LastSeparator(Key(path)) != std::string::npos && !Find(Parent(path)))
            AddFolder(path.substr(0, LastSeparator(Key(path))));
        nodes.push_back({Key(path).size() == path.size() ? path : path.substr(0, Key(path).size()), true, attributes});
        return nodes.back();
    }
    Node& AddFile(const std::string& path, const std::string& bytes, std::uint32_t attributes = 0x20) {
        if (Node* old = Find(path)) nodes.erase(nodes.begin() + (old - nodes.data()));
        if (LastSeparator(path) != std::string::npos && !Find(Parent(path)))
            AddFolder(path.substr(0, LastSeparator(path)));
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
    std::vector<unsigned char> Bytes(const std::string& path) {
        const std::string bytes = Content(path);
        return std::vector<unsigned char>(bytes.begin(), bytes.end());
    }
    bool Has(const std::string& path) {
        Node* n = Find(path);
        return n && !n->folder;
    }
    std::size_t FileCount() const {
        return std::count_if(nodes.begin(), nodes.end(), [](const Node& n) { return !n.folder; });
    }
    std::size_t OpenHandles() const { return files_.size() + finds_.size() + mutexes_.size(); }

    std::size_t FullPathName(const std::string& name, std::string& full) override {
        full.clear();
        lastError_ = 0;
        if (name.empty()) return 0;
        if (wineLongNames && name.size() >= kMaxFullPath) return lastError_ = fo::kFileNameTooLong, 0;
        const std::string expanded = name.size() >= 2 && name[1] == ':' ? name : currentDirectory + "\\" + name;
        if (expanded.size() >= kMaxFullPath) return expanded.size() + 1;
        full = expanded;
        return full.size();
    }
    std::string CurrentDirectory() override { return currentDirectory; }
    bool FolderExists(const std::string& path) {
        Node* n = Find(path);
        return n && n->folder;
    }
    bool CreateFolder(const std::string& path) override {
        createdFolders.push_back(path);
        if (Find(path) || !FolderExists(Parent(path)) || In(refuseFolders, path)) return false;
        AddFolder(path);
        return true;
    }

    FileHandle FindFirst(const std::string& pattern, FoundFile& entry) override {
        const std::size_t cut = LastSeparator(pattern);
        const std::string folder = Key(pattern.substr(0, cut)), mask = LowerAscii(pattern.substr(cut + 1));
        lastError_ = fo::kFileNotFound;
        if (!FolderExists(folder)) return kNoFile;
        std::vector<FoundFile> listed;
        for (const char* dots : {".", ".."}) {
            if (Matches(mask, dots)) listed.push_back({dots, 0x10, 0});
        }
        for (const Node& n : nodes) {
            const std::string name = n.path.substr(LastSeparator(n.path) + 1);
            if (Parent(n.path) == folder && Matches(mask, LowerAscii(name))) {
                listed.push_back({name, n.attributes ? n.attributes : 0x80, n.size});
            }
        }
        if (listed.empty()) return kNoFile;
        entry = listed[0];
        finds_[++last_] = {listed, 1};
        return last_;
    }
    bool FindNext(FileHandle find, FoundFile& entry) override {
        auto& f = finds_.at(find);
        if (f.second == f.first.size()) return lastError_ = fo::kNoMoreFiles, false;
        entry = f.first[f.second++];
        return true;
    }
    void FindClose(FileHandle find) override {
        if (finds_.erase(find) != 1) Misuse("find handle closed twice");
    }

    std::uint32_t Attributes(const std::string& path) override {
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
    FileHandle Open(const std::string& path, std::uint32_t access, std::uint32_t share,
                    std::uint32_t creation) override {
        Node* n = Find(path);
        const Fault fault = FaultOf(path).first;
        const bool write = (access & fo::kWrite) != 0;
        if (In(unreadable, path) || (write && In(unwritable, path)) || IsOpen(path, share) || fault == kLocked ||
            (n && n->folder)) {
            return kNoFile;
        }
        if (creation == fo::kOpenExisting) {
            if (!n) return kNoFile;
        } else if (creation == fo::kCreateAlways) {
            if (refuseCreate || fault == kRefuseCreate || (n && (n->attributes & 0x07) != 0)) return kNoFile;
            if (!n) n = &AddFile(path, "");
            *n = Node{n->path, false, 0x20};
            createdFiles.push_back(path);
        } else if (!n) {
            n = &AddFile(path, "");
        }
        if (write && path.find(".tmp") == std::string::npos) ++inPlaceWrites;
        files_[++last_] = {Key(path), 0, write, share};
        return last_;
    }
    bool Size(FileHandle file, std::uint64_t& size) override {
        size = Find(files_.at(file).key)->size;
        return true;
    }
    bool Read(FileHandle file, void* buffer, std::uint32_t count, std::uint32_t& got) override {
        OpenFile& o = files_.at(file);
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
    bool Write(FileHandle file, const void* buffer, std::uint32_t count, std::uint32_t& wrote) override {
        OpenFile& o = files_.at(file);
        Node& n = *Find(o.key);
        const auto fault = FaultOf(o.key);
        wrote = count;
        if (fault.first == kWriteFails && o.pos + count > fault.second) return wrote = 0, false;
        if (fault.first == kWriteShort && o.pos + count > fault.second) wrote = static_cast<std::uint32_t>(fault.second - o.pos);
        bool ok = true;
        if (In(tearing, o.key)) wrote = count / 2, ok = false;
        // Overwriting the file's own bytes needs no new room; growing it does.
        const std::uint64_t growth = o.pos + wrote > n.size ? o.pos + wrote - n.size : 0;
        if (writeBudget >= 0 && growth > static_cast<std::uint64_t>(writeBudget)) {
            wrote = static_cast<std::uint32_t>(n.size + writeBudget - o.pos), ok = false;
        }
        if (writeBudget >= 0) writeBudget -= std::min<long long>(writeBudget, static_cast<long long>(growth));
        const auto* in = static_cast<const unsigned char*>(buffer);
        if (o.pos + wrote <= n.size && n.size <= kKeep) {
            n.bytes.replace(o.pos, wrote, reinterpret_cast<const char*>(in), wrote);
            o.pos += wrote;
            return ok;
        }
        if (o.pos < n.size && n.size <= kKeep) n.bytes.resize(o.pos);
        n.digest = Digest(n.digest, o.pos, in, wrote);
        n.size = o.pos += wrote;
        if (n.size <= kKeep) n.bytes.append(reinterpret_cast<const char*>(in), wrote);
        else n.bytes.clear();
        return ok;
    }
    bool SetEnd(FileHandle file) override {
        OpenFile& o = files_.at(file);
        Node& n = *Find(o.key);
        n.size = o.pos;
        if (n.bytes.size() > o.pos) n.bytes.resize(o.pos);
        return true;
    }
    bool Flush(FileHandle) override { return true; }
    FileHandle CreateNamedMutex(const std::string& name) override {
        mutexCalls.push_back("create " + name);
        if (mutexCreateFails) return lastError_ = 5, kNoFile;
        mutexes_.insert(++last_);
        return last_;
    }
    std::uint32_t WaitFor(FileHandle handle, std::uint32_t milliseconds) override {
        if (!mutexes_.count(handle)) Misuse("wait on no mutex");
        mutexCalls.push_back("wait " + std::to_string(milliseconds));
        if (whileWaiting) whileWaiting(*this);
        return waitAnswer;
    }
    bool ReleaseMutex(FileHandle handle) override {
        if (!mutexes_.count(handle)) Misuse("release of no mutex");
        mutexCalls.push_back("release");
        return true;
    }
    bool Close(FileHandle file) override {
        if (mutexes_.erase(file) == 1) return mutexCalls.push_back("close"), true;
        if (files_.erase(file) != 1) Misuse("file handle closed twice");
        return true;
    }
    bool MoveReplace(const std::string& from, const std::string& to) override {
        Node* source = Find(from);
        Node* target = Find(to);
        if (!source || source->folder || IsOpen(from) || In(unreplaceable, to) || In(unreadable, to) ||
            (target && (target->folder || IsOpen(to)))) {
            return false;
        }
        ++replaces;
        Node moved = *source;
        moved.path = to;
        nodes.erase(nodes.begin() + (source - nodes.data()));
        if (Node* old = Find(to)) *old = moved;
        else nodes.push_back(moved);
        return true;
    }
    bool TempFileName(const std::string& folder, const char* prefix, std::string& name) override {
        if (tempCreationFails) return false;
        name = folder + prefix + std::to_string(++tempCounter) + ".tmp";
        AddFile(name, "");
        return true;
    }
    std::uint32_t LastError() override { return lastError_; }
    bool Delete(const std::string& path) override {
        Node* n = Find(path);
        if (!n || n->folder || IsOpen(path) || (n->attributes & 0x01) || In(unreplaceable, path) ||
            In(unreadable, path)) {
            return false;
        }
        nodes.erase(nodes.begin() + (n - nodes.data()));
        return true;
    }

private:
    struct OpenFile {
        std::string key;
        std::uint64_t pos;
        bool write;
        std::uint32_t share;
    };
    std::map<FileHandle, OpenFile> files_;
    std::map<FileHandle, std::pair<std::vector<FoundFile>, std::size_t>> finds_;
    std::set<FileHandle> mutexes_;
    FileHandle last_ = 0;
    std::uint32_t lastError_ = 0;

    // A bug in the code under test that no answer could model: stop there
    // (the fuzz targets have no test framework to report to).
    [[noreturn]] static void Misuse(const char* what) {
        std::fprintf(stderr, "FakeFileSystem: %s\n", what);
        std::abort();
    }
    static bool In(const std::set<std::string>& paths, const std::string& path) {
        return std::any_of(paths.begin(), paths.end(), [&](const std::string& p) { return Key(p) == Key(path); });
    }

    // Open by a handle that does not share with this opening.
    bool IsOpen(const std::string& path, std::uint32_t share = fo::kShareNone) const {
        return std::any_of(files_.begin(), files_.end(), [&](const auto& f) {
            return f.second.key == Key(path) && (share != fo::kShareAll || f.second.share != fo::kShareAll);
        });
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
