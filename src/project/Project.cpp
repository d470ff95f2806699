#include "project/Project.h"

#include <exception>
#include <limits>

#include "project/AnsiText.h"
#include "project/UserReg.h"
#include "project/VersionInfo.h"
#include "system/Text.h"

const char* const kDefaultsKey = "SOFTWARE\\ZOZEDIZ\\DAVEDARE\\2.0\\Project Version";
const char* const kDefaultMasks = "*.dfm;*.pas;*.dpr;*.dof;*.dsk;*.res";

namespace {

class TUnavailableBackup : public IProjectBackup {
public:
    void BackupProject(TProject&) override { throw EProjectError("Backup is not available in this version"); }
};

// Byte offsets of the characters of a code page 932 text.
template <typename Visit>
void ForEachCharacter(const std::string& text, Visit visit) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool wide = IsAnsiLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
        visit(i, wide);
        if (wide) {
            ++i;
        }
    }
}

// Offset of the last character, npos for an empty text.
std::size_t LastCharacter(const std::string& text) {
    std::size_t last = std::string::npos;
    ForEachCharacter(text, [&](std::size_t at, bool) { last = at; });
    return last;
}

bool EndsWithBackslash(const std::string& path) {
    const std::size_t last = LastCharacter(path);
    return last != std::string::npos && last == path.size() - 1 && path[last] == '\\';
}

std::string UnderscoresToBlanks(std::string text) {
    ForEachCharacter(text, [&](std::size_t at, bool wide) {
        if (!wide && text[at] == '_') {
            text[at] = ' ';
        }
    });
    return text;
}

// Stored integers are one-byte properties: only the lowest byte counts. A
// byte that names no member would break every later store, so it is refused.
template <typename Enum>
Enum EnumFromStored(std::int32_t stored, int count, const char* valueName, const char* typeName) {
    const int ordinal = static_cast<int>(static_cast<std::uint32_t>(stored) & 0xFF);
    if (ordinal >= count) {
        throw EConvertError("'" + DecimalText(stored) + "' is not a valid " + typeName + " for \"" + valueName +
                            "\"");
    }
    return static_cast<Enum>(ordinal);
}

// One more build; at the largest number the counter stays there rather than
// turning negative, and the store goes on.
int NextBuild(int build) { return build < std::numeric_limits<int>::max() ? build + 1 : build; }

}  // namespace

IProjectBackup& UnavailableBackup() {
    static TUnavailableBackup backup;
    return backup;
}

std::string CleanVersion(const std::string& text) {
    std::string clean;
    for (const char c : text) {
        if ((c >= '0' && c <= '9') || c == '.') {
            clean += c;
        }
    }
    return clean.empty() ? "0.01" : clean;
}

bool IsFilledIn(const std::string& text) { return !text.empty() && text[0] != '<'; }

bool IsPreRelease(const std::string& version) {
    // A number is digits with at most one point and at least one digit; it is
    // below 1 exactly when no digit before the point is other than 0. Read by
    // hand so that no regional setting is consulted or changed.
    int points = 0;
    bool digits = false;
    bool wholeNonZero = false;
    for (const char c : version) {
        if (c == '.') {
            ++points;
        } else if (c >= '0' && c <= '9') {
            digits = true;
            if (points == 0 && c != '0') {
                wholeNonZero = true;
            }
        } else {
            return true;
        }
    }
    if (points > 1 || !digits) {
        return true;
    }
    return !wholeNonZero;
}

std::string FullFolderPath(IFileSystem& files, const std::string& folder) {
    if (folder.empty()) {
        throw EProjectError("Folder name is empty");
    }
    std::string full;
    const std::size_t got = files.FullPathName(folder, full);
    // Windows answers a name too long with the size it needs, Wine with 0.
    if (got >= kMaxFullPath || (got == 0 && files.LastError() == fo::kFileNameTooLong)) {
        throw EProjectError("Path too long: \"" + folder + "\"");
    }
    if (got == 0) {
        throw EProjectError("Invalid folder name \"" + folder + "\"");
    }
    if (!EndsWithBackslash(full)) {
        full += '\\';
    }
    return full;
}

void ForceFolder(IFileSystem& files, const std::string& path) {
    std::string folder = path;
    if (EndsWithBackslash(folder)) {
        folder.pop_back();
    }
    // A drive such as "c:" is never created.
    if (folder.size() < 3 || FolderExists(files, folder)) {
        return;
    }
    const std::size_t separator = LastSeparator(folder);
    if (separator != std::string::npos) {
        ForceFolder(files, folder.substr(0, separator + 1));
    }
    files.CreateFolder(folder);
}

