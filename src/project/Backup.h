#pragma once
// The project backup: copies the files of a source tree that match the masks
// into the same places under a target folder. Every failure raises
// EProjectError; a failed file abandons the rest of the backup.
#include <cstdint>
#include <string>
#include <vector>

#include "system/FileSystem.h"
#include "project/Project.h"

class TBackup {
public:
    TBackup(IFileSystem& files, IProjectHost& host);

    bool ErrorFlag = false;
    // Full paths ending in one backslash.
    std::string SourceRoot;
    std::string TargetRoot;
    // Every mask closed by ';'.
    std::string Masks;
    // 0: every matching file; 1: only those with the archive attribute;
    // any other value copies nothing.
    std::uint8_t CopyMode = 0;
    // Read-only, hidden, system and archive files are listed; folders and
    // volume labels are not copied.
    std::uint32_t SearchAttributes = 0x27;
    // A full folder path (with its backslash) that the walk never enters, in
    // any letter case; empty: none.
    std::string ExcludedFolder;

    void ForceFolder(const std::string& path);
    void SetTargetPath(const std::string& path);
    void SetSourcePath(const std::string& path);
    void SetFileMasks(const std::string& masks);
    // True when every file was copied.
    bool Execute();

private:
    void BackupFolder(const std::string& folder);
    void BackupMasks(const std::string& folder);
    void CopyMatching(const std::string& folder, const std::string& mask, bool changedOnly);
    // The source folder's place under TargetRoot, before it is made or expanded.
    std::string FolderThere(const std::string& folder) const;
    std::string TargetFolderFor(const std::string& folder);
    bool CopyOneFile(const std::string& source, const std::string& target, bool earlierPossible);
    void CopyBytes(const std::string& source, const std::string& target, bool earlierPossible);
    std::vector<FoundFile> List(const std::string& pattern);

    IFileSystem& files_;
    IProjectHost& host_;
    // The folder ForceFolder made (lower-cased, with its backslash), if any.
    std::string madeFolder_;
    // The target folder of the source folder whose files are being copied,
    // and whether this backup made it (then it holds no earlier copy).
    std::string lastSourceFolder_;
    std::string lastTargetFolder_;
    bool lastTargetMade_ = false;
};

// The folder under the backup path that holds this project's version folders
// (the project folder's own name), and one version folder below it:
// "c:\work\editor" and "1.02" give "editor\Ver1.02\".
std::string ProjectFolderName(IFileSystem& files, const std::string& projectPath);
std::string VersionFolder(IFileSystem& files, const std::string& projectPath, const std::string& version);

// The version change's backup: the project folder, with its sub-folders, into
// BackupPath\<project folder name>\Ver<version being left>\.
class TProjectBackup : public IProjectBackup {
public:
    explicit TProjectBackup(IFileSystem& files) : files_(files) {}
    void BackupProject(TProject& project) override;

private:
    IFileSystem& files_;
};
