#pragma once
// The drive queries of the window's list and of the command line, and the
// GetDriveTypeA results the program tells apart.
#include <string>

namespace drivetype {
constexpr unsigned kFixed = 3;  // DRIVE_FIXED
}

class IDriveInfo {
public:
    virtual ~IDriveInfo() = default;
    // GetLogicalDrives: bit 0 is A:.
    virtual unsigned long LogicalDrives() = 0;
    virtual unsigned DriveType(const std::string& root) = 0;
    // GetVolumeInformationA with a 256-character label buffer; the result is
    // not examined, so a label that cannot be read comes back empty.
    virtual std::string VolumeLabel(const std::string& root) = 0;
};

// "C:\", the root the queries take.
std::string DriveRoot(char letter);
// The letters of the fixed drives among those the system lists, A first.
std::string FixedDriveLetters(IDriveInfo& drives);
