#include "project/Backup.h"

#include <algorithm>

#include "system/Scoped.h"
#include "system/Text.h"

namespace {

using namespace fa;

// Files are streamed through one buffer of this many bytes (not 64 KiB).
constexpr std::uint32_t kChunk = 0xFFF0;
// The A calls take 259 bytes and the zero.
constexpr std::size_t kLongestPath = kMaxFullPath - 1;


std::string NameOf(const std::string& path) {
    const std::size_t cut = LastSeparator(path);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// A folder path without its closing backslash (a real one, not the trail byte of "表").
std::string WithoutBackslash(const std::string& path) {
    const std::size_t cut = LastSeparator(path);
    return cut != std::string::npos && cut + 1 == path.size() && path[cut] == '\\' ? path.substr(0, cut) : path;
}

void CheckLength(const std::string& path) {
    if (path.size() > kLongestPath) throw EProjectError("Path too long: \"" + path + "\"");
}

[[noreturn]] void RaiseFileError(const std::string& path) {
    throw EProjectError("Error occured during backup of \"" + LowerAscii(NameOf(path)) +
                        "\".\rBackup may not be complete");
}

}  // namespace

TBackup::TBackup(IFileSystem& files, IProjectHost& host) : files_(files), host_(host) {}

void TBackup::ForceFolder(const std::string& path) {
    const bool existed = FolderExists(files_, WithoutBackslash(path));
    ::ForceFolder(files_, path);
    if (!existed && FolderExists(files_, WithoutBackslash(path))) madeFolder_ = LowerAscii(FullFolderPath(files_, path));
}

void TBackup::SetTargetPath(const std::string& path) {
    if (!FolderExists(files_, path)) throw EProjectError("Target path does not exist");
    TargetRoot = FullFolderPath(files_, path);
}

void TBackup::SetSourcePath(const std::string& path) {
    if (!FolderExists(files_, path)) throw EProjectError("Source path does not exist");
    SourceRoot = FullFolderPath(files_, path);
}

void TBackup::SetFileMasks(const std::string& masks) {
    Masks = masks.empty() ? std::string("*.*;") : masks;
    // ';' is never a trail byte, so the last byte tells.
    if (Masks.back() != ';') Masks += ';';
}

bool TBackup::Execute() {
    ErrorFlag = false;
    lastSourceFolder_.clear();
    BackupFolder(SourceRoot);
    return !ErrorFlag;
}

std::vector<FoundFile> TBackup::List(const std::string& pattern) {
    std::vector<FoundFile> entries;
    FoundFile entry;
    ScopedSeamFind find(files_.FindFirst(pattern, entry), {&files_});
    for (bool more = find.IsValid(); more; more = files_.FindNext(find.Get(), entry)) {
        entries.push_back(entry);
    }
    return entries;
}

namespace {

// "Ver" and a cleaned version: digits and points only.
bool IsVersionFolderName(const std::string& name) {
    if (name.size() < 4 || name.compare(0, 3, "Ver") != 0) return false;
    return name.find_first_not_of("0123456789.", 3) == std::string::npos;
}

}  // namespace

void TBackup::BackupFolder(const std::string& folder) {
    BackupMasks(folder);
    const std::string excluded = LowerAscii(ExcludedFolder);
    const std::string target = LowerAscii(TargetRoot);
    for (const FoundFile& entry : List(folder + "*.*")) {
        const std::uint32_t a = entry.Attributes;
        if ((a & kFolder) == 0 || (a & (kHidden | kSystem | kReparsePoint)) != 0 || entry.Name.empty() ||
            entry.Name[0] == '.') {
            continue;
        }
        const std::string sub = folder + entry.Name + "\\";
        // The version folders of this project, and the one being filled (it
        // lies in the source when the backup path is the project's parent):
        // a backup never holds itself.
        const std::string lower = LowerAscii(sub);
        if ((!excluded.empty() && lower == excluded) || lower == target) continue;
        // With the backup path one level above the project, the version
        // folders lie in the project folder itself: earlier ones stay out too.
        if (!excluded.empty() && LowerAscii(folder) == excluded && IsVersionFolderName(entry.Name)) continue;
        CheckLength(sub);
        BackupFolder(sub);
    }
}

void TBackup::BackupMasks(const std::string& folder) {
    std::string masks = Masks;
    masks.erase(std::remove(masks.begin(), masks.end(), ' '), masks.end());
    for (std::size_t cut = masks.find(';'); cut != std::string::npos; cut = masks.find(';')) {
        const std::string mask = masks.substr(0, cut);
        masks.erase(0, cut + 1);
        if (CopyMode == 0) {
            CopyMatching(folder, mask, false);
        } else if (CopyMode == 1) {
            CopyMatching(folder, mask, true);
        }
    }
}

void TBackup::CopyMatching(const std::string& folder, const std::string& mask, bool changedOnly) {
    // As a listing with these search attributes would filter.
    const std::uint32_t excluded = ~SearchAttributes & (kHidden | kSystem | kVolumeLabel | kFolder);
    for (const FoundFile& entry : List(folder + mask)) {
        if ((entry.Attributes & excluded) != 0 || (changedOnly && (entry.Attributes & kArchive) == 0)) {
            continue;
        }
        const std::string source = folder + entry.Name;
        CheckLength(source);
        // Before its folder is made: a folder too long would fail there,
        // named as the folder and not as the file.
        CheckLength(FolderThere(folder) + entry.Name);
        const std::string target = TargetFolderFor(folder) + entry.Name;
        ErrorFlag |= !CopyOneFile(source, target, !lastTargetMade_);
    }
}

std::string TBackup::FolderThere(const std::string& folder) const {
    return TargetRoot + folder.substr(std::min(SourceRoot.size(), folder.size()));
}

std::string TBackup::TargetFolderFor(const std::string& folder) {
    // Once for the files of one folder (they are copied one after another).
    if (!lastSourceFolder_.empty() && folder == lastSourceFolder_) return lastTargetFolder_;
    const std::string folderThere = FolderThere(folder);
    const bool existed = FolderExists(files_, WithoutBackslash(folderThere));
    ::ForceFolder(files_, folderThere);
    lastTargetFolder_ = FullFolderPath(files_, folderThere);
    lastTargetMade_ = !existed || LowerAscii(lastTargetFolder_) == madeFolder_;
    lastSourceFolder_ = folder;
    return lastTargetFolder_;
}

bool TBackup::CopyOneFile(const std::string& source, const std::string& target, bool earlierPossible) {
    try {
        CopyBytes(source, target, earlierPossible);
    } catch (...) {
        host_.ProcessMessages();
        throw;
    }
    host_.ProcessMessages();
    return true;
}

void TBackup::CopyBytes(const std::string& source, const std::string& target, bool earlierPossible) {
    std::vector<unsigned char> buffer(kChunk);
    const std::uint32_t attributes = files_.Attributes(source);
    // The source first: when it cannot be read, an earlier copy stays as it
    // is, attributes included.
    ScopedSeamFile from(files_.Open(source, fo::kRead, fo::kShareNone, fo::kOpenExisting), {&files_});
    if (!from.IsValid()) RaiseFileError(source);
    if (attributes != fa::kNone && earlierPossible) {
        // Lets an earlier copy be replaced: besides read-only, a hidden or
        // system file refuses to be created anew with normal attributes (and
        // under Wine, which allows it, the copy would keep them). Not in a
        // folder this backup made: under Wine a call on a missing file scans
        // its folder, which cost about a tenth of a backup's time.
        files_.SetAttributes(target, attributes & ~(kReadOnly | kHidden | kSystem | kArchive));
    }
    ScopedSeamFile to(files_.Open(target, fo::kRead | fo::kWrite, fo::kShareNone, fo::kCreateAlways), {&files_});
    if (!to.IsValid()) RaiseFileError(source);
    std::uint64_t left = 0;
    bool copied = files_.Size(from.Get(), left);
    while (copied && left > 0) {
        const std::uint32_t count = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, kChunk));
        std::uint32_t got = 0;
        std::uint32_t wrote = 0;
        copied = files_.Read(from.Get(), buffer.data(), count, got) && got == count &&
                 files_.Write(to.Get(), buffer.data(), count, wrote) && wrote == count;
        left -= count;
    }
    from.Close();
    to.Close();
    if (!copied) {
        files_.Delete(target);
        RaiseFileError(source);
    }
    if (attributes != fa::kNone) {
        // Only the archive bit: read-only, hidden and system stay on the source.
        files_.SetAttributes(source, attributes & ~kArchive);
    }
}

