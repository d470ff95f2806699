#include "project/ResFileSystem.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

class PosixResFileSystem : public TResFileSystem {
public:
    bool CreateAndWrite(const std::string& name, const unsigned char* bytes, std::size_t count) override {
        const int fd = open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) {
            return false;
        }
        const ssize_t written = write(fd, bytes, count);
        const int closed = close(fd);
        return written >= 0 && static_cast<std::size_t>(written) == count && closed == 0;
    }

    bool Replace(const std::string& from, const std::string& to) override {
        return std::rename(from.c_str(), to.c_str()) == 0;
    }

    void Remove(const std::string& name) override { std::remove(name.c_str()); }
};

}  // namespace

TResFileSystem& PlatformResFileSystem() {
    static PosixResFileSystem fileSystem;
    return fileSystem;
}
