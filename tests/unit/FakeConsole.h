#pragma once
// A fake window system for DefragDrive on a virtual clock: a scripted
// stand-in for the defragmenter console that answers the way Win32 does
// (a destroyed window has style 0 and IsWindow false).
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "run/ConsoleWindows.h"
#include "run/RunLog.h"

struct ConsoleScript {
    long long appearAfterMs = 2000;  // after ShellExecuteA; negative: never
    long long treeAfterMs = 0;       // the main window's children come this much later
    int missingStep = 0;             // 2..6: that window of the tree is absent
    bool missingDefragButton = false;
    bool missingReportButton = false;
    bool alreadyDone = false;        // View Report enabled from the start
    long long defragMs = 3500;       // from the key press to View Report enabled
    long long closedByHandAfterMs = -1;  // from the key press; the console vanishes
    int dialogShows = 1;             // completion box comes back after each Escape this often
    bool ignoresClose = false;       // WM_CLOSE does nothing
};

struct Posted {
    WindowHandle window;
    unsigned message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

struct ShownBox {
    long long atMs;
    WindowHandle owner;
    std::string text;
    bool captionGiven;
    unsigned style;
    std::size_t logLinesBefore;
};

class FakeConsole : public IConsoleWindows, public ILogClock {
public:
    explicit FakeConsole(ConsoleScript script = {}) : script_(script) {}

    // Opens a console at once, as if one were left over from before.
    void OpenConsoleNow();
    // Its main window alone, the tree below it later (BuildTree).
    void OpenMainWindow();
    void BuildTree();

    // --- what the code under test did
    long long now = 0;
    std::vector<unsigned> sleeps;
    std::vector<Posted> posted;
    std::vector<ShownBox> boxes;
    std::vector<std::string> shellCalls;  // "verb|file|params|show"
    int closeMessages = 0;
    int processMessagesCalls = 0;
    WindowHandle foregroundAt = 0;
    std::size_t postsBeforeForeground = 0;

    // --- hooks
    std::function<void(int call)> onProcessMessages;
    long long boxDismissAfterMs = 5000;
    const TRunLog* watchedLog = nullptr;

    bool ConsoleOpen() const;
    WindowHandle ConsoleWindow() const { return main_; }
    WindowHandle DefragButton() const { return defragButton_; }

    // IMessageBoxes / IConsoleWindows
    int MessageBoxA(WindowHandle owner, const char* text, const char* caption,
                    unsigned style) override;
    WindowHandle FindWindowA(const char* className, const char* caption) override;
    WindowHandle FindWindowExA(WindowHandle parent, WindowHandle childAfter, const char* className,
                               const char* caption) override;
    void ShellExecuteA(WindowHandle owner, const char* verb, const char* file, const char* parameters,
                       const char* directory, int show) override;
    void Sleep(unsigned milliseconds) override;
    long GetWindowStyle(WindowHandle window) override;
    bool IsWindow(WindowHandle window) override;
    void SetForegroundWindow(WindowHandle window) override;
    void PostMessageA(WindowHandle window, unsigned message, std::uintptr_t wParam,
                      std::intptr_t lParam) override;
    void SendMessageA(WindowHandle window, unsigned message, std::uintptr_t wParam,
                      std::intptr_t lParam) override;
    void ProcessMessages() override;

    // ILogClock: the virtual clock, from 2001-10-28 03:00:00
    LocalDateTime Now() override;
    std::string DateSeparator() override { return "/"; }
    std::string TimeSeparator() override { return ":"; }

private:
    struct Window {
        WindowHandle parent;
        std::string cls, caption;
        long style;
        bool alive;
    };
    WindowHandle Create(WindowHandle parent, const std::string& cls, const std::string& caption,
                        long style = 0);
    void DestroyConsole();
    void Advance(long long ms);
    void ShowDialog();

    ConsoleScript script_;
    std::map<WindowHandle, Window> windows_;
    WindowHandle next_ = 0x100;
    WindowHandle main_ = 0, defragButton_ = 0, reportButton_ = 0, dialog_ = 0;
    long long appearAt_ = -1, treeAt_ = -1, doneAt_ = -1, vanishAt_ = -1;
    int dialogsLeft_ = 0;
    bool focused_ = false, keyDown_ = false;
};