std::string CopyrightDefault(int year) {
    return std::string("Copyrights \xA9 Quendro Project, ") + DecimalText(year);
}

TProject::TProject(TComponent* owner, IProjectHost& host, IProjectBackup& backup)
    : TComponent(owner), host_(host), backup_(backup) {
    if (!Designing()) {
        return;
    }
    AddLogLine(": Project started.");
    BackupFiles_ = kDefaultMasks;
    Version_ = "0.01";
    ProjectPath_ = LowerAscii(host_.Files().CurrentDirectory());
    LoadDefaults();
    Comment_ = "<Additional diagnostic info>";
    Description_ = "<Description of file>";
    SpecialBuild_ = "<How this build differs from a standard build>";
    PrivateBuild_ = "<Private information>";
    Productname_ = "<name of product this file ships with>";
    ProductVersion_ = "<0.0.0.0>";
    OriginalName_ = "<name of .exe file>";
    Trademarks_ = "<Legal trademarks used in this build>";
    FileType_ = ftProgram;
    VersionLoadPending_ = true;
    ResourceFile_ = "Version.res";
}

void TProject::AddLogLine(const std::string& event) { Log_.push_back(host_.Timestamp() + event); }

void TProject::SetVersion(const std::string& value) {
    std::string version = CleanVersion(value);
    if (Designing() && !VersionLoadPending_ && version != Version_) {
        int answer = mb::kIdYes;
        if (!AutoBackup_) {
            const std::string question = "Create backup of version " + Version_ + "?";
            answer = host_.MessageBoxA(0, question.c_str(), "Version number changed",
                                       mb::kYesNoCancel | mb::kIconQuestion);
        }
        if (answer == mb::kIdYes) {
            // The counter starts again with the new version, whether or not
            // the backup of the old one worked.
            try {
                backup_.BackupProject(*this);
            } catch (...) {
                Build_ = 0;
                throw;
            }
            Build_ = 0;
        } else if (answer == mb::kIdNo) {
            Build_ = 0;
        } else {
            version = Version_;
        }
    }
    Version_ = version;
    if (!VersionLoadPending_) {
        AddLogLine(": Version " + Version_);
    }
    VersionLoadPending_ = false;
}

void TProject::SetBackupFiles(const std::string& value) {
    if (Designing()) {
        BackupFiles_ = LowerAscii(value.empty() ? std::string("*.*") : value);
    }
}

void TProject::SetBackupPath(const std::string& value) {
    if (Designing()) {
        BackupPath_ = LowerAscii(CheckPath(value));
    }
}

void TProject::SetProjectPath(const std::string& value) {
    if (Designing()) {
        ProjectPath_ = LowerAscii(CheckPath(value));
    }
}

void TProject::SetResourceFile(const std::string& value) { ResourceFile_ = ResFileName(value); }

std::string TProject::CheckPath(const std::string& value) {
    std::string expanded;
    IFileSystem& files = host_.Files();
    const std::size_t got = files.FullPathName(value, expanded);
    if (got >= kMaxFullPath) {
        throw EProjectError("Path too long: \"" + value + "\"");
    }
    if (got == 0) {
        expanded.clear();
    }
    if (!expanded.empty() && FolderExists(files, expanded)) {
        return expanded;
    }
    const std::string question = "Path \"" + LowerAscii(expanded) + "\" does not exist.\rCreate it?";
    // A Yes/No box closed with Escape answers IDCANCEL: that counts as No.
    if (host_.MessageBoxA(0, question.c_str(), "Create path", mb::kYesNo | mb::kIconQuestion) == mb::kIdYes) {
        ForceFolder(files, expanded);
        if (expanded.empty() || !FolderExists(files, expanded)) {
            throw EProjectError("Could not create path");
        }
        return expanded;
    }
    return files.CurrentDirectory();
}

void TProject::AfterLoad() {
    if (Designing()) {
        Build_ = NextBuild(Build_);
        return;
    }
    if (AutoNaming_) {
        const std::string title = Name() + " ver. " + Version_ + "." + DecimalText(Build_);
        host_.SetApplicationTitle(title);
        host_.SetApplicationTitle(UnderscoresToBlanks(title));
    }
}