std::string ProjectFolderName(IFileSystem& folders, const std::string& projectPath) {
    std::string full = FullFolderPath(folders, projectPath);
    full.pop_back();  // the backslash FullFolderPath ends with
    const std::size_t cut = LastSeparator(full);
    return cut == std::string::npos ? full : full.substr(cut + 1);
}

std::string VersionFolder(IFileSystem& folders, const std::string& projectPath, const std::string& version) {
    return ProjectFolderName(folders, projectPath) + "\\Ver" + version + "\\";
}

void TProjectBackup::BackupProject(TProject& project) {
    TBackup backup(files_, project.Host());
    const std::string backupRoot = FullFolderPath(files_, project.BackupPath());
    const std::string target = backupRoot + VersionFolder(files_, project.ProjectPath(), project.Version());
    backup.ExcludedFolder = backupRoot + ProjectFolderName(files_, project.ProjectPath()) + "\\";
    backup.ForceFolder(target);
    backup.SetTargetPath(target);
    backup.SetSourcePath(FullFolderPath(files_, project.ProjectPath()));
    backup.SetFileMasks(project.BackupFiles());
    backup.CopyMode = project.SmartBackup() ? 1 : 0;
    if (!backup.Execute()) {
        project.AddLogLine(": Error occured in backup");
        throw EProjectError("WARNING: Error occured in backup");
    }
    project.AddLogLine(backup.CopyMode == 0 ? ": Backup successfull" : ": Changed files backed up successfully");
}
