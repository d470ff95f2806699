// The file system seam on POSIX, for the programs that run on the build
// machine: the version resource tool and the log benchmark.
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <map>

#include "system/FileSystem.h"

namespace {

class PosixFileSystem : public IFileSystem {
public:
    FileHandle Open(const std::string& path, std::uint32_t access, std::uint32_t,
                    std::uint32_t creation) override {
        int flags = O_CLOEXEC | ((access & fo::kWrite) != 0 ? ((access & fo::kRead) != 0 ? O_RDWR : O_WRONLY)
                                                              : O_RDONLY);
        if (creation == fo::kOpenAlways) flags |= O_CREAT;
        if (creation == fo::kCreateAlways) flags |= O_CREAT | O_TRUNC;
        const int fd = open(path.c_str(), flags, 0666);
        return fd < 0 ? Failed() : static_cast<FileHandle>(fd);
    }
    bool Size(FileHandle file, std::uint64_t& size) override {
        struct stat st;
        if (fstat(Fd(file), &st) != 0) return Failed(), false;
        size = static_cast<std::uint64_t>(st.st_size);
        return true;
    }
    bool Read(FileHandle file, void* buffer, std::uint32_t count, std::uint32_t& got) override {
        const ssize_t done = read(Fd(file), buffer, count);
        got = done < 0 ? 0 : static_cast<std::uint32_t>(done);
        return done >= 0 || (Failed(), false);
    }
    bool Write(FileHandle file, const void* buffer, std::uint32_t count, std::uint32_t& wrote) override {
        const ssize_t done = write(Fd(file), buffer, count);
        wrote = done < 0 ? 0 : static_cast<std::uint32_t>(done);
        return done >= 0 || (Failed(), false);
    }
    bool SetEnd(FileHandle file) override {
        const off_t at = lseek(Fd(file), 0, SEEK_CUR);
        return (at >= 0 && ftruncate(Fd(file), at) == 0) || (Failed(), false);
    }
    bool Flush(FileHandle file) override { return fsync(Fd(file)) == 0 || (Failed(), false); }
    bool Close(FileHandle file) override { return close(Fd(file)) == 0 || (Failed(), false); }

    FileHandle FindFirst(const std::string& pattern, FoundFile& found) override {
        const std::size_t cut = pattern.find_last_of("\\/");
        Search search;
        search.folder = cut == std::string::npos ? std::string() : pattern.substr(0, cut + 1);
        search.mask = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
        search.dir = opendir(search.folder.empty() ? "." : search.folder.c_str());
        if (search.dir == nullptr) return Failed();
        const FileHandle handle = ++lastSearch_;
        searches_[handle] = search;
        if (FindNext(handle, found)) return handle;
        FindClose(handle);
        lastError_ = fo::kFileNotFound;
        return kNoFile;
    }
    bool FindNext(FileHandle find, FoundFile& found) override {
        const auto it = searches_.find(find);
        if (it == searches_.end()) return false;
        while (const dirent* entry = readdir(it->second.dir)) {
            if (fnmatch(it->second.mask.c_str(), entry->d_name, FNM_CASEFOLD) != 0) continue;
            struct stat st;
            if (stat((it->second.folder + entry->d_name).c_str(), &st) != 0) continue;
            found.Name = entry->d_name;
            found.Attributes = S_ISDIR(st.st_mode) ? fa::kFolder : fa::kNormal;
            found.Size = static_cast<std::uint64_t>(st.st_size);
            return true;
        }
        lastError_ = fo::kNoMoreFiles;
        return false;
    }
    void FindClose(FileHandle find) override {
        const auto it = searches_.find(find);
        if (it == searches_.end()) return;
        closedir(it->second.dir);
        searches_.erase(it);
    }

    std::uint32_t Attributes(const std::string& path) override {
        struct stat st;
        if (stat(path.c_str(), &st) != 0) return Failed(), fa::kNone;
        return S_ISDIR(st.st_mode) ? fa::kFolder : fa::kNormal;
    }
    bool SetAttributes(const std::string&, std::uint32_t) override { return false; }
    // Only the build machine's own names, which the tools never expand.
    std::size_t FullPathName(const std::string&, std::string& full) override { return full.clear(), 0; }
    std::string CurrentDirectory() override {
        char buffer[PATH_MAX];
        return getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
    }
    bool CreateFolder(const std::string& path) override { return mkdir(path.c_str(), 0777) == 0 || (Failed(), false); }
    bool MoveReplace(const std::string& from, const std::string& to) override {
        return std::rename(from.c_str(), to.c_str()) == 0 || (Failed(), false);
    }
    bool Delete(const std::string& path) override { return unlink(path.c_str()) == 0 || (Failed(), false); }
    bool TempFileName(const std::string& folder, const char* prefix, std::string& name) override {
        std::string pattern = folder + prefix + "XXXXXX";
        const int fd = mkstemp(&pattern[0]);
        if (fd < 0) return Failed(), false;
        close(fd);
        name = pattern;
        return true;
    }
    // The build machine's tools run one at a time: no machine-wide lock.
    FileHandle CreateNamedMutex(const std::string&) override { return lastError_ = ENOSYS, kNoFile; }
    std::uint32_t WaitFor(FileHandle, std::uint32_t) override { return wr::kFailed; }
    bool ReleaseMutex(FileHandle) override { return false; }
    std::uint32_t LastError() override { return lastError_; }

private:
    struct Search {
        DIR* dir = nullptr;
        std::string folder, mask;
    };
    std::map<FileHandle, Search> searches_;
    FileHandle lastSearch_ = 0;
    std::uint32_t lastError_ = 0;

    static int Fd(FileHandle file) { return static_cast<int>(file); }
    FileHandle Failed() {
        lastError_ = errno == ENOENT ? fo::kFileNotFound : static_cast<std::uint32_t>(errno);
        return kNoFile;
    }
};

}  // namespace

IFileSystem& PlatformFileSystem() {
    static PosixFileSystem fileSystem;
    return fileSystem;
}
