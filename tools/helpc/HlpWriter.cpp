#include "HlpWriter.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "system/Text.h"

namespace helpc {

namespace {

// --- little-endian byte building ---------------------------------------------

class Bytes {
public:
    Bytes& U8(unsigned v) {
        s_ += static_cast<char>(v & 0xFF);
        return *this;
    }
    Bytes& U16(unsigned v) { return U8(v).U8(v >> 8); }
    Bytes& U32(std::uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    Bytes& Raw(const std::string& b) {
        s_ += b;
        return *this;
    }
    Bytes& Sz(const std::string& b) { return Raw(b).U8(0); }
    // The viewer's variable-length numbers: the low bit of the first byte
    // says whether the long form follows.
    Bytes& CompressedLong(std::uint32_t v) {
        if (v < 0x4000) return U16(0x8000 + 2 * v);
        return U32(0x80000000u + 2 * v + 1);
    }
    Bytes& CompressedUShort(unsigned v) {
        if (v < 0x80) return U8(2 * v);
        return U16(2 * v + 1);
    }
    Bytes& CompressedShort(int v) {
        if (v >= -64 && v < 64) return U8(0x80 + 2 * v);
        return U16(static_cast<unsigned>(0x8000 + 2 * v + 1));
    }
    void Put32At(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) s_[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    std::size_t Size() const { return s_.size(); }
    const std::string& Str() const { return s_; }

private:
    std::string s_;
};

const std::uint32_t kNone = 0xFFFFFFFF;

// --- B+ trees ------------------------------------------------------------------

struct BTreeEntry {
    std::string key;   // as stored in index pages
    std::string leaf;  // the whole leaf record
};

struct LeafPage {
    unsigned page;
    std::size_t firstEntry;
};

// Pages: the leaves first, in key order, then each index level; the root
// is the last page.
std::string BuildBTree(const std::vector<BTreeEntry>& entries, unsigned pageSize, unsigned flags,
                       const std::string& structure, std::vector<LeafPage>* leavesOut = nullptr) {
    const std::size_t kLeafHeader = 8, kIndexHeader = 6;
    std::vector<std::string> pages;
    struct Child {
        unsigned page;
        std::string firstKey;
    };
    std::vector<Child> level;

    // Leaves.
    std::vector<std::pair<std::size_t, std::size_t>> ranges;  // [first, end) entries per leaf
    std::size_t at = 0;
    do {
        std::size_t used = kLeafHeader, end = at;
        while (end < entries.size() && used + entries[end].leaf.size() <= pageSize) used += entries[end++].leaf.size();
        if (end == at && at < entries.size()) throw std::logic_error("a B+ tree entry does not fit a page");
        ranges.push_back({at, end});
        at = end;
    } while (at < entries.size());
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        Bytes p;
        std::size_t used = kLeafHeader;
        for (std::size_t e = ranges[i].first; e < ranges[i].second; ++e) used += entries[e].leaf.size();
        p.U16(static_cast<unsigned>(pageSize - used))
            .U16(static_cast<unsigned>(ranges[i].second - ranges[i].first))
            .U16(i == 0 ? 0xFFFF : static_cast<unsigned>(i - 1))
            .U16(i + 1 == ranges.size() ? 0xFFFF : static_cast<unsigned>(i + 1));
        for (std::size_t e = ranges[i].first; e < ranges[i].second; ++e) p.Raw(entries[e].leaf);
        pages.push_back(p.Str());
        level.push_back(Child{static_cast<unsigned>(i), ranges[i].first < entries.size() ? entries[ranges[i].first].key : ""});
        if (leavesOut) leavesOut->push_back(LeafPage{static_cast<unsigned>(i), ranges[i].first});
    }

    // Index levels: each page names its first child in its header and every
    // further child with that child's first key.
    unsigned levels = 1;
    while (level.size() > 1) {
        std::vector<std::pair<std::size_t, std::size_t>> groups;  // [first, end) children per page
        for (std::size_t c = 0; c < level.size();) {
            std::size_t used = kIndexHeader, end = c + 1;
            while (end < level.size() && used + level[end].firstKey.size() + 2 <= pageSize)
                used += level[end++].firstKey.size() + 2;
            groups.push_back({c, end});
            c = end;
        }
        // A last page with a single child would hold no key: give it one
        // child of the full page before it.
        if (groups.size() > 1 && groups.back().second - groups.back().first == 1) {
            --groups[groups.size() - 2].second;
            --groups.back().first;
        }
        std::vector<Child> upper;
        for (const auto& [c, end] : groups) {
            std::size_t used = kIndexHeader;
            for (std::size_t k = c + 1; k < end; ++k) used += level[k].firstKey.size() + 2;
            Bytes p;
            p.U16(static_cast<unsigned>(pageSize - used)).U16(static_cast<unsigned>(end - c - 1)).U16(level[c].page);
            for (std::size_t k = c + 1; k < end; ++k) p.Raw(level[k].firstKey).U16(level[k].page);
            upper.push_back(Child{static_cast<unsigned>(pages.size()), level[c].firstKey});
            pages.push_back(p.Str());
        }
        level = upper;
        ++levels;
    }

    Bytes out;
    std::string name = structure;
    name.resize(16, '\0');
    out.U16(0x293B).U16(flags).U16(pageSize).Raw(name).U16(0).U16(0).U16(level.front().page).U16(0xFFFF)
        .U16(static_cast<unsigned>(pages.size())).U16(levels).U32(static_cast<std::uint32_t>(entries.size()));
    for (std::string& p : pages) {
        p.resize(pageSize, '\0');
        out.Raw(p);
    }
    return out.Str();
}

std::string Long(std::uint32_t v) { return Bytes().U32(v).Str(); }

// --- |TOPIC ---------------------------------------------------------------------

const unsigned kBlockSize = 4096;
const unsigned kBlockHeader = 12;
const unsigned kBlockData = kBlockSize - kBlockHeader;
const unsigned kLinkHeader = 21;

enum Font { kFontText = 0, kFontBold = 1, kFontTitle = 2, kFontCode = 3 };

struct Record {
    unsigned char type;  // 0x02 topic header, 0x20 paragraph
    std::string ld1, ld2;
    unsigned topicLength = 0;  // what the record adds to topic offsets
    int topic;
    std::uint32_t pos = 0;
    unsigned block = 0;
    std::size_t Size() const { return kLinkHeader + ld1.size() + ld2.size(); }
};

// A paragraph's two parts: the format part (attributes, then one command
// per NUL of the text part) and the text part.
class ParagraphEncoder {
public:
    void Command(const Bytes& command) {
        text_ += current_;
        text_ += '\0';
        current_.clear();
        commands_.Raw(command.Str());
    }
    void Text(const std::string& s) { current_ += s; }
    void FontIfChanged(int font) {
        if (font == font_) return;
        Command(Bytes().U8(0x80).U16(font));
        font_ = font;
    }

