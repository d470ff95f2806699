#pragma once
// Writes a parsed help project as a WinHelp 4.0 help file (the format of
// Windows 95/NT 4/2000's winhlp32, |SYSTEM minor version 33) and the text
// contents file that WinHelp 4 reads for the contents tab of its topic
// finder.
//
// Written from the public descriptions of the format (HELPFILE.TXT-style
// structure notes, Open Watcom's help compiler notes on |TOPIC, |FONT and
// |KWBTREE); the behaviour it relies on was checked against Wine's help
// viewer (winhlp32 of Wine 8.0, opening the file from quendro.exe's F1 and
// link label, and by context id) and against the structural reader of the
// tests (tests/help). Not tried with Microsoft's own winhlp32.
//
// What it writes:
//   the internal file system: 16-byte header, one FILEHEADER per internal
//     file, the directory as a B+ tree of 1 KiB pages ("z4");
//   |SYSTEM  title, copyright, contents topic, LCID 0x0411, charset 128
//     (Shift-JIS), the contents file's name, the default dialog font;
//   |FONT    face names (32 bytes each) and 11-byte descriptors: text, bold,
//     title and command-line fonts;
//   |TOPIC   uncompressed 4 KiB blocks (12-byte block header, 4084 bytes of
//     data); per topic a topic header record (0x02) and one paragraph
//     record (0x20) per paragraph, with font changes, line breaks,
//     paragraph ends and jumps (0xE3 ... 0x89) to topics of the same file;
//   |CONTEXT the hashed context ids ("L4"), sorted by signed hash;
//   |CTXOMAP the context numbers for HELP_CONTEXT;
//   |TTLBTREE the topic titles by topic offset ("Lz");
//   |KWBTREE, |KWDATA, |KWMAP the keyword index ("F24", keywords sorted with
//     ASCII letters compared without regard to case, then by byte).
// B+ trees are built bottom-up and have as many levels as they need.
//
// Choices where the descriptions leave room: a record never straddles two
// topic blocks (a block is left partly unused instead, and a paragraph that
// needs more than one block is refused); the last topic block is padded to
// its full 4 KiB; TopicLength is the size of the record's text part and
// TopicSize the size of its format part after those two fields; the unused
// "free bytes" word of each B+ tree page holds the page's unused bytes.
//
// Left out: LZ77 and phrase compression, pictures and hotspot bitmaps,
// macros (none in |SYSTEM, none in topics or hotspots), tables (0x23),
// non-scrolling regions, browse sequences, secondary windows, popups and
// jumps into other files, full-text search files (WinHelp builds them
// itself), |TOMAP and everything specific to Windows 3.0.
#include <cstdint>
#include <string>

#include "HelpSource.h"

namespace helpc {

struct HelpOutput {
    std::string hlp;  // the help file
    std::string cnt;  // the contents file, code page 932, CR LF lines
};

// genDate is the |SYSTEM time stamp (seconds since 1970); 0 keeps the
// output the same from build to build. Throws SourceError for a paragraph
// that does not fit one topic block.
HelpOutput WriteHelp(const HelpProject& project, std::uint32_t genDate = 0);

// The order of the keyword index.
bool KeywordLess(const std::string& a, const std::string& b);

}  // namespace helpc
