#pragma once
// What the main window does that needs no window: the drive list it shows,
// the run of the checked drives, and the text of its error box.
#include <string>
#include <vector>

#include "run/Run.h"
#include "system/DriveTypes.h"
#include "system/MessageBoxes.h"

class TRunLog;

std::string ReadVolumeLabel(IDriveInfo& drives, char letter);
// "C: (LABEL)" for every fixed drive, A first.
std::vector<std::string> FixedDriveItems(IDriveInfo& drives);

// The controls the run reads and the button it disables, read at the moment
// each is asked for.
class IMainView : public IMessageBoxes {
public:
    virtual int DriveCount() = 0;
    virtual bool DriveChecked(int index) = 0;
    virtual std::string DriveText(int index) = 0;
    virtual bool ShowErrorChecked() = 0;
    virtual bool OnErrorStopChecked() = 0;
    virtual bool ShutdownChecked() = 0;
    virtual void SetExecEnabled(bool enabled) = 0;
};

class IRunServices : public IRunHost {
public:
    // DefragDrive with process messages on.
    virtual bool DefragDrive(char letter, bool showErrors, TRunLog& log) = 0;
};

// The execute button's run. Errors of the log file and of the power-off
// leave it after btnExec has been enabled again.
void RunCheckedDrives(IMainView& view, IRunServices& services, const std::string& logPath);

// The general error box's text: the message, with a full stop added when its
// last byte sorts after ".".
std::string ErrorBoxText(const std::string& message);
// The general error box: modal for the application, titled with its title.
void ShowErrorBox(IMessageBoxes& boxes, const std::string& title, const std::string& message);
