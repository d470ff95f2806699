#include "project/ResFileSystem.h"

#include <windows.h>

#include "system/Scoped.h"

namespace {

class Win32ResFileSystem : public TResFileSystem {
public:
    bool CreateAndWrite(const std::string& name, const unsigned char* bytes, std::size_t count) override {
        if (count > MAXDWORD) {
            return false;
        }
        ScopedFile file(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsValid()) {
            return false;
        }
        DWORD written = 0;
        const BOOL wrote = WriteFile(file.Get(), bytes, static_cast<DWORD>(count), &written, nullptr);
        const bool closed = file.Close();
        return wrote && closed && written == count;
    }

    bool Replace(const std::string& from, const std::string& to) override {
        return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    }

    void Remove(const std::string& name) override { DeleteFileA(name.c_str()); }
};

}  // namespace

TResFileSystem& PlatformResFileSystem() {
    static Win32ResFileSystem fileSystem;
    return fileSystem;
}
