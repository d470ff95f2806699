#pragma once
// TProject: the non-visual bookkeeping component that the main window
// carries. In design mode it counts builds, keeps a log of its own, asks for a
// backup when the version changes, writes the version resource at each store
// and keeps per-user defaults in the registry. In the finished program it
// only holds the values stored with the window.
#include <string>
#include <vector>

#include "project/ProjectHost.h"
#include "project/ProjectTypes.h"
#include "system/Component.h"

class TProject;
class TVersionInfo;

QUENDRO_DECLARE_ERROR(EProjectError);

using TStrings = std::vector<std::string>;

// The backup step of a version change. It runs while Version still holds the
// version being left; it appends its own success line, or raises.
class IProjectBackup {
public:
    virtual ~IProjectBackup() = default;
    virtual void BackupProject(TProject& project) = 0;
};

// For hosts that never back up, as the finished program: every backup fails
// with a clear error.
IProjectBackup& UnavailableBackup();

// Settings key of the per-user defaults, under HKEY_CURRENT_USER.
extern const char* const kDefaultsKey;
// "*.dfm;*.pas;*.dpr;*.dof;*.dsk;*.res"
extern const char* const kDefaultMasks;

class TProject : public TComponent {
public:
    // In design mode (an owner that is being designed) this sets the initial
    // values and reads the user's defaults; it may ask the one-time notice.
    TProject(TComponent* owner, IProjectHost& host, IProjectBackup& backup = UnavailableBackup());

    // Published properties, in stored order.
    bool AutoNaming() const { return AutoNaming_; }
    void SetAutoNaming(bool value) { AutoNaming_ = value; }
    int Build() const { return Build_; }
    void SetBuild(int value) { Build_ = value; }
    const TStrings& Log() const { return Log_; }
    void SetLog(const TStrings& lines) { Log_ = lines; }
    const TStrings& Notes() const { return Notes_; }
    void SetNotes(const TStrings& lines) { Notes_ = lines; }
    const std::string& Version() const { return Version_; }
    void SetVersion(const std::string& value);
    bool AutoBackup() const { return AutoBackup_; }
    void SetAutoBackup(bool value) { AutoBackup_ = value; }
    const std::string& BackupFiles() const { return BackupFiles_; }
    void SetBackupFiles(const std::string& value);
    const std::string& BackupPath() const { return BackupPath_; }
    void SetBackupPath(const std::string& value);
    const std::string& ProjectPath() const { return ProjectPath_; }
    void SetProjectPath(const std::string& value);
    bool SmartBackup() const { return SmartBackup_; }
    void SetSmartBackup(bool value) { SmartBackup_ = value; }
    const std::string& Company() const { return Company_; }
    void SetCompany(const std::string& value) { Company_ = value; }
    const std::string& Copyright() const { return Copyright_; }
    void SetCopyright(const std::string& value) { Copyright_ = value; }
    const std::string& Comment() const { return Comment_; }
    void SetComment(const std::string& value) { Comment_ = value; }
    const std::string& Description() const { return Description_; }
    void SetDescription(const std::string& value) { Description_ = value; }
    const std::string& SpecialBuild() const { return SpecialBuild_; }
    void SetSpecialBuild(const std::string& value) { SpecialBuild_ = value; }
    const std::string& PrivateBuild() const { return PrivateBuild_; }
    void SetPrivateBuild(const std::string& value) { PrivateBuild_ = value; }
    const std::string& Productname() const { return Productname_; }
    void SetProductname(const std::string& value) { Productname_ = value; }
    const std::string& ProductVersion() const { return ProductVersion_; }
    void SetProductVersion(const std::string& value) { ProductVersion_ = value; }
    const std::string& OriginalName() const { return OriginalName_; }
    void SetOriginalName(const std::string& value) { OriginalName_ = value; }
    const std::string& Trademarks() const { return Trademarks_; }
    void SetTrademarks(const std::string& value) { Trademarks_ = value; }
    TLanguage Language() const { return Language_; }
    void SetLanguage(TLanguage value) { Language_ = value; }
    TCharset Charset() const { return Charset_; }
    void SetCharset(TCharset value) { Charset_ = value; }
    TFileType FileType() const { return FileType_; }
    void SetFileType(TFileType value) { FileType_ = value; }
    const std::string& ResourceFile() const { return ResourceFile_; }
    void SetResourceFile(const std::string& value);

    bool VersionLoadPending() const { return VersionLoadPending_; }

    // Run once after all stored values have been assigned.
    void AfterLoad();
    // Run before each store; an error stops the store.
    void BeforeStore();
    // The build step: writes the version resource file under ProjectPath.
    void WriteVersionResource();
    // The resource values of this component (steps shared with the build,
    // which writes the program's own version resource from the stored values).
    void FillVersionInfo(TVersionInfo& info) const;

    void LoadDefaults();
    void SaveDefaults();

    // Expands a path; a missing folder is offered for creation.
    std::string CheckPath(const std::string& value);
    // Appends a project log line: the timestamp followed by `event`.
    void AddLogLine(const std::string& event);

    IProjectHost& Host() const { return host_; }

private:
    IProjectHost& host_;
    IProjectBackup& backup_;

    bool VersionLoadPending_ = false;
    std::string ResourceFile_;
    std::string Company_;
    std::string Copyright_;
    std::string Comment_;
    std::string Description_;
    std::string SpecialBuild_;
    std::string PrivateBuild_;
    std::string Productname_;
    std::string ProductVersion_;
    std::string OriginalName_;
    std::string Trademarks_;
    TLanguage Language_ = lanArabic;
    TCharset Charset_ = cs7bit_ASCII;
    TFileType FileType_ = ftProgram;
    bool SmartBackup_ = false;
    bool AutoNaming_ = false;
    bool AutoBackup_ = false;
    std::string BackupFiles_;
    std::string BackupPath_;
    std::string ProjectPath_;
    int Build_ = 0;
    TStrings Notes_;
    TStrings Log_;
    std::string Version_;
};

// Only digits and points are kept; nothing left gives "0.01".
std::string CleanVersion(const std::string& text);
// Not empty and not a "<placeholder>".
bool IsFilledIn(const std::string& text);
// Read as a decimal number with "." as separator: below 1, or not a number.
bool IsPreRelease(const std::string& version);
// The folder as a full path ending in one backslash; an empty name raises.
std::string FullFolderPath(IFileSystem& files, const std::string& folder);
// Creates the folder and every missing parent; reports nothing.
void ForceFolder(IFileSystem& files, const std::string& path);
// The copyright default of the registry defaults for a year.
std::string CopyrightDefault(int year);
