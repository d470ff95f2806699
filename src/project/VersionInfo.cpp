#include "project/VersionInfo.h"

#include "project/AnsiText.h"
#include "system/Exception.h"
#include "system/Text.h"

#include <string_view>
#include <utility>

namespace {

const char* const kKeyNames[kVersionValueCount] = {
    "Comments",       "CompanyName",     "FileDescription",  "FileVersion",
    "InternalName",   "LegalCopyright",  "LegalTrademarks",  "OriginalFilename",
    "ProductName",    "PrivateBuild",    "SpecialBuild",     "ProductVersion",
};

const std::uint16_t kLanguageCodes[kLanguageCount] = {
    0x0401, 0x0402, 0x0403, 0x0404, 0x0405, 0x0406, 0x0407, 0x0408, 0x0409, 0x040A,
    0x040B, 0x040C, 0x040D, 0x040E, 0x040F, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414,
    0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E,
    0x041F, 0x0420, 0x0421, 0x0804, 0x0807, 0x0809, 0x080A, 0x080C, 0x0810, 0x0813,
    0x0814, 0x0816, 0x081A, 0x0C0C, 0x100C, 0x0000,
};

const std::uint16_t kCharsetCodes[kCharsetCount] = {
    0, 932, 949, 950, 1200, 1250, 1251, 1252, 1253, 1254, 1255, 1256,
};

// Offsets of the length fields that grow with the string blocks.
constexpr std::size_t kResourceSizeOffset = 32;
constexpr std::size_t kVersionLengthOffset = 64;
constexpr std::size_t kStringFileInfoLengthOffset = 156;
constexpr std::size_t kStringTableLengthOffset = 192;

// Little-endian image in a buffer that never grows past the largest possible
// file.
class ImageBuffer {
public:
    ImageBuffer() { bytes_.reserve(kMaxResImageSize); }

    std::size_t Size() const { return bytes_.size(); }

    void Word(std::uint16_t value) {
        Byte(static_cast<unsigned char>(value & 0xFF));
        Byte(static_cast<unsigned char>(value >> 8));
    }

    void Dword(std::uint32_t value) {
        Word(static_cast<std::uint16_t>(value & 0xFFFF));
        Word(static_cast<std::uint16_t>(value >> 16));
    }

    // An ASCII key in UTF-16 with its terminating zero word.
    void Key(const char* key) {
        for (; *key != '\0'; ++key) {
            Word(static_cast<unsigned char>(*key));
        }
        Word(0);
    }

    void ZeroWordsUntil(std::size_t offset) {
        while (bytes_.size() < offset) {
            Word(0);
        }
    }

    void PatchWord(std::size_t offset, std::uint16_t value) {
        bytes_.at(offset) = static_cast<unsigned char>(value & 0xFF);
        bytes_.at(offset + 1) = static_cast<unsigned char>(value >> 8);
    }

    void PatchDword(std::size_t offset, std::uint32_t value) {
        PatchWord(offset, static_cast<std::uint16_t>(value & 0xFFFF));
        PatchWord(offset + 2, static_cast<std::uint16_t>(value >> 16));
    }

    std::vector<unsigned char> Take() { return std::move(bytes_); }

private:
    void Byte(unsigned char value) {
        if (bytes_.size() >= kMaxResImageSize) {
            throw Exception("Version resource image too large");
        }
        bytes_.push_back(value);
    }

    std::vector<unsigned char> bytes_;
};

// Smallest even number greater than `n`.
std::size_t NextEvenAbove(std::size_t n) { return (n / 2 + 1) * 2; }

// One string block; returns its length in bytes. The value starts on the first
// 4-byte boundary after the key's terminating zero, and the block ends with one
// or two zero words after the value's own terminator. Those trailing words are
// counted in the block length: Windows' version reader accepts that, GNU
// windres does not.
std::uint16_t StringBlock(ImageBuffer& image, const char* key, const std::u16string& value) {
    const std::size_t start = image.Size();
    const std::size_t keyUnits = std::char_traits<char>::length(key);
    const std::size_t valueWord = NextEvenAbove(3 + keyUnits);
    const std::size_t endWord = NextEvenAbove(valueWord + value.size() + 1);
    const auto length = static_cast<std::uint16_t>(endWord * 2);

    image.Word(length);
    image.Word(static_cast<std::uint16_t>(value.size() + 1));
    image.Word(1);
    image.Key(key);
    image.ZeroWordsUntil(start + valueWord * 2);
    for (char16_t unit : value) {
        image.Word(static_cast<std::uint16_t>(unit));
    }
    image.Word(0);
    image.ZeroWordsUntil(start + endWord * 2);
    return length;
}

void CheckIndex(int index) {
    if (index < 0 || index >= kVersionValueCount) {
        throw Exception("Version value index out of range: " + DecimalText(index));
    }
}

char HexDigit(unsigned value) { return "0123456789ABCDEF"[value & 0xF]; }

void Hex4(std::string& out, std::uint16_t value) {
    for (int shift = 12; shift >= 0; shift -= 4) {
        out.push_back(HexDigit(value >> shift));
    }
}

}  // namespace

