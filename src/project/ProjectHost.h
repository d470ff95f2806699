#pragma once
// What the project component needs from the system and from the program that
// hosts it, as one seam: the question boxes, the regional clock, the file
// system, the registry and the application title. Win32ProjectHost is the
// real one; tests use a fake.
#include <string>

#include "system/FileSystem.h"
#include "system/MessageBoxes.h"

class IRegistryApi;

class IProjectHost : public IMessageBoxes {
public:
    // The local date and time in the user's regional format: the short date,
    // one blank, the long time ("2001/9/24 9:04:31" under Japanese settings).
    virtual std::string Timestamp() = 0;
    virtual int CurrentYear() = 0;

    // Lets the host handle its pending window messages (during a long backup).
    virtual void ProcessMessages() = 0;

    virtual void SetApplicationTitle(const std::string& title) = 0;

    virtual IRegistryApi& Registry() = 0;
    // The folders of the path rules and the resource file writes.
    virtual IFileSystem& Files() = 0;
};
