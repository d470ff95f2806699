#pragma once
// What both installers do with Windows 2000 (the package's custom actions and
// setup.exe's helper DLL share it): run at.exe, remove the jobs that run this
// installation's quendro.exe, and close the install folder to users.
#include <windows.h>

#include <string>

namespace schedule {

// at.exe gets this long before it is ended.
const DWORD kAtLimitMs = 60000;

// Runs COMMAND hidden, waiting at most LIMIT ms; its exit code, -1 if it did
// not start, -2 if it was ended at the limit. OUTPUT, when given, receives
// what it wrote.
long Run(const std::string& command, std::string* output, DWORD limit = kAtLimitMs);

// Deletes, with AT (quoted path of at.exe), every job whose program is EXE
// (its long or 8.3 name); returns the number deleted and what was done in
// REPORT.
int RemoveJobs(const std::string& at, const std::string& exe, std::string& report);

// Is a job of EXE listed?
bool HasJob(const std::string& at, const std::string& exe, std::string& report);

// Gives FOLDER the folder access list (FolderAccess.h), no longer inheriting
// from its parent, and Administrators as its owner; its files and folders
// inherit the list (Windows 2000 passes it on to those already there). SetNamedSecurityInfoA's
// result.
DWORD SecureFolder(const std::string& folder);


} // namespace schedule