TFileFlags& TFileFlags::Include(TFileFlag flag) {
    bits_ = static_cast<unsigned char>(bits_ | (1u << flag));
    return *this;
}

TFileFlags& TFileFlags::Exclude(TFileFlag flag) {
    bits_ = static_cast<unsigned char>(bits_ & ~(1u << flag));
    return *this;
}

bool TFileFlags::Contains(TFileFlag flag) const { return (bits_ & (1u << flag)) != 0; }

const char* KeyName(int index) {
    CheckIndex(index);
    return kKeyNames[index];
}

std::uint16_t LanguageCode(TLanguage language) {
    if (static_cast<int>(language) >= kLanguageCount) {
        throw Exception("Unknown version resource language: " + DecimalText(static_cast<int>(language)));
    }
    return kLanguageCodes[language];
}

std::uint16_t CharsetCode(TCharset charset) {
    if (static_cast<int>(charset) >= kCharsetCount) {
        throw Exception("Unknown version resource character set: " + DecimalText(static_cast<int>(charset)));
    }
    return kCharsetCodes[charset];
}

TVersionNumbers ParseVersionNumbers(const std::string& text) {
    std::string rest;
    for (char c : text) {
        if ((c >= '0' && c <= '9') || c == '.') {
            rest.push_back(c);
        }
    }
    rest.push_back('.');

    std::uint16_t numbers[4] = {0, 0, 0, 0};
    for (std::uint16_t& number : numbers) {
        const std::size_t point = rest.find('.');
        std::int32_t value = 0;
        if (point == std::string::npos || !ReadDecimal(std::string_view(rest).substr(0, point), value)) {
            break;  // this and every later number stay 0
        }
        number = static_cast<std::uint16_t>(value & 0xFFFF);
        rest.erase(0, point + 1);
    }

    TVersionNumbers result;
    result.High = static_cast<std::uint32_t>(numbers[0]) << 16 | numbers[1];
    result.Low = static_cast<std::uint32_t>(numbers[2]) << 16 | numbers[3];
    return result;
}

std::uint32_t FileFlagBits(TFileFlags flags) {
    std::uint32_t bits = 0;
    for (int flag = ffDebug; flag <= ffSpecialBuild; ++flag) {
        if (flags.Contains(static_cast<TFileFlag>(flag))) {
            bits |= 1u << flag;
        }
    }
    return bits;
}

std::string ResFileName(const std::string& name) {
    // Only the file name's own extension counts: a point in a folder name is
    // not one.
    const std::size_t last = LastSeparator(name, "\\/:.");
    const std::size_t extension = last != std::string::npos && name[last] == '.' ? last : std::string::npos;
    return name.substr(0, extension) + ".res";
}

namespace {

// Creates the file anew, unshared, and writes the bytes with one write.
bool CreateAndWrite(IFileSystem& files, const std::string& name, const unsigned char* bytes, std::size_t count) {
    if (count > UINT32_MAX) return false;
    ScopedSeamFile file(files.Open(name, fo::kRead | fo::kWrite, fo::kShareNone, fo::kCreateAlways), {&files});
    if (!file.IsValid()) return false;
    std::uint32_t written = 0;
    const bool wrote = files.Write(file.Get(), bytes, static_cast<std::uint32_t>(count), written);
    const bool closed = file.Close();
    return wrote && closed && written == count;
}

}  // namespace

void WriteBytesToFile(IFileSystem& files, const std::string& name, const unsigned char* bytes, std::size_t count) {
    // Written beside the target and then put in its place, so that a failed
    // write never leaves a half-written file where the build would take it.
    const std::string temporary = name + ".tmp";
    if (!CreateAndWrite(files, temporary, bytes, count) || !files.MoveReplace(temporary, name)) {
        files.Delete(temporary);
        throw Exception("Error writing file");
    }
}

TVersionInfo::TVersionInfo() { Reset(); }

TVersionInfo::~TVersionInfo() = default;

