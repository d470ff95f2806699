#pragma once
// The few file operations the version resource writer needs, behind a seam so
// that its failure paths can be tested without a real failing disk.
#include <cstddef>
#include <string>

class TResFileSystem {
public:
    virtual ~TResFileSystem() = default;

    // Creates the file anew (an existing one is replaced), unshared, writes the
    // bytes with one write and closes it. False on any failure, after closing
    // whatever was opened.
    virtual bool CreateAndWrite(const std::string& name, const unsigned char* bytes, std::size_t count) = 0;

    // Puts `from` in the place of `to`, replacing `to` when it exists. False on
    // failure; `to` is then unchanged.
    virtual bool Replace(const std::string& from, const std::string& to) = 0;

    // Deletes the file if it can; failures are ignored.
    virtual void Remove(const std::string& name) = 0;
};

// The real file system of the platform the program was built for.
TResFileSystem& PlatformResFileSystem();
