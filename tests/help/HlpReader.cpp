#include "HlpReader.h"

#include <algorithm>
#include <functional>
#include <set>

namespace hlp {

namespace {

const std::uint32_t kNone = 0xFFFFFFFF;

[[noreturn]] void Fail(const std::string& where, const std::string& what) { throw FormatError(where + ": " + what); }

std::string Hex(std::uint32_t v) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s = "0x";
    for (int i = 28; i >= 0; i -= 4) s += digits[(v >> i) & 15];
    return s;
}

// A bounds-checked view of bytes.
class View {
public:
    View(const std::string& where, const char* data, std::size_t size) : where_(where), data_(data), size_(size) {}
    std::size_t Size() const { return size_; }
    const std::string& Where() const { return where_; }
    unsigned U8(std::size_t at) const {
        Need(at, 1);
        return static_cast<unsigned char>(data_[at]);
    }
    unsigned U16(std::size_t at) const { return U8(at) | U8(at + 1) << 8; }
    std::uint32_t U32(std::size_t at) const { return U16(at) | static_cast<std::uint32_t>(U16(at + 2)) << 16; }
    std::string Bytes(std::size_t at, std::size_t n) const {
        Need(at, n);
        return std::string(data_ + at, n);
    }
    // A NUL-terminated string at `at`; `end` receives the offset after its NUL.
    std::string Sz(std::size_t at, std::size_t& end) const {
        std::size_t i = at;
        while (U8(i) != 0) ++i;
        end = i + 1;
        return std::string(data_ + at, i - at);
    }
    View Sub(const std::string& where, std::size_t at, std::size_t n) const {
        Need(at, n);
        return View(where, data_ + at, n);
    }
    [[noreturn]] void Fail(const std::string& what) const { hlp::Fail(where_, what); }

private:
    void Need(std::size_t at, std::size_t n) const {
        if (at > size_ || n > size_ - at) Fail("reads past its end (" + std::to_string(at) + "+" + std::to_string(n) + " > " + std::to_string(size_) + ")");
    }
    std::string where_;
    const char* data_;
    std::size_t size_;
};

// --- B+ trees ------------------------------------------------------------------

struct Layout {  // what the structure string means for one entry
    std::function<std::size_t(const View&, std::size_t)> keySize;    // key at offset
    std::function<std::size_t(const View&, std::size_t)> entrySize;  // leaf entry at offset
    std::function<bool(const std::string&, const std::string&)> less;
};

std::size_t SzSize(const View& v, std::size_t at) {
    std::size_t end;
    v.Sz(at, end);
    return end - at;
}

std::int32_t Signed(const std::string& k) {
    return static_cast<std::int32_t>(static_cast<unsigned char>(k[0]) | static_cast<unsigned char>(k[1]) << 8 |
                                     static_cast<unsigned char>(k[2]) << 16 |
                                     static_cast<std::uint32_t>(static_cast<unsigned char>(k[3])) << 24);
}

std::uint32_t Unsigned(const std::string& k) { return static_cast<std::uint32_t>(Signed(k)); }

// Letters a to z sort as A to Z; both bytes of a double-byte character as they are.
bool FoldLess(const std::string& a, const std::string& b) {
    bool trail = false;  // equal so far, so the same in both
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        unsigned x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        const bool lead = !trail && ((x >= 0x81 && x <= 0x9F) || (x >= 0xE0 && x <= 0xFC));
        if (!trail && !lead && x >= 'a' && x <= 'z') x -= 32;
        if (!trail && !lead && y >= 'a' && y <= 'z') y -= 32;
        if (x != y) return x < y;
        trail = lead;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

Layout LayoutOf(const std::string& structure, const View& where) {
    auto fixed = [](std::size_t n) { return [n](const View&, std::size_t) { return n; }; };
    auto bytes = [](const std::string& a, const std::string& b) { return a < b; };
    if (structure == "z4") return {SzSize, [](const View& v, std::size_t at) { return SzSize(v, at) + 4; }, bytes};
    if (structure == "L4")
        return {fixed(4), fixed(8), [](const std::string& a, const std::string& b) { return Signed(a) < Signed(b); }};
    if (structure == "Lz")
        return {fixed(4), [](const View& v, std::size_t at) { return 4 + SzSize(v, at + 4); },
                [](const std::string& a, const std::string& b) { return Unsigned(a) < Unsigned(b); }};
    if (structure == "F24") return {SzSize, [](const View& v, std::size_t at) { return SzSize(v, at) + 6; }, FoldLess};
    where.Fail("unknown B+ tree structure \"" + structure + "\"");
}

struct TreeRead {
    Tree tree;
    std::vector<std::string> entries;  // leaf entries in key order
    std::vector<std::pair<unsigned, std::size_t>> leaves;  // page, index of its first entry
};

class TreeWalker {
public:
    TreeWalker(const View& file, unsigned flags, unsigned pageSize, const std::string& structure)
        : file_(file), layout_(LayoutOf(structure, file)) {
        if (file.U16(0) != 0x293B) file.Fail("B+ tree magic is " + Hex(file.U16(0)));
        if (file.U16(2) != flags) file.Fail("B+ tree flags " + Hex(file.U16(2)) + ", expected " + Hex(flags));
        out_.tree.pageSize = file.U16(4);
        if (out_.tree.pageSize != pageSize) file.Fail("page size " + std::to_string(out_.tree.pageSize));
        std::string name = file.Bytes(6, 16);
        name.resize(name.find('\0') == std::string::npos ? 16 : name.find('\0'));
        if (name != structure) file.Fail("structure \"" + name + "\", expected \"" + structure + "\"");
        if (file.U16(22) != 0) file.Fail("MustBeZero is " + std::to_string(file.U16(22)));
        root_ = file.U16(26);
        if (file.U16(28) != 0xFFFF) file.Fail("MustBeNegOne is " + Hex(file.U16(28)));
        out_.tree.pages = file.U16(30);
        out_.tree.levels = file.U16(32);
        out_.tree.entries = file.U32(34);
        if (file.Size() != 38 + static_cast<std::size_t>(out_.tree.pages) * pageSize)
            file.Fail(std::to_string(out_.tree.pages) + " pages of " + std::to_string(pageSize) + " bytes do not make " +
                      std::to_string(file.Size() - 38) + " bytes");
        if (root_ >= out_.tree.pages) file.Fail("root page " + std::to_string(root_) + " does not exist");
        if (out_.tree.levels < 1) file.Fail("no levels");
    }

    TreeRead Walk() {
        Descend(root_, 1, nullptr, nullptr);
        if (visited_.size() != out_.tree.pages)
            file_.Fail(std::to_string(out_.tree.pages - visited_.size()) + " pages are not reachable from the root");
        if (out_.entries.size() != out_.tree.entries)
            file_.Fail("holds " + std::to_string(out_.entries.size()) + " entries, the header says " +
                       std::to_string(out_.tree.entries));
        // The leaves' own chain must list the leaves in the same order.
        for (std::size_t i = 0; i < out_.leaves.size(); ++i) {
            const View p = Page(out_.leaves[i].first);
            const unsigned prev = p.U16(4), next = p.U16(6);
            const unsigned wantPrev = i == 0 ? 0xFFFF : out_.leaves[i - 1].first;
            const unsigned wantNext = i + 1 == out_.leaves.size() ? 0xFFFF : out_.leaves[i + 1].first;
            if (prev != wantPrev || next != wantNext)
                p.Fail("leaf chain: previous " + std::to_string(prev) + " next " + std::to_string(next) + ", expected " +
                       std::to_string(wantPrev) + " and " + std::to_string(wantNext));
        }
        return out_;
    }

private:
    View Page(unsigned n) const {
        return file_.Sub(file_.Where() + " page " + std::to_string(n), 38 + static_cast<std::size_t>(n) * out_.tree.pageSize,
                         out_.tree.pageSize);
    }

    void CheckKey(const View& p, const std::string& key, const std::string* low, const std::string* high,
                  const std::string* previous) const {
        if (previous && !layout_.less(*previous, key)) p.Fail("keys out of order");
        if (low && layout_.less(key, *low)) p.Fail("a key below its index entry");
        if (high && !layout_.less(key, *high)) p.Fail("a key at or above the next index entry");
    }

    void Descend(unsigned page, unsigned depth, const std::string* low, const std::string* high) {
        if (page >= out_.tree.pages) file_.Fail("page " + std::to_string(page) + " does not exist");
        if (!visited_.insert(page).second) file_.Fail("page " + std::to_string(page) + " is reached twice");
        const View p = Page(page);
        const unsigned n = p.U16(2);
        if (depth == out_.tree.levels) {
            std::size_t at = 8;
            std::string previous;
            out_.leaves.push_back({page, out_.entries.size()});
            for (unsigned i = 0; i < n; ++i) {
                const std::size_t size = layout_.entrySize(p, at);
                const std::string key = p.Bytes(at, layout_.keySize(p, at));
                CheckKey(p, key, low, high, i ? &previous : nullptr);
                out_.entries.push_back(p.Bytes(at, size));
                previous = key;
                at += size;
            }
            if (p.U16(0) != out_.tree.pageSize - at) p.Fail("free bytes " + std::to_string(p.U16(0)) + ", but " + std::to_string(out_.tree.pageSize - at) + " are unused");
            return;
        }
        if (n == 0 && page != root_) p.Fail("an index page without entries");
        std::vector<std::string> keys;
        std::vector<unsigned> children{p.U16(4)};
        std::size_t at = 6;
        for (unsigned i = 0; i < n; ++i) {
            const std::string key = p.Bytes(at, layout_.keySize(p, at));
            CheckKey(p, key, low, high, i ? &keys.back() : nullptr);
            at += key.size();
            children.push_back(p.U16(at));
            at += 2;
            keys.push_back(key);
        }
        if (p.U16(0) != out_.tree.pageSize - at) p.Fail("free bytes " + std::to_string(p.U16(0)) + ", but " + std::to_string(out_.tree.pageSize - at) + " are unused");
        for (std::size_t c = 0; c < children.size(); ++c)
            Descend(children[c], depth + 1, c == 0 ? low : &keys[c - 1], c < keys.size() ? &keys[c] : high);
    }

    View file_;
    Layout layout_;
    unsigned root_ = 0;
    std::set<unsigned> visited_;
    TreeRead out_;
};

// --- |TOPIC ---------------------------------------------------------------------

// The variable-length numbers of paragraph records.
std::uint32_t CompressedLong(const View& v, std::size_t& at) {
    if (v.U8(at) & 1) {
        const std::uint32_t x = v.U32(at);
        at += 4;
        return (x - 0x80000000u) / 2;
    }
    const unsigned x = v.U16(at);
    at += 2;
    if (x < 0x8000) v.Fail("negative compressed long");
    return (x - 0x8000) / 2;
}

unsigned CompressedUShort(const View& v, std::size_t& at) {
    if (v.U8(at) & 1) {
        const unsigned x = v.U16(at);
        at += 2;
        return x / 2;
    }
    return v.U8(at++) / 2;
}

int CompressedShort(const View& v, std::size_t& at) {
    if (v.U8(at) & 1) {
        const int x = static_cast<int>(v.U16(at));
        at += 2;
        return (x - 0x8000 - 1) / 2;
    }
    return (static_cast<int>(v.U8(at++)) - 0x80) / 2;
}

const unsigned kBlock = 4096, kBlockHeader = 12, kBlockData = kBlock - kBlockHeader;

class TopicReader {
public:
    TopicReader(const View& file, HelpFile& out) : file_(file), out_(out) {
        out_.topicBlocks = static_cast<unsigned>((file.Size() + kBlock - 1) / kBlock);
        if (out_.topicBlocks == 0) file.Fail("empty");
        for (unsigned b = 0; b < out_.topicBlocks; ++b) {
            const std::size_t start = static_cast<std::size_t>(b) * kBlock;
            if (file.Size() - start < kBlockHeader) file.Fail("block " + std::to_string(b) + " is shorter than its header");
            stream_ += file.Bytes(start + kBlockHeader, std::min<std::size_t>(kBlockData, file.Size() - start - kBlockHeader));
        }
    }

    void Read() {
        struct Link {
            std::uint32_t pos;
            unsigned block;
            unsigned type;
            std::size_t size, index;
        };
        std::vector<Link> links;
        std::uint32_t pos = file_.U32(4);  // block 0's first record
        std::uint32_t previous = kNone;
        std::size_t lastEnd = 0;
        while (pos != kNone) {
            const std::size_t index = Index(pos);
            if (!links.empty() && index < lastEnd) file_.Fail("record at " + Hex(pos) + " overlaps the one before or goes back");
            const View rec = View(Where(pos), stream_.data(), stream_.size()).Sub(Where(pos), index, 21);
            const std::uint32_t size = rec.U32(0), len2 = rec.U32(4), prev = rec.U32(8), next = rec.U32(12),
                                len1 = rec.U32(16);
            const unsigned type = rec.U8(20);
            if (prev != previous) rec.Fail("previous record " + Hex(prev) + ", expected " + Hex(previous));
            if (len1 < 21 || len1 > size) rec.Fail("DataLen1 " + std::to_string(len1) + " of a record of " + std::to_string(size));
            if (len2 != size - len1) rec.Fail("DataLen2 " + std::to_string(len2) + " is not the " + std::to_string(size - len1) + " bytes stored (no phrase compression)");
            const View whole = View(Where(pos), stream_.data(), stream_.size()).Sub(Where(pos), index, size);
            links.push_back(Link{pos, static_cast<unsigned>(index / kBlockData), type, size, index});
            records_.push_back(Record{pos, type, whole.Sub(Where(pos) + " LinkData1", 21, len1 - 21),
                                      whole.Sub(Where(pos) + " LinkData2", len1, size - len1), size});
            previous = pos;
            lastEnd = index + size;
            pos = next;
            if (records_.size() > stream_.size() / 21) file_.Fail("the record chain does not end");
        }
        if (records_.empty()) file_.Fail("no records");

        // Every block header must point at the records around it.
        for (unsigned b = 0; b < out_.topicBlocks; ++b) {
            std::uint32_t lastLink = kNone, firstLink = kNone, lastHeader = 0;
            for (const Link& l : links) {
                if (l.block < b) {
                    lastLink = l.pos;
                    if (l.type == 0x02) lastHeader = l.pos;
                } else if (l.block == b && firstLink == kNone) {
                    firstLink = l.pos;
                }
            }
            const std::size_t h = static_cast<std::size_t>(b) * kBlock;
            const std::string where = "|TOPIC block " + std::to_string(b) + " header";
            if (file_.U32(h) != lastLink) Fail(where, "last record of the blocks before is " + Hex(file_.U32(h)) + ", expected " + Hex(lastLink));
            if (file_.U32(h + 4) != firstLink) Fail(where, "first record is " + Hex(file_.U32(h + 4)) + ", expected " + Hex(firstLink));
            if (file_.U32(h + 8) != lastHeader) Fail(where, "last topic header before it is " + Hex(file_.U32(h + 8)) + ", expected " + Hex(lastHeader));
        }

        // Topic offsets: the block of the header and the text before it in
        // that block.
        unsigned chars = 0, block = 0;
        for (std::size_t i = 0; i < records_.size(); ++i) {
            const Record& r = records_[i];
            if (links[i].block != block) {
                block = links[i].block;
                chars = 0;
            }
            if (r.type == 0x02) {
                Topic t;
                t.pos = r.pos;
                t.offset = (block << 15) | chars;
                t.title = r.ld2.Bytes(0, r.ld2.Size());
                if (chars >= 0x8000) Fail(Where(r.pos), "topic offset overflows its block's character count");
                out_.topics.push_back(t);
                headerRecord_.push_back(i);
            } else if (r.type == 0x20) {
                if (out_.topics.empty()) Fail(Where(r.pos), "a paragraph before the first topic header");
                chars += TopicLength(r);
            } else {
                Fail(Where(r.pos), "record type " + Hex(r.type) + " (only 0x02 and 0x20 are written)");
            }
        }
    }

    // After the fonts and |CONTEXT are known: decode every record.
    void Decode(const std::map<std::uint32_t, int>& topicOfHash) {
        for (std::size_t t = 0; t < out_.topics.size(); ++t) {
            const std::size_t first = headerRecord_[t];
            const std::size_t end = t + 1 < headerRecord_.size() ? headerRecord_[t + 1] : records_.size();
            const Record& h = records_[first];
            const View& d = h.ld1;
            if (d.Size() != 28) d.Fail("topic header of " + std::to_string(d.Size()) + " bytes, expected 28");
            std::uint32_t size = 0;
            for (std::size_t i = first; i < end; ++i) size += records_[i].size;
            if (d.U32(0) != size) d.Fail("topic size " + std::to_string(d.U32(0)) + ", its records hold " + std::to_string(size));
            if (d.U32(4) != kNone || d.U32(8) != kNone) d.Fail("browse sequence set (none is written)");
            if (d.U32(12) != t) d.Fail("topic number " + std::to_string(d.U32(12)) + ", expected " + std::to_string(t));
            if (d.U32(16) != kNone) d.Fail("non-scrolling region set (none is written)");
            if (first + 1 >= end || d.U32(20) != records_[first + 1].pos)
                d.Fail("scrolling region does not begin at the topic's first paragraph");
            const std::uint32_t next = end < records_.size() ? records_[end].pos : kNone;
            if (d.U32(24) != next) d.Fail("next topic " + Hex(d.U32(24)) + ", expected " + Hex(next));
            Topic& topic = out_.topics[t];
            if (topic.title.empty() || topic.title.find('\0') != std::string::npos)
                h.ld2.Fail("the title is empty or holds more than the title (macros are not written)");
            for (std::size_t i = first + 1; i < end; ++i) topic.paragraphs.push_back(DecodeParagraph(records_[i], topicOfHash));
        }
    }

private:
    struct Record {
        std::uint32_t pos;
        unsigned type;
        View ld1, ld2;
        std::uint32_t size;
    };

    std::string Where(std::uint32_t pos) const { return "|TOPIC record " + Hex(pos); }

    std::size_t Index(std::uint32_t pos) const {
        const unsigned block = pos >> 14, offset = pos & 0x3FFF;
        if (offset < kBlockHeader || offset >= kBlock || block >= out_.topicBlocks)
            file_.Fail("record position " + Hex(pos) + " is outside the blocks");
        const std::size_t index = static_cast<std::size_t>(block) * kBlockData + offset - kBlockHeader;
        if (index >= stream_.size()) file_.Fail("record position " + Hex(pos) + " is past the end");
        return index;
    }

    unsigned TopicLength(const Record& r) const {
        std::size_t at = 0;
        CompressedLong(r.ld1, at);
        return CompressedUShort(r.ld1, at);
    }

    Paragraph DecodeParagraph(const Record& r, const std::map<std::uint32_t, int>& topicOfHash) const {
        const View& f = r.ld1;
        std::size_t at = 0;
        const std::uint32_t formatSize = CompressedLong(f, at);
        const unsigned textLength = CompressedUShort(f, at);
        if (formatSize != f.Size() - at) f.Fail("TopicSize " + std::to_string(formatSize) + ", but " + std::to_string(f.Size() - at) + " bytes follow");
        if (textLength != r.ld2.Size()) f.Fail("TopicLength " + std::to_string(textLength) + ", the text part holds " + std::to_string(r.ld2.Size()));
        if (f.U8(at) != 0) f.Fail("a table column count in a plain paragraph");
        at += 4;  // columns, 0x80, id
        Paragraph p;
        p.flags = f.U16(at);
        at += 2;
        if (p.flags & ~0x0C7Eu) f.Fail("paragraph flags " + Hex(p.flags) + " (borders, tabs and the unknown bits are not written)");
        for (unsigned bit = 0x02; bit <= 0x40; bit <<= 1)
            if (p.flags & bit) p.values.push_back(CompressedShort(f, at));

        // The text part is one string before each command.
        std::vector<std::string> strings;
        std::size_t s = 0;
        while (s < r.ld2.Size()) {
            std::size_t end;
            strings.push_back(r.ld2.Sz(s, end));
            s = end;
        }
        std::size_t next = 0;
        auto text = [&]() -> std::string {
            if (next >= strings.size()) f.Fail("more commands than texts");
            return strings[next++];
        };
        int font = -1, jump = -1;
        bool inJump = false, ended = false;
        std::vector<unsigned> commands;
        auto add = [&](const std::string& t) {
            if (t.empty()) return;
            if (font < 0) f.Fail("text before the first font");
            if (!p.pieces.empty() && p.pieces.back().font == font && p.pieces.back().jump == jump)
                p.pieces.back().text += t;
            else
                p.pieces.push_back(Piece{t, font, jump});
        };
        while (!ended) {
            add(text());
            const unsigned c = f.U8(at++);
            commands.push_back(c);
            switch (c) {
            case 0x80: {
                const unsigned n = f.U16(at);
                at += 2;
                if (n >= out_.fonts.size()) f.Fail("font " + std::to_string(n) + " of " + std::to_string(out_.fonts.size()));
                font = static_cast<int>(n);
                break;
            }
            case 0x81:
                add("\n");
                break;
            case 0x82:
                break;
            case 0xE3: {
                if (inJump) f.Fail("a jump inside a jump");
                const std::uint32_t hash = f.U32(at);
                at += 4;
                auto it = topicOfHash.find(hash);
                if (it == topicOfHash.end()) f.Fail("jump to hash " + Hex(hash) + ", which |CONTEXT does not hold");
                jump = it->second;
                inJump = true;
                break;
            }
            case 0x89:
                if (!inJump) f.Fail("end of a jump that did not begin");
                inJump = false;
                jump = -1;
                break;
            case 0xFF:
                ended = true;
                break;
            default:
                f.Fail("command " + Hex(c) + " (not written by the compiler)");
            }
        }
        if (at != f.Size()) f.Fail(std::to_string(f.Size() - at) + " bytes after the end command");
        if (next != strings.size()) f.Fail("texts left after the end command");
        if (inJump) f.Fail("a jump without its end");
        if (commands.size() < 2 || commands[commands.size() - 2] != 0x82 ||
            std::count(commands.begin(), commands.end(), 0x82u) != 1)
            f.Fail("a paragraph record must hold exactly one paragraph end, right before the end command");
        if (p.pieces.empty()) f.Fail("a paragraph without text");
        return p;
    }

    View file_;
    HelpFile& out_;
    std::string stream_;  // the blocks' data, one after another
    std::vector<Record> records_;
    std::vector<std::size_t> headerRecord_;
};

// --- the whole file ------------------------------------------------------------

struct Region {
    std::size_t begin, end;
    std::string name;
};

View InternalFile(const View& file, const std::string& name, std::uint32_t offset, std::vector<Region>& regions) {
    const std::string where = "internal file " + name;
    if (offset < 16) Fail(where, "starts inside the file header");
    const std::uint32_t reserved = file.U32(offset), used = file.U32(offset + 4);
    if (file.U8(offset + 8) != 4) Fail(where, "file flags " + std::to_string(file.U8(offset + 8)) + ", expected 4");
    if (reserved < used + 9) Fail(where, "reserves " + std::to_string(reserved) + " bytes for " + std::to_string(used) + " and its header");
    if (offset + static_cast<std::size_t>(reserved) > file.Size()) Fail(where, "reaches past the end of the help file");
    for (const Region& r : regions)
        if (offset < r.end && r.begin < offset + reserved) Fail(where, "overlaps " + r.name);
    regions.push_back(Region{offset, offset + reserved, name});
    return file.Sub(name, offset + 9, used);
}

void ReadSystem(const View& s, HelpFile& out, std::uint32_t& contents) {
    if (s.U16(0) != 0x036C || s.U16(4) != 1) s.Fail("not a |SYSTEM header");
    if (s.U16(2) != 33) s.Fail("minor version " + std::to_string(s.U16(2)) + ", expected 33 (WinHelp 4.0)");
    if (s.U16(10) != 0) s.Fail("flags " + Hex(s.U16(10)) + ": only uncompressed 4 KiB topic blocks are read");
    std::set<unsigned> seen;
    bool haveContents = false;
    std::size_t at = 12;
    while (at < s.Size()) {
        const unsigned type = s.U16(at), size = s.U16(at + 2);
        const View d = s.Sub("|SYSTEM record " + std::to_string(type), at + 4, size);
        if (!seen.insert(type).second) d.Fail("given twice");
        auto string = [&]() {
            std::size_t end;
            std::string v = d.Sz(0, end);
            if (end != d.Size()) d.Fail("bytes after the string");
            return v;
        };
        switch (type) {
        case 1: out.title = string(); break;
        case 2: out.copyright = string(); break;
        case 3:
            if (size != 4) d.Fail("size " + std::to_string(size));
            contents = d.U32(0);
            haveContents = true;
            break;
        case 9:
            if (size != 10) d.Fail("size " + std::to_string(size));
            out.lcid = d.U16(8);
            break;
        case 10: out.contentsFile = string(); break;
        case 11:
            if (size != 2) d.Fail("size " + std::to_string(size));
            out.charset = d.U8(0);
            break;
        case 12: {
            std::size_t end;
            out.dialogFont = d.Sz(2, end);
            if (end != d.Size()) d.Fail("bytes after the face name");
            if (d.U8(1) != out.charset) d.Fail("dialog font character set differs from the file's");
            break;
        }
        default:
            d.Fail("a record type the compiler does not write");
        }
        at += 4 + size;
    }
    if (out.title.empty() || !haveContents || out.contentsFile.empty() || !seen.count(9) || !seen.count(11) || !seen.count(12))
        s.Fail("title, contents, LCID, contents file, charset or default font missing");
}

void ReadFonts(const View& f, HelpFile& out) {
    const unsigned faces = f.U16(0), descriptors = f.U16(2), faceAt = f.U16(4), descAt = f.U16(6);
    if (faceAt != 8) f.Fail("face names at " + std::to_string(faceAt) + " (only the 8-byte header is written)");
    if (faces == 0 || descAt < faceAt || (descAt - faceAt) % faces != 0) f.Fail("face name table does not divide into names");
    const unsigned faceSize = (descAt - faceAt) / faces;
    if (f.Size() != descAt + 11u * descriptors) f.Fail("size " + std::to_string(f.Size()) + " does not hold its descriptors");
    std::vector<std::string> names;
    for (unsigned i = 0; i < faces; ++i) {
        std::string n = f.Bytes(faceAt + i * faceSize, faceSize);
        if (n.find('\0') == std::string::npos) f.Fail("face name without its NUL");
        names.push_back(n.substr(0, n.find('\0')));
    }
    for (unsigned i = 0; i < descriptors; ++i) {
        const std::size_t d = descAt + 11u * i;
        const unsigned face = f.U16(d + 3);
        if (face >= faces) f.Fail("descriptor " + std::to_string(i) + " names face " + std::to_string(face));
        out.fonts.push_back(Font{f.U8(d), f.U8(d + 1), f.U8(d + 2), names[face]});
    }
}

}  // namespace

std::string Paragraph::Text() const {
    std::string s;
    for (const Piece& p : pieces) s += p.text;
    return s;
}

int HelpFile::TopicByHash(std::uint32_t hash) const {
    for (std::size_t i = 0; i < topics.size(); ++i)
        if (std::find(topics[i].hashes.begin(), topics[i].hashes.end(), hash) != topics[i].hashes.end()) return static_cast<int>(i);
    return -1;
}

int HelpFile::TopicByNumber(std::uint32_t number) const {
    for (std::size_t i = 0; i < topics.size(); ++i)
        if (std::find(topics[i].numbers.begin(), topics[i].numbers.end(), number) != topics[i].numbers.end()) return static_cast<int>(i);
    return -1;
}

HelpFile ReadHelpFile(const std::string& bytes) {
    HelpFile out;
    const View file("help file", bytes.data(), bytes.size());
    if (file.U32(0) != 0x00035F3F) file.Fail("not a WinHelp file (magic " + Hex(file.U32(0)) + ")");
    if (file.U32(12) != bytes.size()) file.Fail("header says " + std::to_string(file.U32(12)) + " bytes, the file has " + std::to_string(bytes.size()));
    if (file.U32(8) != kNone) file.Fail("a free-block list (none is written)");

    std::vector<Region> regions;
    const View dir = InternalFile(file, "the directory", file.U32(4), regions);
    TreeRead d = TreeWalker(dir, 0x0402, 1024, "z4").Walk();
    out.trees["the directory"] = d.tree;
    std::map<std::string, View> files;
    for (const std::string& e : d.entries) {
        const View v("the directory entry", e.data(), e.size());
        std::size_t end;
        const std::string name = v.Sz(0, end);
        out.files.push_back(name);
        files.emplace(name, InternalFile(file, name, v.U32(end), regions));
    }
    const std::set<std::string> required{"|SYSTEM", "|TOPIC", "|FONT", "|CONTEXT", "|CTXOMAP", "|TTLBTREE"};
    const std::set<std::string> keywordFiles{"|KWBTREE", "|KWDATA", "|KWMAP"};
    for (const std::string& name : required)
        if (!files.count(name)) file.Fail("no internal file " + name);
    int keywordCount = 0;
    for (const auto& [name, view] : files) {
        if (keywordFiles.count(name)) ++keywordCount;
        else if (!required.count(name)) file.Fail("internal file " + name + " (not written by the compiler)");
    }
    if (keywordCount != 0 && keywordCount != 3) file.Fail("only part of |KWBTREE, |KWDATA and |KWMAP");
    auto get = [&](const char* name) { return files.at(name); };

    std::uint32_t contents = 0;
    ReadSystem(get("|SYSTEM"), out, contents);
    ReadFonts(get("|FONT"), out);
    TopicReader topic(get("|TOPIC"), out);
    topic.Read();
    std::map<std::uint32_t, int> byOffset;
    for (std::size_t i = 0; i < out.topics.size(); ++i)
        if (!byOffset.emplace(out.topics[i].offset, static_cast<int>(i)).second) Fail("|TOPIC", "two topics share offset " + Hex(out.topics[i].offset));
    auto topicAt = [&](std::uint32_t offset, const std::string& where) {
        auto it = byOffset.find(offset);
        if (it == byOffset.end()) Fail(where, "topic offset " + Hex(offset) + " is not the start of a topic");
        return it->second;
    };
    out.contents = topicAt(contents, "|SYSTEM contents record");

    std::map<std::uint32_t, int> topicOfHash;
    TreeRead ctx = TreeWalker(get("|CONTEXT"), 0x0002, 2048, "L4").Walk();
    out.trees["|CONTEXT"] = ctx.tree;
    for (const std::string& e : ctx.entries) {
        const View v("|CONTEXT entry", e.data(), e.size());
        const int t = topicAt(v.U32(4), "|CONTEXT entry " + Hex(v.U32(0)));
        out.topics[t].hashes.push_back(v.U32(0));
        topicOfHash[v.U32(0)] = t;
    }

    const View map = get("|CTXOMAP");
    const unsigned mapCount = map.U16(0);
    if (map.Size() != 2 + 8u * mapCount) map.Fail("size " + std::to_string(map.Size()) + " for " + std::to_string(mapCount) + " entries");
    std::set<std::uint32_t> numbers;
    for (unsigned i = 0; i < mapCount; ++i) {
        const std::uint32_t number = map.U32(2 + 8 * i);
        if (!numbers.insert(number).second) map.Fail("context number " + std::to_string(number) + " given twice");
        out.topics[topicAt(map.U32(6 + 8 * i), "|CTXOMAP entry " + std::to_string(number))].numbers.push_back(number);
    }

    TreeRead ttl = TreeWalker(get("|TTLBTREE"), 0x0002, 2048, "Lz").Walk();
    out.trees["|TTLBTREE"] = ttl.tree;
    std::set<int> titled;
    for (const std::string& e : ttl.entries) {
        const View v("|TTLBTREE entry", e.data(), e.size());
        const int t = topicAt(v.U32(0), "|TTLBTREE entry");
        std::size_t end;
        const std::string title = v.Sz(4, end);
        if (!titled.insert(t).second) v.Fail("a topic listed twice");
        if (title != out.topics[t].title) v.Fail("title differs from the topic header's");
    }
    if (titled.size() != out.topics.size()) Fail("|TTLBTREE", "does not list every topic once");
    topic.Decode(topicOfHash);

    if (keywordCount) {
        TreeRead kw = TreeWalker(get("|KWBTREE"), 0x0002, 2048, "F24").Walk();
        out.trees["|KWBTREE"] = kw.tree;
        const View data = get("|KWDATA");
        std::size_t expected = 0;
        for (const std::string& e : kw.entries) {
            const View v("|KWBTREE entry", e.data(), e.size());
            std::size_t end;
            const std::string keyword = v.Sz(0, end);
            const unsigned count = v.U16(end);
            const std::uint32_t at = v.U32(end + 2);
            if (count == 0) v.Fail("keyword without topics");
            if (at != expected) v.Fail("|KWDATA offset " + std::to_string(at) + ", expected " + std::to_string(expected));
            std::set<int> seen;
            for (unsigned i = 0; i < count; ++i) {
                const int t = topicAt(data.U32(at + 4 * i), "|KWDATA entry of a keyword");
                if (!seen.insert(t).second) v.Fail("a keyword lists one topic twice");
                out.topics[t].keywords.push_back(keyword);
            }
            expected = at + 4u * count;
        }
        if (expected != data.Size()) data.Fail(std::to_string(data.Size() - expected) + " bytes no keyword refers to");
        const View m = get("|KWMAP");
        if (m.U16(0) != kw.leaves.size() || m.Size() != 2 + 6 * kw.leaves.size())
            m.Fail("does not hold one record per |KWBTREE leaf");
        for (std::size_t i = 0; i < kw.leaves.size(); ++i)
            if (m.U32(2 + 6 * i) != kw.leaves[i].second || m.U16(6 + 6 * i) != kw.leaves[i].first)
                m.Fail("record " + std::to_string(i) + " does not name leaf " + std::to_string(kw.leaves[i].first) +
                       " and its first keyword " + std::to_string(kw.leaves[i].second));
    }
    return out;
}

}  // namespace hlp
