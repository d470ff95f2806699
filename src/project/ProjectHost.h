#pragma once
// What the project component needs from the system and from the program that
// hosts it, as one seam: the question boxes, the regional clock, the paths and
// folders of its path rules, the registry, the resource file writes and the
// application title. Win32ProjectHost is the real one; tests use a fake.
#include <cstddef>
#include <cstdint>
#include <string>

#include "project/ResFileSystem.h"
#include "system/MessageBoxes.h"

class IRegistryApi;

// Full paths fit in 260 bytes (259 characters and the zero).
constexpr std::size_t kMaxFullPath = 260;

// ERROR_FILENAME_EXCED_RANGE: Wine's answer to a name too long for the A
// calls, where Windows returns the size it would need.
constexpr std::uint32_t kFileNameTooLong = 206;

// The folder calls of the path rules, shared by the component and the
// backup engine.
class IFolderSystem {
public:
    virtual ~IFolderSystem() = default;
    // GetFullPathNameA into kMaxFullPath bytes: the length of `full`, the size
    // needed when it does not fit (then `full` is empty), or 0 when the name
    // cannot be expanded, with the system's error code in `error`.
    virtual std::size_t FullPathName(const std::string& name, std::string& full, std::uint32_t& error) = 0;
    virtual std::string CurrentDirectory() = 0;
    virtual bool FolderExists(const std::string& path) = 0;
    // CreateDirectoryA of one folder whose parent exists.
    virtual bool CreateFolder(const std::string& path) = 0;
};

class IProjectHost : public IMessageBoxes, public IFolderSystem {
public:
    // The local date and time in the user's regional format: the short date,
    // one blank, the long time ("2001/9/24 9:04:31" under Japanese settings).
    virtual std::string Timestamp() = 0;
    virtual int CurrentYear() = 0;

    // Lets the host handle its pending window messages (during a long backup).
    virtual void ProcessMessages() = 0;

    virtual void SetApplicationTitle(const std::string& title) = 0;

    virtual IRegistryApi& Registry() = 0;
    virtual TResFileSystem& ResFiles() = 0;
};
