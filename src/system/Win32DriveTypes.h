#pragma once
// The drive queries, as the system answers them.
#include "system/DriveTypes.h"

class Win32DriveInfo : public IDriveInfo {
public:
    unsigned long LogicalDrives() override;
    unsigned DriveType(const std::string& root) override;
    std::string VolumeLabel(const std::string& root) override;
};
