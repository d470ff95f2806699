#include "run/DefragDrive.h"

#include <string>

#include "run/ConsoleWindows.h"
#include "run/RunLog.h"

bool CloseRequested = false;

namespace {

const char* const kConsoleTitle = "ディスク デフラグ ツール";
const char* const kDefragCaption = "最適化";
const char* const kReportCaption = "レポートの表示";
const char* const kDoneDialogTitle = "最適化が完了しました";

const char* const kAlreadyRunning = "　ほかのデフラグが実行中のため実行できませんでした。";
const char* const kNotStarted = "　デフラグが実行できませんでした。";
const char* const kNotControllable = "　デフラグを正しく制御できませんでした。";
const char* const kStarted = "　デフラグを開始しました。";
const char* const kProgramClosed = "　本ソフトが閉じられました。";
const char* const kClosedByHand = "　デフラグが終わる前に手動で閉じられたようです。";
const char* const kCompleted = "　デフラグを完了しました。";

// One call's worth of state: the drive, the options and the console's windows.
class DefragRun {
public:
    DefragRun(IConsoleWindows& windows, char letter, bool showErrors, TRunLog& log,
              bool processMessages)
        : w_(windows), spec_{letter, ':'}, showErrors_(showErrors), log_(log),
          processMessages_(processMessages) {}

    bool Run() {
        if (FindConsole()) return Fail(kAlreadyRunning);
        w_.ShellExecuteA(0, "Open", "dfrg.msc", spec_.c_str(), nullptr, win::kSwShow);
        unsigned tries = WaitForConsole();
        if (tries == 0) return Fail(kNotStarted);

        // A console found while it still builds its windows (a slow machine
        // opening it does that) gets the rest of the start-up tries; one whose
        // windows stay missing ends as it always did, only after them.
        Layout layout;
        while ((layout = Descend()) != kWhole && tries < defrag::kStartTries) {
            ++tries;
            w_.Sleep(defrag::kStartSleepMs);
            FindConsole();
        }
        if (layout == kNoLayout) return false;  // not our console's layout: leave it be, say nothing
        if (layout == kNoButtons) return Fail(kNotControllable);

        if (!Disabled(w_.GetWindowStyle(reportButton_))) return Complete();

        w_.SetForegroundWindow(console_);
        w_.PostMessageA(defragButton_, win::kWmSetFocus, 1, 0);
        w_.PostMessageA(defragButton_, win::kWmKeyDown, win::kVkSpace, 0);
        w_.PostMessageA(defragButton_, win::kWmKeyUp, win::kVkSpace, 0);
        AddLogLine(log_, spec_ + kStarted);

        for (;;) {
            w_.Sleep(defrag::kPollSleepMs);
            if (processMessages_) {
                w_.ProcessMessages();
                // The user closed the program: the console is left running and
                // the drive did not complete.
                if (CloseRequested) return Fail(kProgramClosed);
            }
            if (WindowHandle box = w_.FindWindowA("#32770", kDoneDialogTitle)) {
                w_.PostMessageA(box, win::kWmKeyDown, win::kVkEscape, 0);
                w_.PostMessageA(box, win::kWmKeyUp, win::kVkEscape, 0);
            }
            const long style = w_.GetWindowStyle(reportButton_);
            if (!w_.IsWindow(reportButton_)) return Fail(kClosedByHand);
            if (!Disabled(style)) break;
        }
        if (FindConsole()) w_.SendMessageA(console_, win::kWmClose, 0, 0);
        for (unsigned i = 0; i < defrag::kCloseTries; ++i) {
            w_.Sleep(defrag::kCloseSleepMs);
            if (!FindConsole()) break;
        }
        return Complete();
    }

private:
    static bool Disabled(long style) { return (style & win::kWsDisabled) != 0; }

    WindowHandle FindConsole() {
        const WindowHandle found = w_.FindWindowA("MMCMainFrame", kConsoleTitle);
        if (found) console_ = found;
        return found;
    }

    // The number of the try that found the console, 0 when none did.
    unsigned WaitForConsole() {
        for (unsigned i = 1; i <= defrag::kStartTries; ++i) {
            w_.Sleep(defrag::kStartSleepMs);
            if (FindConsole()) return i;
        }
        return 0;
    }

    enum Layout { kWhole, kNoLayout, kNoButtons };

    // Walks down from the console main window to the two buttons.
    Layout Descend() {
        static const struct { const char* cls; const char* caption; } kPath[] = {
            {"MDIClient", nullptr},          {"MMCChildFrm", kConsoleTitle},
            {"AfxFrameOrView42u", ""},       {"AfxFrameOrView42u", ""},
            {"ATL:723A6A38", kConsoleTitle},
        };
        WindowHandle control = console_;
        for (const auto& step : kPath) {
            control = w_.FindWindowExA(control, 0, step.cls, step.caption);
            if (!control) return kNoLayout;
        }
        defragButton_ = w_.FindWindowExA(control, 0, "Button", kDefragCaption);
        reportButton_ = w_.FindWindowExA(control, 0, "Button", kReportCaption);
        return defragButton_ && reportButton_ ? kWhole : kNoButtons;
    }

    // The box comes first, so the line carries the time it was dismissed.
    bool Fail(const char* text) {
        const std::string line = spec_ + text;
        if (showErrors_) w_.MessageBoxA(0, line.c_str(), nullptr, mb::kOk | mb::kIconWarning);
        AddLogLine(log_, line);
        return false;
    }

    bool Complete() {
        AddLogLine(log_, spec_ + kCompleted);
        return true;
    }

    IConsoleWindows& w_;
    const std::string spec_;
    const bool showErrors_;
    TRunLog& log_;
    const bool processMessages_;
    WindowHandle console_ = 0;
    WindowHandle defragButton_ = 0;
    WindowHandle reportButton_ = 0;
};

}  // namespace

bool DefragDrive(IConsoleWindows& windows, char driveLetter, TRunLog& log, const DefragOptions& options) {
    return DefragRun(windows, driveLetter, options.showErrors, log, options.processMessages).Run();
}
