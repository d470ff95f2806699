// Reads our .res files back with Windows' own version reader: each file is put
// into a copy of this program with UpdateResourceA and read with
// GetFileVersionInfoA / VerQueryValueA, side by side with the same values
// compiled by windres.
//
//   version_readback.exe WORKFOLDER WINDRES_MAIN.res WINDRES_ODD.res
//
// Prints what was read (code page 932) and exits 0 when everything matched.
#include "ReadbackValues.h"
#include "project/VersionInfo.h"
#include "system/Exception.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct ReadbackCase {
    const char* name;
    TLanguage language;
    TCharset charset;
    TFileType fileType;
    TFileFlags flags;
    const char* values[kVersionValueCount];  // nullptr: not set
    // Expected from Windows' reader.
    const char* tableKey;
    WORD translation[2];
    DWORD fileVersion[2], productVersion[2], fileFlags, fileType32;
};

ReadbackCase MainCase() {
    return {"main", lanJapanese, csMultilingual, ftProgram, TFileFlags(),
            {MAIN_COMMENTS, MAIN_COMPANY_NAME, MAIN_FILE_DESCRIPTION, MAIN_FILE_VERSION, MAIN_INTERNAL_NAME,
             MAIN_LEGAL_COPYRIGHT, nullptr, MAIN_ORIGINAL_FILENAME, MAIN_PRODUCT_NAME, nullptr, nullptr,
             MAIN_PRODUCT_VERSION},
            "041104E4", {0x0411, 0x04E4}, {0x00010000, 0x00040000}, {0x00010000, 0}, 0, VFT_APP};
}

ReadbackCase OddCase() {
    TFileFlags flags;
    flags.Include(ffPreRelease).Include(ffPrivateBuild).Include(ffSpecialBuild);
    return {"odd", lanJapanese, csJapan_JIS_X_0208, ftLibrary, flags,
            {ODD_COMMENTS, ODD_COMPANY_NAME, ODD_FILE_DESCRIPTION, ODD_FILE_VERSION, ODD_INTERNAL_NAME,
             ODD_LEGAL_COPYRIGHT, ODD_LEGAL_TRADEMARKS, ODD_ORIGINAL_FILENAME, ODD_PRODUCT_NAME, ODD_PRIVATE_BUILD,
             ODD_SPECIAL_BUILD, ODD_PRODUCT_VERSION},
            "041103A4", {0x0411, 0x03A4}, {0x00020001, 0x00030007}, {0x00020001, 0}, 0x2A, VFT_DLL};
}

int failures = 0;

void Fail(const std::string& what) {
    std::printf("FAIL %s\n", what.c_str());
    ++failures;
}

std::vector<BYTE> ReadFileBytes(const std::string& name) {
    std::vector<BYTE> bytes;
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    const DWORD size = GetFileSize(file, nullptr);
    if (size != INVALID_FILE_SIZE && size < 1024 * 1024) {
        bytes.resize(size);
        DWORD read = 0;
        if (!ReadFile(file, bytes.data(), size, &read, nullptr) || read != size) {
            bytes.clear();
        }
    }
    CloseHandle(file);
    return bytes;
}

DWORD Dword(const std::vector<BYTE>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<DWORD>(b[at + 3]) << 24;
}

WORD Word(const std::vector<BYTE>& b, std::size_t at) { return static_cast<WORD>(b[at] | b[at + 1] << 8); }

// Skips a name-or-ordinal field of a resource header; returns the ordinal or
// 0 for a name.
WORD NameOrOrdinal(const std::vector<BYTE>& b, std::size_t& at, std::size_t end) {
    if (at + 4 <= end && Word(b, at) == 0xFFFF) {
        const WORD ordinal = Word(b, at + 2);
        at += 4;
        return ordinal;
    }
    while (at + 2 <= end && Word(b, at) != 0) {
        at += 2;
    }
    at += 2;
    return 0;
}

struct ResEntry {
    WORD name = 0, language = 0;
    std::vector<BYTE> data;
};