void TVersionInfo::Reset() {
    Values.assign(kVersionValueCount, std::string());
    FileType = ftProgram;
    Language = lanUK_English;
    Charset = csMultilingual;
    Flags = TFileFlags();
}

void TVersionInfo::SetValue(int index, const std::string& text) {
    CheckIndex(index);
    Values[static_cast<std::size_t>(index)] = text;
}

const std::string& TVersionInfo::Value(int index) const {
    CheckIndex(index);
    return Values[static_cast<std::size_t>(index)];
}

std::vector<unsigned char> TVersionInfo::Image() const {
    if (static_cast<int>(FileType) >= kFileTypeCount) {
        throw Exception("Unknown file type: " + DecimalText(static_cast<int>(FileType)));
    }
    const std::uint16_t language = LanguageCode(Language);
    const std::uint16_t charset = CharsetCode(Charset);
    const TVersionNumbers fileVersion = ParseVersionNumbers(Values[vkFileVersion]);
    const TVersionNumbers productVersion = ParseVersionNumbers(Values[vkProductVersion]);
    const std::uint32_t flags = FileFlagBits(Flags);

    ImageBuffer image;
    // The empty entry that opens every 32-bit resource file.
    image.Dword(0);
    image.Dword(32);
    image.Word(0xFFFF);
    image.Word(0);
    image.Word(0xFFFF);
    image.Word(0);
    image.Dword(0);
    image.Word(0);
    image.Word(0);
    image.Dword(0);
    image.Dword(0);

    // The version resource's header; its data size is patched in at the end.
    image.Dword(0);
    image.Dword(32);
    image.Word(0xFFFF);
    image.Word(16);
    image.Word(0xFFFF);
    image.Word(1);
    image.Dword(0);
    image.Word(0x0030);
    image.Word(0);
    image.Dword(0);
    image.Dword(0);

    // VS_VERSION_INFO and its fixed part.
    image.Word(0);
    image.Word(52);
    image.Word(0);
    image.Key("VS_VERSION_INFO");
    image.Word(0);
    image.Dword(0xFEEF04BD);
    image.Dword(0x00010000);
    image.Dword(fileVersion.High);
    image.Dword(fileVersion.Low);
    image.Dword(productVersion.High);
    image.Dword(productVersion.Low);
    image.Dword(flags);
    image.Dword(flags);
    image.Dword(0x00040004);
    image.Dword(FileType == ftLibrary ? 2 : 1);
    image.Dword(0);
    image.Dword(0);
    image.Dword(0);

    image.Word(0);
    image.Word(0);
    image.Word(0);
    image.Key("StringFileInfo");

    std::string tableKey;
    Hex4(tableKey, language);
    Hex4(tableKey, charset);
    image.Word(0);
    image.Word(0);
    image.Word(0);
    image.Key(tableKey.c_str());

    std::size_t stringBlocks = 0;
    for (int index = 0; index < kVersionValueCount; ++index) {
        const std::string& text = Values[static_cast<std::size_t>(index)];
        if (text.empty()) {
            continue;
        }
        std::u16string value = AnsiToUtf16(text);
        // Values are cut to 254 code units, so that no block needs more than the
        // key, 255 value words and padding (code page 932 has no surrogate
        // pairs to split).
        if (value.size() > kMaxValueUnits) {
            value.resize(kMaxValueUnits);
        }
        stringBlocks += StringBlock(image, kKeyNames[index], value);
    }

    image.Word(68);
    image.Word(0);
    image.Word(0);
    image.Key("VarFileInfo");
    image.Word(0);
    image.Word(36);
    image.Word(4);
    image.Word(0);
    image.Key("Translation");
    image.Word(0);
    image.Word(language);
    image.Word(charset);

    const auto versionLength = static_cast<std::uint16_t>(220 + stringBlocks);
    image.PatchDword(kResourceSizeOffset, versionLength);
    image.PatchWord(kVersionLengthOffset, versionLength);
    image.PatchWord(kStringFileInfoLengthOffset, static_cast<std::uint16_t>(60 + stringBlocks));
    image.PatchWord(kStringTableLengthOffset, static_cast<std::uint16_t>(24 + stringBlocks));
    return image.Take();
}

void TVersionInfo::WriteResFile(const std::string& name) const { WriteResFile(name, PlatformFileSystem()); }

void TVersionInfo::WriteResFile(const std::string& name, IFileSystem& fileSystem) const {
    const std::string resName = ResFileName(name);
    const std::vector<unsigned char> image = Image();
    WriteBytesToFile(fileSystem, resName, image.data(), image.size());
}
