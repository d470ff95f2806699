#include "system/Win32DriveTypes.h"

#include <windows.h>

unsigned long Win32DriveInfo::LogicalDrives() { return ::GetLogicalDrives(); }

unsigned Win32DriveInfo::DriveType(const std::string& root) { return ::GetDriveTypeA(root.c_str()); }

std::string Win32DriveInfo::VolumeLabel(const std::string& root) {
    char label[256] = "";
    char fileSystem[256] = "";
    DWORD serial = 0, maxComponent = 0, flags = 0;
    ::GetVolumeInformationA(root.c_str(), label, sizeof label, &serial, &maxComponent, &flags,
                            fileSystem, sizeof fileSystem);
    label[sizeof label - 1] = '\0';
    return label;
}