// The version resource of a .res file (the first entry of type 16).
bool FindVersionResource(const std::vector<BYTE>& b, ResEntry& entry) {
    std::size_t at = 0;
    while (at + 32 <= b.size()) {
        const DWORD dataSize = Dword(b, at);
        const DWORD headerSize = Dword(b, at + 4);
        if (headerSize < 32 || headerSize > b.size() - at || dataSize > b.size() - at - headerSize) {
            return false;
        }
        const std::size_t headerEnd = at + headerSize;
        std::size_t p = at + 8;
        const WORD type = NameOrOrdinal(b, p, headerEnd);
        const WORD name = NameOrOrdinal(b, p, headerEnd);
        p = (p + 3) / 4 * 4;
        if (type == 16 && p + 16 <= headerEnd) {
            entry.name = name;
            entry.language = Word(b, p + 6);
            entry.data.assign(b.begin() + static_cast<std::ptrdiff_t>(headerEnd),
                              b.begin() + static_cast<std::ptrdiff_t>(headerEnd + dataSize));
            return true;
        }
        at = (headerEnd + dataSize + 3) / 4 * 4;
    }
    return false;
}

struct VersionRead {
    bool ok = false;
    VS_FIXEDFILEINFO fixed = {};
    WORD translation[2] = {0xFFFF, 0xFFFF};
    bool present[kVersionValueCount] = {};
    std::string values[kVersionValueCount];
};

// Copies this program to `exe`, puts the .res file's version resource into
// the copy and reads it back the way Windows' version API does.
VersionRead PutAndRead(const std::string& resFile, const std::string& exe, const char* tableKey) {
    VersionRead read;
    ResEntry entry;
    if (!FindVersionResource(ReadFileBytes(resFile), entry)) {
        Fail("no version resource in " + resFile);
        return read;
    }
    char self[MAX_PATH];
    if (GetModuleFileNameA(nullptr, self, sizeof self) == 0 || !CopyFileA(self, exe.c_str(), FALSE)) {
        Fail("cannot copy the program to " + exe);
        return read;
    }
    HANDLE update = BeginUpdateResourceA(exe.c_str(), FALSE);
    if (update == nullptr ||
        !UpdateResourceA(update, RT_VERSION, MAKEINTRESOURCEA(entry.name), entry.language, entry.data.data(),
                         static_cast<DWORD>(entry.data.size())) ||
        !EndUpdateResourceA(update, FALSE)) {
        Fail("cannot update the resources of " + exe + ", error " + std::to_string(GetLastError()));
        return read;
    }

    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
    std::vector<BYTE> info(size);
    if (size == 0 || !GetFileVersionInfoA(exe.c_str(), 0, size, info.data())) {
        Fail("GetFileVersionInfoA failed on " + exe);
        return read;
    }
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), "\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO)) {
        Fail("no fixed file info in " + exe);
        return read;
    }
    std::memcpy(&read.fixed, value, sizeof read.fixed);
    if (VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", &value, &length) && length >= 4) {
        std::memcpy(read.translation, value, 4);
    }
    for (int i = 0; i < kVersionValueCount; ++i) {
        const std::string path = std::string("\\StringFileInfo\\") + tableKey + "\\" + KeyName(i);
        if (VerQueryValueA(info.data(), path.c_str(), &value, &length) && value != nullptr) {
            read.present[i] = true;
            read.values[i] = static_cast<const char*>(value);
        }
    }
    read.ok = true;
    return read;
}

void Report(const char* source, const ReadbackCase& c, const VersionRead& r) {
    std::printf("%s %s: signature %08lX file %08lX.%08lX product %08lX.%08lX mask %02lX flags %02lX os %08lX type %lu"
                " translation %04X %04X\n",
                source, c.name, r.fixed.dwSignature, r.fixed.dwFileVersionMS, r.fixed.dwFileVersionLS,
                r.fixed.dwProductVersionMS, r.fixed.dwProductVersionLS, r.fixed.dwFileFlagsMask,
                r.fixed.dwFileFlags, r.fixed.dwFileOS, r.fixed.dwFileType, r.translation[0], r.translation[1]);
    for (int i = 0; i < kVersionValueCount; ++i) {
        if (r.present[i]) {
            std::printf("%s %s: %s = \"%s\" (%u bytes)\n", source, c.name, KeyName(i), r.values[i].c_str(),
                        static_cast<unsigned>(r.values[i].size()));
        }
    }
}

void Check(const char* source, const ReadbackCase& c, const VersionRead& r) {
    const std::string where = std::string(source) + " " + c.name + ": ";
    if (!r.ok) {
        Fail(where + "nothing read");
        return;
    }
    const VS_FIXEDFILEINFO& f = r.fixed;
    if (f.dwSignature != 0xFEEF04BD || f.dwFileVersionMS != c.fileVersion[0] || f.dwFileVersionLS != c.fileVersion[1] ||
        f.dwProductVersionMS != c.productVersion[0] || f.dwProductVersionLS != c.productVersion[1] ||
        f.dwFileFlagsMask != c.fileFlags || f.dwFileFlags != c.fileFlags || f.dwFileOS != VOS_NT_WINDOWS32 ||
        f.dwFileType != c.fileType32 || f.dwFileSubtype != 0) {
        Fail(where + "fixed file info differs");
    }
    if (r.translation[0] != c.translation[0] || r.translation[1] != c.translation[1]) {
        Fail(where + "translation differs");
    }
    for (int i = 0; i < kVersionValueCount; ++i) {
        const bool expected = c.values[i] != nullptr;
        if (r.present[i] != expected || (expected && r.values[i] != c.values[i])) {
            Fail(where + KeyName(i) + " differs");
        }
    }
}