void TProject::BeforeStore() {
    if (!Designing()) {
        return;
    }
    Build_ = NextBuild(Build_);
    VersionLoadPending_ = false;
    SaveDefaults();
    WriteVersionResource();
}

void TProject::FillVersionInfo(TVersionInfo& info) const {
    info.Flags = TFileFlags();
    info.Language = Language_;
    info.Charset = Charset_;
    info.FileType = FileType_;
    struct Mapping {
        const std::string* text;
        TVersionKey key;
    };
    const Mapping mappings[] = {
        {&Comment_, vkComments},           {&Company_, vkCompanyName},
        {&Copyright_, vkLegalCopyright},   {&Description_, vkFileDescription},
        {&Productname_, vkProductName},    {&ProductVersion_, vkProductVersion},
        {&OriginalName_, vkOriginalFilename}, {&Trademarks_, vkLegalTrademarks},
    };
    for (const Mapping& m : mappings) {
        if (IsFilledIn(*m.text)) {
            info.SetValue(m.key, *m.text);
        }
    }
    if (IsFilledIn(SpecialBuild_)) {
        info.SetValue(vkSpecialBuild, SpecialBuild_);
        info.Flags.Include(ffSpecialBuild);
    }
    if (IsFilledIn(PrivateBuild_)) {
        info.SetValue(vkPrivateBuild, PrivateBuild_);
        info.Flags.Include(ffPrivateBuild);
    }
    info.SetValue(vkInternalName, UnderscoresToBlanks(Name()));
    info.SetValue(vkFileVersion, Version_ + "." + DecimalText(Build_));
    if (IsPreRelease(Version_)) {
        info.Flags.Include(ffPreRelease);
    }
}

void TProject::WriteVersionResource() {
    const std::string build = DecimalText(Build_);
    try {
        TVersionInfo info;
        FillVersionInfo(info);
        info.WriteResFile(FullFolderPath(host_.Files(), ProjectPath_) + ResourceFile_, host_.Files());
    } catch (const Exception&) {
        AddLogLine(": Error occured writing versionresource - build " + build + ".");
        throw EProjectError("Error occured writing versionresource");
    } catch (const std::exception&) {
        AddLogLine(": Error occured writing versionresource - build " + build + ".");
        throw EProjectError("Error occured writing versionresource");
    }
    AddLogLine(": Versionresource written - build " + build + ".");
}

void TProject::LoadDefaults() {
    const int year = host_.CurrentYear();
    TUserReg reg(host_.Registry());
    reg.Connect(kDefaultsKey);
    Company_ = reg.ReadString("Company", "<Name of your company>");
    Copyright_ = reg.ReadString("Copyrights", CopyrightDefault(year));
    Language_ = EnumFromStored<TLanguage>(reg.ReadInteger("Language", 8), kLanguageCount, "Language", "TLanguage");
    Charset_ = EnumFromStored<TCharset>(reg.ReadInteger("Charset", 7), kCharsetCount, "Charset", "TCharset");
    BackupPath_ = reg.ReadString("BackupPath", host_.Files().CurrentDirectory());
    // Any non-zero lowest byte means true: a byte of 2 or more must not
    // become a mode that copies nothing and still reports success.
    SmartBackup_ = (static_cast<std::uint32_t>(reg.ReadInteger("SmartBackup", 0)) & 0xFF) != 0;
    if (reg.ReadInteger("Warning", 0) == 0) {
        const char* const notice =
            "Please note: The backup-feature has been changed.\r"
            "Backups will now include subfolders under ProjectPath\r"
            "and the BackupPath is now the backup-root.\r"
            "\r"
            "Please see the helpfile for more info.";
        host_.MessageBoxA(0, notice, "Warning", mb::kOk | mb::kIconInformation);
        reg.WriteInteger("Warning", 1);
        AutoBackup_ = false;
    }
    reg.Disconnect();
}

void TProject::SaveDefaults() {
    TUserReg reg(host_.Registry());
    reg.Connect(kDefaultsKey);
    reg.WriteString("BackupPath", BackupPath_);
    reg.WriteString("Company", Company_);
    reg.WriteString("Copyrights", Copyright_);
    reg.WriteInteger("Language", Language_);
    reg.WriteInteger("CharSet", Charset_);
    reg.WriteInteger("SmartBackup", SmartBackup_ ? 1 : 0);
    reg.Disconnect();
}
