#include "system/DriveTypes.h"

std::string DriveRoot(char letter) { return std::string{letter, ':', '\\'}; }

std::string FixedDriveLetters(IDriveInfo& drives) {
    const unsigned long listed = drives.LogicalDrives();
    std::string letters;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if ((listed >> (letter - 'A') & 1u) == 0) continue;
        if (drives.DriveType(DriveRoot(letter)) == drivetype::kFixed) letters += letter;
    }
    return letters;
}
