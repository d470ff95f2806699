#pragma once
// The help source: a project file naming the topic files, the topic files
// in the markup described in help/README.md, and what they parse into.
// Every text of the model is already code page 932.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace helpc {

// A fault of the source, always with the file and line it was found at.
class SourceError : public std::runtime_error {
public:
    SourceError(const std::string& file, int line, const std::string& message);
    const std::string& File() const { return file_; }
    int Line() const { return line_; }

private:
    std::string file_;
    int line_;
};

enum class RunStyle { Normal, Bold, Code };

// A piece of a paragraph in one style; a jump is a run with a target topic.
struct Run {
    std::string text;
    RunStyle style = RunStyle::Normal;
    int jump = -1;          // index into HelpProject::topics, or -1
    std::string jumpId;     // the context id as written
};

enum class ParagraphKind { Normal, Heading, Bullet, Step, Code };

struct Paragraph {
    ParagraphKind kind = ParagraphKind::Normal;
    std::vector<Run> runs;
    int line = 0;  // where it begins
};

struct Topic {
    std::string id;          // context string, [A-Za-z0-9_.]
    bool hasNumber = false;  // context number for HELP_CONTEXT
    std::uint32_t number = 0;
    std::string title;
    std::vector<std::string> keywords;
    std::vector<Paragraph> paragraphs;
    std::string file;
    int line = 0;
};

// One line of the contents tab: a heading (topic -1) or a topic entry.
struct TocEntry {
    int level = 1;
    std::string text;
    int topic = -1;
    int line = 0;
};

struct HelpProject {
    std::string file;          // the project file
    std::string title;
    std::string copyright;
    std::string helpFile;      // the bare name the program looks for
    std::string contentsFile;  // the contents-tab file beside it
    std::string font;          // face of the text
    std::string codeFont;      // face of command lines
    int contents = -1;         // the contents topic
    std::vector<Topic> topics;
    std::vector<TocEntry> toc;
};

// Reads a named source file; false when it does not exist.
using ReadSource = std::function<bool(const std::string& name, std::string& content)>;

// Parses the project file `project` and the topic files it names (names as
// written, relative to the project's folder), resolves every jump and checks
// the whole: throws SourceError at the first fault.
HelpProject ParseProject(const std::string& project, const ReadSource& read);

// The same from the file system.
HelpProject LoadProject(const std::string& path);

// WinHelp's hash of a context string (the key of |CONTEXT).
std::uint32_t ContextHash(const std::string& id);

}  // namespace helpc
