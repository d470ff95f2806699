#pragma once
// The application object of window mode: its title, its help file, the main
// window, the message loop and the general error reporting.
#include <windows.h>

#include <functional>
#include <string>

class Exception;

class TApplication {
public:
    std::string Title;
    std::string HelpFile;
    HWND MainWindow = nullptr;
    HACCEL Accelerators = nullptr;

    // Runs the loop until the main window is gone; returns the exit code.
    int Run();

    // Asks the application to quit. It takes effect when control is back in
    // the application's own loop, so a running handler goes on to its end
    // with its window still there.
    void Terminate() { quitPending_ = true; }
    bool Terminated() const { return quitPending_; }

    // Accelerators and dialog keys of the main window; true when handled.
    // Used by the loop and by the message processing inside a run.
    bool FilterMessage(MSG& msg);

    // WinHelpA on the help file, owned by the main window.
    void HelpCommand(UINT command, ULONG_PTR data);

    // Runs an event handler; an error that leaves it is shown, and the
    // program goes on. (An exception cannot unwind through DispatchMessageA.)
    void Guard(const std::function<void()>& handler);
    void ShowException(const std::string& message);

private:
    bool quitPending_ = false;
};

extern TApplication Application;
