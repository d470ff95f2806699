#include "ui/MainRun.h"

#include "run/DefragDrive.h"
#include "run/RunLog.h"

namespace {

// Enables the execute button again however the run ends.
class ExecButtonRestorer {
public:
    explicit ExecButtonRestorer(IMainView& view) : view_(view) { view_.SetExecEnabled(false); }
    ~ExecButtonRestorer() { view_.SetExecEnabled(true); }
    ExecButtonRestorer(const ExecButtonRestorer&) = delete;
    ExecButtonRestorer& operator=(const ExecButtonRestorer&) = delete;

private:
    IMainView& view_;
};

}  // namespace

std::string ReadVolumeLabel(IDriveInfo& drives, char letter) {
    return drives.VolumeLabel(DriveRoot(letter));
}

std::vector<std::string> FixedDriveItems(IDriveInfo& drives) {
    std::vector<std::string> items;
    for (char letter : FixedDriveLetters(drives)) {
        items.push_back(std::string{letter} + ": (" + ReadVolumeLabel(drives, letter) + ")");
    }
    return items;
}

void RunCheckedDrives(IMainView& view, IRunServices& services, const std::string& logPath) {
    bool anyChecked = false;
    for (int i = 0, n = view.DriveCount(); i < n && !anyChecked; ++i) anyChecked = view.DriveChecked(i);
    if (!anyChecked) {
        view.MessageBoxA(0, "デフラグをかけるドライブを選択してください。", nullptr,
                         mb::kOk | mb::kIconWarning);
        return;
    }

    ExecButtonRestorer restorer(view);
    CloseRequested = false;
    // The power-off follows only when the last drive run succeeded.
    PerformRun(services, logPath, [&](TRunLog& log) {
        bool lastResult = false;
        bool allSucceeded = true;
        const int count = view.DriveCount();
        for (int i = 0; i < count; ++i) {
            if (!view.DriveChecked(i)) continue;
            const std::string text = view.DriveText(i);
            if (text.empty()) continue;
            lastResult = services.DefragDrive(text[0], view.ShowErrorChecked(), log);
            if (lastResult) continue;
            allSucceeded = false;
            if (view.OnErrorStopChecked()) break;
            AddLogLine(log, "エラーが発生しましたが続行します。");
        }
        return RunOutcome{allSucceeded, view.ShutdownChecked() && lastResult};
    });
}

std::string ErrorBoxText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
    return message;
}

void ShowErrorBox(IMessageBoxes& boxes, const std::string& title, const std::string& message) {
    boxes.MessageBoxA(0, ErrorBoxText(message).c_str(), title.c_str(),
                      mb::kOk | mb::kIconStop | mb::kTaskModal);
}
