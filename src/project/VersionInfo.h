#pragma once
// TVersionInfo: writes a compiled resource file (.res) holding exactly one
// version-information resource, for the project component's build step.
#include "project/ProjectTypes.h"
#include "system/FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The six standard file flags, in the order of their bits (debug is bit 0).
enum TFileFlag : unsigned char {
    ffDebug,
    ffPreRelease,
    ffPatched,
    ffPrivateBuild,
    ffInfoInferred,
    ffSpecialBuild,
};

// A set of file flags, one byte.
class TFileFlags {
public:
    constexpr TFileFlags() = default;
    TFileFlags& Include(TFileFlag flag);
    TFileFlags& Exclude(TFileFlag flag);
    bool Contains(TFileFlag flag) const;
    bool Empty() const { return bits_ == 0; }
    bool operator==(const TFileFlags& other) const { return bits_ == other.bits_; }

private:
    unsigned char bits_ = 0;
};

// Indexes of the string values, in the order of their keys.
enum TVersionKey : int {
    vkComments,
    vkCompanyName,
    vkFileDescription,
    vkFileVersion,
    vkInternalName,
    vkLegalCopyright,
    vkLegalTrademarks,
    vkOriginalFilename,
    vkProductName,
    vkPrivateBuild,
    vkSpecialBuild,
    vkProductVersion,
};

constexpr int kVersionValueCount = vkProductVersion + 1;
// Longest value, in UTF-16 code units; longer ones are cut.
constexpr std::size_t kMaxValueUnits = 254;
// Size of the image with all twelve values at their longest.
constexpr std::size_t kMaxResImageSize = 6836;

// The two 32-bit halves of a version number: major << 16 | minor and
// release << 16 | build.
struct TVersionNumbers {
    std::uint32_t High = 0;
    std::uint32_t Low = 0;
};

// Key of the string value at `index`; one outside the keys raises.
const char* KeyName(int index);
std::uint16_t LanguageCode(TLanguage language);
std::uint16_t CharsetCode(TCharset charset);
// Reads up to four point-separated numbers from a version text; everything
// but digits and points is ignored, and an unreadable part zeroes the rest.
TVersionNumbers ParseVersionNumbers(const std::string& text);
std::uint32_t FileFlagBits(TFileFlags flags);
// `name` with its extension replaced by ".res" (appended when it has none).
std::string ResFileName(const std::string& name);
// Writes the bytes so that `name` is either the complete new file or left as
// it was; raises "Error writing file" on failure.
void WriteBytesToFile(IFileSystem& fileSystem, const std::string& name, const unsigned char* bytes,
                      std::size_t count);

class TVersionInfo {
public:
    TVersionInfo();
    ~TVersionInfo();
    TVersionInfo(const TVersionInfo&) = delete;
    TVersionInfo& operator=(const TVersionInfo&) = delete;

    void Reset();
    // Replaces the value of a key (text in the ANSI code page); an index
    // outside the keys raises.
    void SetValue(int index, const std::string& text);
    const std::string& Value(int index) const;

    // The whole resource file, as WriteResFile writes it.
    std::vector<unsigned char> Image() const;
    void WriteResFile(const std::string& name) const;
    void WriteResFile(const std::string& name, IFileSystem& fileSystem) const;

    TFileType FileType = ftProgram;
    TLanguage Language = lanUK_English;
    TCharset Charset = csMultilingual;
    TFileFlags Flags;

private:
    std::vector<std::string> Values;  // always kVersionValueCount texts
};