    Record Finish(unsigned bits, const std::vector<int>& values) {
        Command(Bytes().U8(0x82));
        Command(Bytes().U8(0xFF));
        Bytes attributes;
        attributes.U8(0x00).U8(0x80).U16(0).U16(bits);  // no columns, paragraph flags
        for (int v : values) attributes.CompressedShort(v);
        attributes.Raw(commands_.Str());
        Bytes ld1;
        ld1.CompressedLong(static_cast<std::uint32_t>(attributes.Size()))
            .CompressedUShort(static_cast<unsigned>(text_.size()))
            .Raw(attributes.Str());
        Record r;
        r.type = 0x20;
        r.ld1 = ld1.Str();
        r.ld2 = text_;
        r.topicLength = static_cast<unsigned>(text_.size());
        return r;
    }

private:
    Bytes commands_;
    std::string text_, current_;
    int font_ = -1;
};

// Paragraph flags and their values, in the order of the flags.
const unsigned kSpaceBefore = 0x0002, kSpaceAfter = 0x0004, kLeftIndent = 0x0010;

int FontOf(const Run& run, ParagraphKind kind) {
    if (run.style == RunStyle::Code) return kFontCode;
    if (run.style == RunStyle::Bold || kind == ParagraphKind::Heading) return kFontBold;
    return kFontText;
}

Record EncodeParagraph(const Paragraph& p, const std::vector<std::uint32_t>& hashes) {
    ParagraphEncoder e;
    if (p.kind == ParagraphKind::Bullet) {
        e.FontIfChanged(kFontText);
        e.Text("\x81\x45");  // the middle dot, in code page 932
    }
    for (const Run& run : p.runs) {
        e.FontIfChanged(FontOf(run, p.kind));
        if (run.jump >= 0) e.Command(Bytes().U8(0xE3).U32(hashes[run.jump]));
        std::size_t at = 0;
        for (;;) {
            const std::size_t nl = run.text.find('\n', at);
            e.Text(run.text.substr(at, nl == std::string::npos ? std::string::npos : nl - at));
            if (nl == std::string::npos) break;
            e.Command(Bytes().U8(0x81));
            at = nl + 1;
        }
        if (run.jump >= 0) e.Command(Bytes().U8(0x89));
    }
    switch (p.kind) {
    case ParagraphKind::Heading:
        return e.Finish(kSpaceBefore | kSpaceAfter, {6, 3});
    case ParagraphKind::Bullet:
    case ParagraphKind::Step:
        return e.Finish(kSpaceAfter | kLeftIndent, {3, 18});
    case ParagraphKind::Code:
        return e.Finish(kSpaceAfter | kLeftIndent, {6, 18});
    case ParagraphKind::Normal:
        break;
    }
    return e.Finish(kSpaceAfter, {6});
}

Record EncodeTitle(const std::string& title) {
    ParagraphEncoder e;
    e.FontIfChanged(kFontTitle);
    e.Text(title);
    return e.Finish(kSpaceAfter, {12});
}

struct TopicFile {
    std::string data;
    std::vector<std::uint32_t> offsets;  // per topic, its topic offset
};

TopicFile BuildTopic(const HelpProject& project, const std::vector<std::uint32_t>& hashes) {
    std::vector<Record> records;
    for (std::size_t t = 0; t < project.topics.size(); ++t) {
        const Topic& topic = project.topics[t];
        Record header;
        header.type = 0x02;
        header.ld1.assign(28, '\0');
        header.ld2 = topic.title;
        header.topic = static_cast<int>(t);
        records.push_back(header);
        Record title = EncodeTitle(topic.title);
        title.topic = static_cast<int>(t);
        records.push_back(title);
        for (const Paragraph& p : topic.paragraphs) {
            Record r = EncodeParagraph(p, hashes);
            if (r.Size() > kBlockData)
                throw SourceError(topic.file, p.line, "paragraph too long for one topic block (" + std::to_string(r.Size()) +
                                                          " bytes, at most " + std::to_string(kBlockData) + ")");
            r.topic = static_cast<int>(t);
            records.push_back(r);
        }
    }

    // Place the records; a record that does not fit the rest of a block
    // begins the next one.
    TopicFile out;
    out.offsets.assign(project.topics.size(), 0);
    unsigned block = 0, used = 0, chars = 0;
    for (Record& r : records) {
        if (used + r.Size() > kBlockData) {
            ++block;
            used = 0;
            chars = 0;
        }
        r.block = block;
        r.pos = (block << 14) | (kBlockHeader + used);
        if (r.type == 0x02) out.offsets[r.topic] = (block << 15) | chars;
        used += static_cast<unsigned>(r.Size());
        chars += r.topicLength;
    }

    // The topic headers, now that every position is known.
    for (std::size_t i = 0; i < records.size(); ++i) {
        Record& r = records[i];
        if (r.type != 0x02) continue;
        std::uint32_t size = 0;
        std::size_t end = i + 1;
        for (size += static_cast<std::uint32_t>(r.Size()); end < records.size() && records[end].type != 0x02; ++end)
            size += static_cast<std::uint32_t>(records[end].Size());
        Bytes h;
        h.U32(size).U32(kNone).U32(kNone).U32(static_cast<std::uint32_t>(r.topic)).U32(kNone)
            .U32(records[i + 1].pos).U32(end < records.size() ? records[end].pos : kNone);
        r.ld1 = h.Str();
    }

    const unsigned blocks = block + 1;
    std::string data(static_cast<std::size_t>(blocks) * kBlockSize, '\0');
    Bytes file;
    for (unsigned b = 0; b < blocks; ++b) {
        std::uint32_t lastLink = kNone, firstLink = kNone, lastHeader = 0;
        for (const Record& r : records) {
            if (r.block < b) {
                lastLink = r.pos;
                if (r.type == 0x02) lastHeader = r.pos;
            } else if (r.block == b && firstLink == kNone) {
                firstLink = r.pos;
            }
        }
        const std::string head = Bytes().U32(lastLink).U32(firstLink).U32(lastHeader).Str();
        data.replace(static_cast<std::size_t>(b) * kBlockSize, kBlockHeader, head);
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        Bytes link;
        link.U32(static_cast<std::uint32_t>(r.Size()))
            .U32(static_cast<std::uint32_t>(r.ld2.size()))
            .U32(i == 0 ? kNone : records[i - 1].pos)
            .U32(i + 1 < records.size() ? records[i + 1].pos : kNone)
            .U32(static_cast<std::uint32_t>(kLinkHeader + r.ld1.size()))
            .U8(r.type)
            .Raw(r.ld1)
            .Raw(r.ld2);
        const std::size_t at = static_cast<std::size_t>(r.block) * kBlockSize + (r.pos & 0x3FFF);
        data.replace(at, link.Size(), link.Str());
    }
    out.data = data;
    return out;
}

// --- the other internal files ------------------------------------------------

std::string BuildSystem(const HelpProject& project, std::uint32_t contents, std::uint32_t genDate) {
    Bytes s;
    s.U16(0x036C).U16(33).U16(1).U32(genDate).U16(0);  // WinHelp 4.0, uncompressed 4 KiB blocks
    auto record = [&](unsigned type, const std::string& data) {
        s.U16(type).U16(static_cast<unsigned>(data.size())).Raw(data);
    };
    record(1, project.title + '\0');
    if (!project.copyright.empty()) record(2, project.copyright + '\0');
    record(3, Long(contents));
    record(9, Bytes().U16(0).U16(0).U16(0).U16(0).U16(0x0411).Str());  // Japanese
    record(10, project.contentsFile + '\0');
    record(11, Bytes().U8(128).U8(0).Str());                            // SHIFTJIS_CHARSET
    record(12, Bytes().U8(9).U8(128).Sz(project.font).Str());           // the dialogs' font
    return s.Str();
}

std::string BuildFont(const HelpProject& project) {
    std::vector<std::string> faces{project.font};
    if (project.codeFont != project.font) faces.push_back(project.codeFont);
    const unsigned kFaceSize = 32;
    Bytes f;
    f.U16(static_cast<unsigned>(faces.size())).U16(4).U16(8).U16(8 + kFaceSize * static_cast<unsigned>(faces.size()));
    for (std::string face : faces) {
        face.resize(kFaceSize, '\0');
        f.Raw(face);
    }
    struct Descriptor {
        unsigned attributes, halfPoints, family, face;
    };
    const unsigned code = static_cast<unsigned>(faces.size() - 1);
    const Descriptor fonts[] = {{0, 18, 3, 0}, {1, 18, 3, 0}, {1, 24, 3, 0}, {0, 18, 1, code}};
    for (const Descriptor& d : fonts)
        f.U8(d.attributes).U8(d.halfPoints).U8(d.family).U16(d.face).U8(0).U8(0).U8(0).U8(0).U8(0).U8(0);
    return f.Str();
}

}  // namespace

// As the viewer compares: a to z as A to Z, but never within a double-byte
// character (ト 83 67 is not エ 83 47).
bool KeywordLess(const std::string& a, const std::string& b) {
    auto fold = [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; };
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (IsCp932LeadByte(x)) {
            // Equal so far, so y leads a character too; compare the pair unfolded.
            if (x != y) return x < y;
            if (++i == n) break;
            if (a[i] != b[i]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]);
            continue;
        }
        if (fold(x) != fold(y)) return fold(x) < fold(y);
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

HelpOutput WriteHelp(const HelpProject& project, std::uint32_t genDate) {
    std::vector<std::uint32_t> hashes;
    for (const Topic& t : project.topics) hashes.push_back(ContextHash(t.id));
    const TopicFile topic = BuildTopic(project, hashes);

    // |CONTEXT is searched with signed comparisons of the hashes.
    std::vector<std::size_t> byHash(project.topics.size());
    for (std::size_t i = 0; i < byHash.size(); ++i) byHash[i] = i;
    std::sort(byHash.begin(), byHash.end(), [&](std::size_t a, std::size_t b) {
        return static_cast<std::int32_t>(hashes[a]) < static_cast<std::int32_t>(hashes[b]);
    });
    std::vector<BTreeEntry> context;
    for (std::size_t i : byHash) context.push_back(BTreeEntry{Long(hashes[i]), Long(hashes[i]) + Long(topic.offsets[i])});

    std::vector<std::pair<std::uint32_t, std::uint32_t>> numbers;
    for (std::size_t i = 0; i < project.topics.size(); ++i)
        if (project.topics[i].hasNumber) numbers.push_back({project.topics[i].number, topic.offsets[i]});
    std::sort(numbers.begin(), numbers.end());
    Bytes ctxomap;
    ctxomap.U16(static_cast<unsigned>(numbers.size()));
    for (const auto& [number, offset] : numbers) ctxomap.U32(number).U32(offset);

    std::vector<BTreeEntry> titles;  // topic offsets grow with the topics' order
    for (std::size_t i = 0; i < project.topics.size(); ++i)
        titles.push_back(BTreeEntry{Long(topic.offsets[i]), Long(topic.offsets[i]) + project.topics[i].title + '\0'});

    std::map<std::string, std::vector<std::uint32_t>, decltype(&KeywordLess)> keywords(&KeywordLess);
    for (std::size_t i = 0; i < project.topics.size(); ++i)
        for (const std::string& k : project.topics[i].keywords) keywords[k].push_back(topic.offsets[i]);
    std::vector<BTreeEntry> kwEntries;
    Bytes kwdata;
    for (auto& [keyword, offsets] : keywords) {
        std::sort(offsets.begin(), offsets.end());
        const std::uint32_t at = static_cast<std::uint32_t>(kwdata.Size());
        for (std::uint32_t o : offsets) kwdata.U32(o);
        kwEntries.push_back(BTreeEntry{keyword + '\0', Bytes().Sz(keyword).U16(static_cast<unsigned>(offsets.size())).U32(at).Str()});
    }

    std::vector<std::pair<std::string, std::string>> files{
        {"|SYSTEM", BuildSystem(project, topic.offsets[project.contents], genDate)},
        {"|TOPIC", topic.data},
        {"|FONT", BuildFont(project)},
        {"|CONTEXT", BuildBTree(context, 2048, 0x0002, "L4")},
        {"|CTXOMAP", ctxomap.Str()},
        {"|TTLBTREE", BuildBTree(titles, 2048, 0x0002, "Lz")},
    };
    if (!kwEntries.empty()) {
        std::vector<LeafPage> leaves;
        files.push_back({"|KWBTREE", BuildBTree(kwEntries, 2048, 0x0002, "F24", &leaves)});
        files.push_back({"|KWDATA", kwdata.Str()});
        Bytes kwmap;
        kwmap.U16(static_cast<unsigned>(leaves.size()));
        for (const LeafPage& l : leaves) kwmap.U32(static_cast<std::uint32_t>(l.firstEntry)).U16(l.page);
        files.push_back({"|KWMAP", kwmap.Str()});
    }

    // The internal files follow the 16-byte header; the directory comes last.
    Bytes hlp;
    hlp.U32(0x00035F3F).U32(0).U32(kNone).U32(0);
    std::vector<BTreeEntry> directory;
    for (const auto& [name, data] : files) {
        directory.push_back(BTreeEntry{name + '\0', name + '\0' + Long(static_cast<std::uint32_t>(hlp.Size()))});
        hlp.U32(static_cast<std::uint32_t>(data.size() + 9)).U32(static_cast<std::uint32_t>(data.size())).U8(4).Raw(data);
    }
    std::sort(directory.begin(), directory.end(), [](const BTreeEntry& a, const BTreeEntry& b) { return a.key < b.key; });
    const std::string dir = BuildBTree(directory, 1024, 0x0402, "z4");
    const std::uint32_t dirStart = static_cast<std::uint32_t>(hlp.Size());
    hlp.U32(static_cast<std::uint32_t>(dir.size() + 9)).U32(static_cast<std::uint32_t>(dir.size())).U8(4).Raw(dir);
    hlp.Put32At(4, dirStart);
    hlp.Put32At(12, static_cast<std::uint32_t>(hlp.Size()));

    Bytes cnt;
    cnt.Raw(":Base " + project.helpFile + "\r\n").Raw(":Title " + project.title + "\r\n");
    for (const TocEntry& e : project.toc) {
        cnt.Raw(std::to_string(e.level) + " " + e.text);
        if (e.topic >= 0) cnt.Raw("=" + project.topics[e.topic].id);
        cnt.Raw("\r\n");
    }
    return HelpOutput{hlp.Str(), cnt.Str()};
}

}  // namespace helpc
