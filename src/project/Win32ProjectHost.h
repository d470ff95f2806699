#pragma once
// The project component's host on the real system: message boxes with no
// owner, the user's regional date and time, the file system, the registry.
#include <functional>

#include "project/ProjectHost.h"

class Win32ProjectHost : public IProjectHost {
public:
    // Where AutoNaming puts the title; nothing when empty.
    std::function<void(const std::string&)> TitleSink;

    int MessageBoxA(WindowHandle owner, const char* text, const char* caption, unsigned style) override;
    std::string Timestamp() override;
    int CurrentYear() override;
    void ProcessMessages() override;
    void SetApplicationTitle(const std::string& title) override;
    IRegistryApi& Registry() override;
    IFileSystem& Files() override;
};
