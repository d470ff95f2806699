#pragma once
// A structural reader of WinHelp 4.0 files, for the tests of the help
// compiler: it walks every page of every B+ tree and every record of
// |TOPIC, checks each structure against the others, and returns what a
// viewer would show. It reads uncompressed files without pictures, macros
// or tables (what the compiler writes) and refuses anything else.
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace hlp {

class FormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Font {
    unsigned attributes, halfPoints, family;
    std::string face;
};

struct Piece {
    std::string text;  // code page 932; a line break is '\n'
    int font = 0;
    int jump = -1;     // index into HelpFile::topics
};

struct Paragraph {
    std::vector<Piece> pieces;
    unsigned flags = 0;          // the paragraph flags word
    std::vector<int> values;     // the values of the spacing and indent flags
    std::string Text() const;
};

struct Topic {
    std::uint32_t offset = 0;  // topic offset, as |CONTEXT and the others use it
    std::uint32_t pos = 0;     // position of its header record
    std::string title;
    std::vector<Paragraph> paragraphs;
    std::vector<std::uint32_t> hashes;   // from |CONTEXT
    std::vector<std::uint32_t> numbers;  // from |CTXOMAP
    std::vector<std::string> keywords;   // from |KWBTREE and |KWDATA
};

struct Tree {
    unsigned pageSize = 0, pages = 0, levels = 0;
    std::uint32_t entries = 0;
};

struct HelpFile {
    std::string title, copyright, contentsFile, dialogFont;
    unsigned lcid = 0, charset = 0;
    int contents = -1;                  // the topic |SYSTEM names
    std::vector<std::string> files;     // internal files, directory order
    std::vector<Font> fonts;
    std::vector<Topic> topics;          // in |TOPIC order
    std::map<std::string, Tree> trees;  // by internal file name
    unsigned topicBlocks = 0;
    int TopicByHash(std::uint32_t hash) const;
    int TopicByNumber(std::uint32_t number) const;
};

// Throws FormatError naming the structure and what is wrong with it.
HelpFile ReadHelpFile(const std::string& bytes);

}  // namespace hlp
