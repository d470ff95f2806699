#pragma once
// The main window of window mode: the fixed drives with a check box each,
// three options, the execute and close buttons, the menu and the link label.
#include <windows.h>

#include <string>

#include "project/ProjectForm.h"
#include "project/Win32ProjectHost.h"
#include "run/Win32ConsoleWindows.h"
#include "run/Win32RunEvents.h"
#include "system/Scoped.h"
#include "system/Win32Clock.h"
#include "system/Win32FileSystem.h"
#include "system/Win32Shutdown.h"
#include "system/Win32Window.h"
#include "ui/MainRun.h"

class TURLLabelWindow;

class TfrmMain : public IMainView, public IRunServices {
public:
    TfrmMain();
    ~TfrmMain() override;
    TfrmMain(const TfrmMain&) = delete;
    TfrmMain& operator=(const TfrmMain&) = delete;

    static const char* const ClassName;  // "TfrmMain"
    // Creates the window and its controls; it is shown by the caller.
    HWND Create(HINSTANCE instance);
    HWND Handle() const { return hwnd_; }

    // The bookkeeping component stored with the window (not in design mode:
    // it only holds its stored values). Null until the description is loaded.
    TProject* QUENDRO = nullptr;

    // Event handlers.
    void FormCreate();
    void FormShow();
    void btnExecClick();
    void Exit1Click();
    void L1Click();
    void SearchforHelpOn1Click();
    void URLLabel1Click();
    void About1Click();

    // IMainView
    int MessageBoxA(WindowHandle owner, const char* text, const char* caption,
                    unsigned style) override;
    int DriveCount() override;
    bool DriveChecked(int index) override;
    std::string DriveText(int index) override;
    bool ShowErrorChecked() override;
    bool OnErrorStopChecked() override;
    bool ShutdownChecked() override;
    void SetExecEnabled(bool enabled) override;

    // IRunServices
    bool DefragDrive(char letter, bool showErrors, TRunLog& log) override;
    IFileSystem& Files() override { return files_; }
    ILogClock& Clock() override { return clock_; }
    IShutdownApi& ShutdownApi() override { return shutdown_; }
    IRunEvents& Events() override { return events_; }

private:
    friend LRESULT CALLBACK WindowProcOf<TfrmMain>(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK DriveListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    // Creates the stored components from the window's description resource.
    void LoadDescription();
    void OnCommand(int id, int code);
    void DrawDriveItem(const DRAWITEMSTRUCT& item);
    void ToggleDriveItem(int index);
    bool Checked(int id);

    HWND hwnd_ = nullptr;
    HINSTANCE instance_ = nullptr;
    ScopedFont font_;
    HWND driveList_ = nullptr;
    WNDPROC driveListBase_ = nullptr;
    TURLLabelWindow* urlLabel_ = nullptr;
    bool shown_ = false;
    std::string logPath_;

    Win32ConsoleWindows windows_;
    Win32FileSystem files_;
    Win32Clock clock_;
    Win32Shutdown shutdown_;
    Win32RunEvents events_;
    Win32ProjectHost projectHost_;
    TProjectForm description_;
};