void Compare(const ReadbackCase& c, const VersionRead& ours, const VersionRead& theirs) {
    bool same = std::memcmp(&ours.fixed, &theirs.fixed, sizeof ours.fixed) == 0 &&
                std::memcmp(ours.translation, theirs.translation, sizeof ours.translation) == 0;
    for (int i = 0; i < kVersionValueCount; ++i) {
        same = same && ours.present[i] == theirs.present[i] && ours.values[i] == theirs.values[i];
    }
    if (same) {
        std::printf("SAME %s: our file and windres's read back identically\n", c.name);
    } else {
        Fail(std::string(c.name) + ": our file and windres's read back differently");
    }
}

bool Exists(const std::string& name) { return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteJunk(const std::string& name, DWORD size) {
    HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    std::vector<BYTE> junk(size, 0xEE);
    DWORD written = 0;
    WriteFile(file, junk.data(), size, &written, nullptr);
    CloseHandle(file);
}

bool RaisesWriteError(const TVersionInfo& info, const std::string& name) {
    try {
        info.WriteResFile(name);
    } catch (const Exception& e) {
        return e.Message() == "Error writing file";
    }
    return false;
}

// The file handling of the real Win32 implementation: a missing folder, and a
// target held open without sharing, which must come through untouched.
void CheckWriteFailures(const std::string& folder) {
    TVersionInfo info;
    info.SetValue(vkProductName, "Quendro");
    if (!RaisesWriteError(info, folder + "missing\\Version") || Exists(folder + "missing")) {
        Fail("a missing folder did not give \"Error writing file\"");
    }
    const std::string locked = folder + "locked.res";
    WriteJunk(locked, 1000);
    HANDLE hold = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const bool raised = RaisesWriteError(info, locked);
    CloseHandle(hold);
    if (!raised || ReadFileBytes(locked) != std::vector<BYTE>(1000, 0xEE) || Exists(locked + ".tmp")) {
        Fail("a locked target was not left as it was, without a temporary file");
    } else {
        std::printf("locked target: \"Error writing file\", target unchanged, no temporary left\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::printf("usage: version_readback WORKFOLDER WINDRES_MAIN.res WINDRES_ODD.res\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "\\";
    const ReadbackCase cases[] = {MainCase(), OddCase()};
    const char* const windres[] = {argv[2], argv[3]};
    std::printf("ANSI code page %u\n", GetACP());
    for (int k = 0; k < 2; ++k) {
        const ReadbackCase& c = cases[k];
        TVersionInfo info;
        info.Language = c.language;
        info.Charset = c.charset;
        info.FileType = c.fileType;
        info.Flags = c.flags;
        for (int i = 0; i < kVersionValueCount; ++i) {
            if (c.values[i] != nullptr) {
                info.SetValue(i, c.values[i]);
            }
        }
        const std::string ours = folder + "ours-" + c.name;
        WriteJunk(ours + ".res", 10000);  // an old file, to be replaced
        try {
            // Written with another extension on purpose: the writer makes it .res.
            info.WriteResFile(ours + ".txt");
        } catch (const Exception& e) {
            Fail(std::string(c.name) + ": " + e.Message());
            continue;
        }
        if (ReadFileBytes(ours + ".res") != info.Image()) {
            Fail(std::string(c.name) + ": the file on disk is not the image");
        }
        const VersionRead read = PutAndRead(ours + ".res", ours + ".exe", c.tableKey);
        const VersionRead peer = PutAndRead(windres[k], folder + "windres-" + c.name + ".exe", c.tableKey);
        Report("ours", c, read);
        Report("windres", c, peer);
        Check("ours", c, read);
        Check("windres", c, peer);
        Compare(c, read, peer);
    }
    CheckWriteFailures(folder);
    std::printf("%s: %d failure(s)\n", failures == 0 ? "PASS" : "FAIL", failures);
    return failures == 0 ? 0 : 1;
}
