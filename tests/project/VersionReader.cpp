#include "VersionReader.h"

#include <stdexcept>

namespace {

struct Block {
    std::size_t start = 0, end = 0;
    std::uint16_t valueLength = 0, type = 0;
    std::u16string key;
    std::size_t valueAt = 0, childrenAt = 0;
};

class Reader {
public:
    explicit Reader(const std::vector<std::uint8_t>& bytes) : b_(bytes) {}

    std::uint16_t Word(std::size_t at) const {
        Need(at + 2 <= b_.size(), "word past the end");
        return static_cast<std::uint16_t>(b_[at] | b_[at + 1] << 8);
    }
    std::uint32_t Dword(std::size_t at) const {
        return static_cast<std::uint32_t>(Word(at)) | static_cast<std::uint32_t>(Word(at + 2)) << 16;
    }

    Block ReadBlock(std::size_t at, std::size_t parentEnd) const {
        Need(at % 4 == 0, "block not aligned");
        Block block;
        block.start = at;
        const std::uint16_t length = Word(at);
        block.valueLength = Word(at + 2);
        block.type = Word(at + 4);
        block.end = at + length;
        Need(length >= 8 && length % 4 == 0 && block.end <= parentEnd, "bad block length");
        std::size_t p = at + 6;
        for (std::uint16_t unit = Word(p); unit != 0; unit = Word(p)) {
            block.key.push_back(static_cast<char16_t>(unit));
            p += 2;
            Need(p < block.end, "key runs past its block");
        }
        block.valueAt = Align(p + 2);
        const std::size_t valueBytes = block.type == 1 ? 2u * block.valueLength : block.valueLength;
        block.childrenAt = Align(block.valueAt + valueBytes);
        Need(block.valueAt + valueBytes <= block.end, "value runs past its block");
        return block;
    }

    std::vector<Block> Children(const Block& parent) const {
        std::vector<Block> children;
        for (std::size_t at = parent.childrenAt; at < parent.end;) {
            children.push_back(ReadBlock(at, parent.end));
            at = children.back().end;
        }
        return children;
    }

    static void Need(bool condition, const char* what) {
        if (!condition) {
            throw std::runtime_error(what);
        }
    }

private:
    static std::size_t Align(std::size_t at) { return (at + 3) / 4 * 4; }
    const std::vector<std::uint8_t>& b_;
};

std::string Narrow(const std::u16string& key) {
    std::string out;
    for (char16_t c : key) {
        Reader::Need(c < 0x80, "non-ASCII key");
        out.push_back(static_cast<char>(c));
    }
    return out;
}

}  // namespace

ReadVersion ReadResFile(const std::vector<std::uint8_t>& file) {
    Reader r(file);
    // Resource entries: the empty one first, then the version resource.
    Reader::Need(r.Dword(0) == 0 && r.Dword(4) == 32, "no empty entry");
    const std::uint32_t dataSize = r.Dword(32);
    const std::uint32_t headerSize = r.Dword(36);
    Reader::Need(headerSize == 32 && r.Dword(40) == 0x0010FFFF && r.Dword(44) == 0x0001FFFF,
                 "not version resource 1");
    const std::size_t dataAt = 32 + headerSize;
    Reader::Need(dataAt + dataSize == file.size(), "file size is not the resource's");

    const Block root = r.ReadBlock(dataAt, dataAt + dataSize);
    Reader::Need(Narrow(root.key) == "VS_VERSION_INFO" && root.valueLength == 52 && root.end == file.size(),
                 "bad root block");
    Reader::Need(r.Dword(root.valueAt) == 0xFEEF04BD, "bad signature");
    ReadVersion v;
    v.fileVersionHigh = r.Dword(root.valueAt + 8);
    v.fileVersionLow = r.Dword(root.valueAt + 12);
    v.productVersionHigh = r.Dword(root.valueAt + 16);
    v.productVersionLow = r.Dword(root.valueAt + 20);
    v.flagsMask = r.Dword(root.valueAt + 24);
    v.flags = r.Dword(root.valueAt + 28);
    v.fileOs = r.Dword(root.valueAt + 32);
    v.fileType = r.Dword(root.valueAt + 36);

    for (const Block& info : r.Children(root)) {
        const std::string name = Narrow(info.key);
        if (name == "StringFileInfo") {
            const std::vector<Block> tables = r.Children(info);
            Reader::Need(tables.size() == 1, "not one string table");
            v.tableKey = Narrow(tables[0].key);
            for (const Block& s : r.Children(tables[0])) {
                Reader::Need(s.type == 1 && s.valueLength >= 1, "bad string block");
                std::u16string value;
                for (std::size_t i = 0; i + 1 < s.valueLength; ++i) {
                    value.push_back(static_cast<char16_t>(r.Word(s.valueAt + 2 * i)));
                }
                Reader::Need(r.Word(s.valueAt + 2u * (s.valueLength - 1)) == 0, "value not terminated");
                v.strings.emplace_back(Narrow(s.key), value);
            }
        } else if (name == "VarFileInfo") {
            const std::vector<Block> vars = r.Children(info);
            Reader::Need(vars.size() == 1 && Narrow(vars[0].key) == "Translation" && vars[0].valueLength == 4,
                         "bad translation");
            v.language = r.Word(vars[0].valueAt);
            v.codePage = r.Word(vars[0].valueAt + 2);
        } else {
            Reader::Need(false, "unknown block");
        }
    }
    return v;
}
