#include "HelpSource.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <sstream>

#include "Cp932.h"
#include "system/Text.h"

namespace helpc {

SourceError::SourceError(const std::string& file, int line, const std::string& message)
    : std::runtime_error(file + ":" + std::to_string(line) + ": " + message), file_(file), line_(line) {}

std::uint32_t ContextHash(const std::string& id) {
    std::uint32_t hash = 0;
    for (unsigned char c : id) {
        std::uint32_t x = 0;
        if (c >= 'A' && c <= 'Z') x = c - 'A' + 17;
        else if (c >= 'a' && c <= 'z') x = c - 'a' + 17;
        else if (c >= '1' && c <= '9') x = c - '0';
        else if (c == '0') x = 10;
        else if (c == '.') x = 12;
        else if (c == '_') x = 13;
        hash = hash * 43 + x;
    }
    return hash;
}

namespace {

// Limits of the viewer's own structures.
const std::size_t kMaxTitle = 127;
const std::size_t kMaxKeyword = 255;
const std::size_t kMaxId = 255;

bool IsIdChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
}

bool IsId(const std::string& s) {
    return !s.empty() && s.size() <= kMaxId && std::all_of(s.begin(), s.end(), IsIdChar);
}

std::string Trim(const std::string& s) {
    const std::size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return std::string();
    const std::size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// Splits "@word rest" into word and trimmed rest.
void SplitDirective(const std::string& line, std::string& word, std::string& rest) {
    const std::size_t space = line.find(' ');
    word = line.substr(1, space == std::string::npos ? std::string::npos : space - 1);
    rest = space == std::string::npos ? std::string() : Trim(line.substr(space));
}

std::vector<std::string> Words(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

bool ParseNumber(const std::string& s, std::uint32_t& value) {
    std::uint32_t v = 0;
    if (!ReadDecimal(s, v) || v > 0x7FFFFFFFu) return false;
    value = v;
    return true;
}

// One source file cut into lines, each checked for UTF-8 and code page 932.
struct SourceFile {
    std::string name;
    std::vector<std::string> lines;
};

SourceFile ReadLines(const std::string& name, const std::string& content) {
    SourceFile file{name, {}};
    std::string text = content;
    if (StartsWith(text, "\xEF\xBB\xBF")) text.erase(0, 3);
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const int number = static_cast<int>(file.lines.size()) + 1;
        std::string converted;
        switch (Utf8ToCp932(line, converted)) {
        case Conversion::NotUtf8:
            throw SourceError(name, number, "text is not valid UTF-8");
        case Conversion::Not932:
            throw SourceError(name, number, "text holds a character that code page 932 lacks");
        case Conversion::Ok:
            break;
        }
        if (line.find('\t') != std::string::npos)
            throw SourceError(name, number, "tab character (indent with spaces)");
        for (unsigned char c : line)
            if (c < 0x20) throw SourceError(name, number, "control character in the text");
        file.lines.push_back(line);
        if (end == text.size()) break;
        at = end + 1;
    }
    while (!file.lines.empty() && file.lines.back().empty()) file.lines.pop_back();
    return file;
}

std::string To932(const std::string& utf8) {
    std::string out;
    Utf8ToCp932(utf8, out);  // every line was checked when it was read
    return out;
}

// --- inline markup ------------------------------------------------------

struct Piece {  // a run before conversion and resolution
    std::string text;
    RunStyle style = RunStyle::Normal;
    std::string jumpId;
    bool jump = false;
};

class InlineParser {
public:
    InlineParser(const std::string& file, int line) : file_(file), line_(line) {}

    std::vector<Piece> Parse(const std::string& text) {
        std::vector<Piece> pieces;
        std::string plain;
        auto flush = [&] {
            if (!plain.empty()) pieces.push_back(Piece{plain, RunStyle::Normal, "", false});
            plain.clear();
        };
        std::size_t i = 0;
        while (i < text.size()) {
            if (text[i] == '\\') {
                plain += Escape(text, i);
                i += 2;
            } else if (text.compare(i, 2, "**") == 0) {
                flush();
                const std::size_t end = text.find("**", i + 2);
                if (end == std::string::npos) Fail("** without a closing **");
                const std::string inner = Plain(text.substr(i + 2, end - i - 2), "bold text", false);
                if (inner.empty()) Fail("empty bold text");
                pieces.push_back(Piece{inner, RunStyle::Bold, "", false});
                i = end + 2;
            } else if (text[i] == '`') {
                flush();
                const std::size_t end = text.find('`', i + 1);
                if (end == std::string::npos) Fail("` without a closing `");
                if (end == i + 1) Fail("empty `` code");
                pieces.push_back(Piece{text.substr(i + 1, end - i - 1), RunStyle::Code, "", false});
                i = end + 1;
            } else if (text.compare(i, 2, "[[") == 0) {
                flush();
                const std::size_t end = text.find("]]", i + 2);
                if (end == std::string::npos) Fail("[[ without a closing ]]");
                const std::string inner = text.substr(i + 2, end - i - 2);
                const std::size_t bar = inner.find('|');
                const std::string id = inner.substr(0, bar);
                if (!IsId(id)) Fail("jump target \"" + id + "\" is not a context id ([A-Za-z0-9_.])");
                std::string shown;
                if (bar != std::string::npos) {
                    shown = Plain(inner.substr(bar + 1), "jump text", true);
                    if (shown.empty()) Fail("empty jump text after |");
                }
                pieces.push_back(Piece{shown, RunStyle::Normal, id, true});
                i = end + 2;
            } else if (text.compare(i, 2, "]]") == 0) {
                Fail("]] without an opening [[");
            } else {
                plain += text[i++];
            }
        }
        flush();
        return pieces;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const { throw SourceError(file_, line_, what); }

    std::string Escape(const std::string& text, std::size_t at) const {
        if (at + 1 >= text.size()) Fail("\\ at the end of the line");
        const char c = text[at + 1];
        if (c < 0x21 || c > 0x7E || std::isalnum(static_cast<unsigned char>(c)))
            Fail(std::string("unknown escape \\") + c);
        return std::string(1, c);
    }

    // Text that may hold escapes but no other markup (in jump text not even |).
    std::string Plain(const std::string& text, const char* what, bool jump) const {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\\') {
                out += Escape(text, i);
                ++i;
            } else if (text.compare(i, 2, "**") == 0 || text.compare(i, 2, "[[") == 0 ||
                       text.compare(i, 2, "]]") == 0 || text[i] == '`' || (jump && text[i] == '|')) {
                Fail(std::string("markup inside ") + what);
            } else {
                out += text[i];
            }
        }
        return out;
    }

    std::string file_;
    int line_;
};

bool IsAscii(unsigned char c) { return c < 0x80; }

// --- topic files -------------------------------------------------------

struct PendingJump {
    std::size_t topic, paragraph, run;
    std::string file;
    int line;
};

class TopicParser {
public:
    TopicParser(HelpProject& project, std::vector<PendingJump>& jumps) : project_(project), jumps_(jumps) {}

    void Parse(const SourceFile& file) {
        file_ = &file;
        topic_ = nullptr;
        for (std::size_t n = 0; n < file.lines.size(); ++n) Line(file.lines[n], static_cast<int>(n) + 1);
        EndParagraph();
        EndTopic();
    }

private:
    [[noreturn]] void Fail(int line, const std::string& what) const { throw SourceError(file_->name, line, what); }

    void Line(const std::string& raw, int line) {
        if (StartsWith(raw, "//")) return;
        if (StartsWith(raw, "    ") && !Trim(raw).empty()) {
            NeedText(line);
            if (!paragraph_ || paragraph_->kind != ParagraphKind::Code) {
                EndParagraph();
                Begin(ParagraphKind::Code, line);
            } else {
                codeLines_.push_back("");
            }
            codeLines_.back() = raw.substr(4);
            while (!codeLines_.back().empty() && codeLines_.back().back() == ' ') codeLines_.back().pop_back();
            return;
        }
        const std::string text = Trim(raw);
        if (text.empty()) {
            EndParagraph();
            return;
        }
        if (text[0] == '@') {
            Directive(text, line);
            return;
        }
        if (paragraph_ && paragraph_->kind == ParagraphKind::Code) EndParagraph();
        if (StartsWith(text, "## ") || text == "##") {
            EndParagraph();
            NeedText(line);
            if (Trim(text.substr(2)).empty()) Fail(line, "empty heading");
            Begin(ParagraphKind::Heading, line);
            Append(Trim(text.substr(2)), line);
            EndParagraph();
        } else if (StartsWith(text, "- ")) {
            EndParagraph();
            NeedText(line);
            Begin(ParagraphKind::Bullet, line);
            Append(Trim(text.substr(2)), line);
        } else if (IsStep(text)) {
            EndParagraph();
            NeedText(line);
            Begin(ParagraphKind::Step, line);
            Append(text, line);
        } else if (text[0] == '#') {
            Fail(line, "unknown markup \"" + text.substr(0, text.find(' ')) + "\" (headings are \"## \")");
        } else {
            NeedText(line);
            if (!paragraph_) Begin(ParagraphKind::Normal, line);
            Append(text, line);
        }
    }

    static bool IsStep(const std::string& text) {
        std::size_t i = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
        return i > 0 && i + 1 < text.size() && text[i] == '.' && text[i + 1] == ' ';
    }

    void Directive(const std::string& text, int line) {
        std::string word, rest;
        SplitDirective(text, word, rest);
        EndParagraph();
        if (word == "topic") {
            EndTopic();
            const std::vector<std::string> w = Words(rest);
            if (w.empty() || w.size() > 2) Fail(line, "@topic takes a context id and an optional context number");
            if (!IsId(w[0])) Fail(line, "\"" + w[0] + "\" is not a context id ([A-Za-z0-9_.], at most 255)");
            Topic t;
            t.id = w[0];
            if (w.size() == 2) {
                if (!ParseNumber(w[1], t.number)) Fail(line, "\"" + w[1] + "\" is not a context number");
                t.hasNumber = true;
            }
            t.file = file_->name;
            t.line = line;
            project_.topics.push_back(t);
            topic_ = &project_.topics.back();
            hasTitle_ = false;
        } else if (word == "title") {
            if (!topic_) Fail(line, "@title outside a topic");
            if (hasTitle_) Fail(line, "second @title in topic " + topic_->id);
            if (!topic_->paragraphs.empty()) Fail(line, "@title after the topic's text");
            if (rest.empty()) Fail(line, "empty @title");
            topic_->title = To932(rest);
            if (topic_->title.size() > kMaxTitle) Fail(line, "title longer than 127 bytes");
            hasTitle_ = true;
        } else if (word == "keywords") {
            if (!topic_) Fail(line, "@keywords outside a topic");
            std::size_t at = 0;
            while (at <= rest.size()) {
                std::size_t end = rest.find(';', at);
                if (end == std::string::npos) end = rest.size();
                const std::string k = Trim(rest.substr(at, end - at));
                if (k.empty()) Fail(line, "empty keyword");
                const std::string k932 = To932(k);
                if (k932.size() > kMaxKeyword) Fail(line, "keyword longer than 255 bytes");
                if (std::find(topic_->keywords.begin(), topic_->keywords.end(), k932) != topic_->keywords.end())
                    Fail(line, "keyword \"" + k + "\" given twice");
                topic_->keywords.push_back(k932);
                at = end + 1;
            }
        } else {
            Fail(line, "unknown directive @" + word);
        }
    }

    void NeedText(int line) {
        if (!topic_) Fail(line, "text before the first @topic");
        if (!hasTitle_) Fail(line, "text before the @title of topic " + topic_->id);
    }

    void Begin(ParagraphKind kind, int line) {
        topic_->paragraphs.push_back(Paragraph{kind, {}, line});
        paragraph_ = &topic_->paragraphs.back();
        codeLines_.assign(1, std::string());
    }

    // Adds one line of inline markup to the open paragraph; lines are
    // joined with a space only between two ASCII characters.
    void Append(const std::string& text, int line) {
        std::vector<Piece> pieces = InlineParser(file_->name, line).Parse(text);
        if (!pieces.empty() && !lastText_.empty() && IsAscii(lastText_.back()) && lastText_.back() != ' ' &&
            !pieces.front().text.empty() && IsAscii(pieces.front().text.front())) {
            Add(Piece{" ", RunStyle::Normal, "", false}, line);
        }
        for (const Piece& p : pieces) Add(p, line);
    }

    void Add(const Piece& p, int line) {
        Run run;
        run.text = To932(p.text);
        run.style = p.style;
        if (p.jump) {
            run.jumpId = p.jumpId;
            jumps_.push_back(PendingJump{static_cast<std::size_t>(topic_ - project_.topics.data()),
                                         topic_->paragraphs.size() - 1, paragraph_->runs.size(), file_->name, line});
        } else if (!paragraph_->runs.empty() && paragraph_->runs.back().jumpId.empty() &&
                   paragraph_->runs.back().style == run.style) {
            paragraph_->runs.back().text += run.text;
            lastText_ = p.text;
            return;
        }
        paragraph_->runs.push_back(run);
        lastText_ = p.text.empty() ? "x" : p.text;
    }

    void EndParagraph() {
        if (paragraph_ && paragraph_->kind == ParagraphKind::Code) {
            Run run;
            run.style = RunStyle::Code;
            for (std::size_t i = 0; i < codeLines_.size(); ++i) run.text += (i ? "\n" : "") + To932(codeLines_[i]);
            paragraph_->runs.push_back(run);
        }
        paragraph_ = nullptr;
        lastText_.clear();
    }

    void EndTopic() {
        if (topic_ && !hasTitle_) throw SourceError(topic_->file, topic_->line, "topic " + topic_->id + " has no @title");
        topic_ = nullptr;
    }

    HelpProject& project_;
    std::vector<PendingJump>& jumps_;
    const SourceFile* file_ = nullptr;
    Topic* topic_ = nullptr;
    Paragraph* paragraph_ = nullptr;
    bool hasTitle_ = false;
    std::string lastText_;
    std::vector<std::string> codeLines_;
};

// --- the project file and the checks of the whole ------------------------

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

struct ProjectLines {
    std::vector<std::pair<std::string, int>> topicFiles;
    std::string contentsId;
    int contentsLine = 0;
    std::vector<std::pair<std::string, int>> tocIds;  // per toc entry, "" for headings
};

ProjectLines ParseProjectFile(const SourceFile& file, HelpProject& project) {
    ProjectLines out;
    auto fail = [&](int line, const std::string& what) -> void { throw SourceError(file.name, line, what); };
    auto once = [&](std::string& field, const std::string& value, const char* name, int line) {
        if (!field.empty()) fail(line, std::string("second @") + name);
        if (value.empty()) fail(line, std::string("empty @") + name);
        field = value;
    };
    for (std::size_t n = 0; n < file.lines.size(); ++n) {
        const int line = static_cast<int>(n) + 1;
        const std::string text = Trim(file.lines[n]);
        if (text.empty() || StartsWith(text, "//")) continue;
        if (text[0] != '@') fail(line, "unknown line in the project file (directives begin with @)");
        std::string word, rest;
        SplitDirective(text, word, rest);
        if (word == "title") {
            once(project.title, To932(rest), "title", line);
        } else if (word == "copyright") {
            once(project.copyright, To932(rest), "copyright", line);
        } else if (word == "helpfile") {
            once(project.helpFile, rest, "helpfile", line);
        } else if (word == "contentsfile") {
            once(project.contentsFile, rest, "contentsfile", line);
        } else if (word == "font") {
            once(project.font, To932(rest), "font", line);
        } else if (word == "codefont") {
            once(project.codeFont, To932(rest), "codefont", line);
        } else if (word == "contents") {
            if (!out.contentsId.empty()) fail(line, "second @contents");
            if (!IsId(rest)) fail(line, "@contents takes a context id");
            out.contentsId = rest;
            out.contentsLine = line;
        } else if (word == "topics") {
            const std::vector<std::string> names = Words(rest);
            if (names.empty()) fail(line, "@topics names no file");
            for (const std::string& name : names) out.topicFiles.push_back({name, line});
        } else if (word == "toc") {
            const std::vector<std::string> w = Words(rest);
            std::uint32_t level = 0;
            if (w.empty() || !ParseNumber(w[0], level) || level < 1 || level > 9)
                fail(line, "@toc takes a level from 1 to 9 first");
            const int previous = project.toc.empty() ? 0 : project.toc.back().level;
            if (static_cast<int>(level) > previous + 1) fail(line, "@toc level skips a level");
            std::string body = Trim(rest.substr(w[0].size()));
            TocEntry entry;
            entry.level = static_cast<int>(level);
            entry.line = line;
            std::string id;
            const std::size_t arrow = body.rfind("->");
            if (arrow != std::string::npos) {
                id = Trim(body.substr(arrow + 2));
                if (!IsId(id)) fail(line, "\"" + id + "\" after -> is not a context id");
                body = Trim(body.substr(0, arrow));
            } else if (body.empty()) {
                fail(line, "a @toc heading needs its text");
            }
            if (body.find('=') != std::string::npos) fail(line, "= in a @toc text");
            entry.text = To932(body);
            project.toc.push_back(entry);
            out.tocIds.push_back({id, line});
        } else {
            fail(line, "unknown directive @" + word);
        }
    }
    const int end = static_cast<int>(file.lines.size());
    if (project.title.empty()) fail(end, "the project has no @title");
    if (project.helpFile.empty()) fail(end, "the project has no @helpfile");
    if (project.contentsFile.empty()) fail(end, "the project has no @contentsfile");
    if (project.font.empty()) fail(end, "the project has no @font");
    if (project.codeFont.empty()) project.codeFont = project.font;
    if (out.contentsId.empty()) fail(end, "the project has no @contents");
    if (out.topicFiles.empty()) fail(end, "the project has no @topics");
    return out;
}

void CheckWhole(HelpProject& project, const ProjectLines& lines) {
    std::map<std::string, std::size_t> byId;
    std::map<std::uint32_t, std::size_t> byHash, byNumber;
    for (std::size_t i = 0; i < project.topics.size(); ++i) {
        const Topic& t = project.topics[i];
        if (byId.count(t.id))
            throw SourceError(t.file, t.line, "context id " + t.id + " is used again (first at " +
                                                  project.topics[byId[t.id]].file + ":" +
                                                  std::to_string(project.topics[byId[t.id]].line) + ")");
        const std::uint32_t hash = ContextHash(t.id);
        if (byHash.count(hash) || hash == 0) {
            const std::string other = hash == 0 ? std::string("the contents hash 0") : project.topics[byHash[hash]].id;
            throw SourceError(t.file, t.line, "context id " + t.id + " has the same hash as " + other);
        }
        if (t.hasNumber && byNumber.count(t.number)) {
            const Topic& first = project.topics[byNumber[t.number]];
            throw SourceError(t.file, t.line, "context number " + std::to_string(t.number) + " is used again (first by " +
                                                  first.id + " at " + first.file + ":" + std::to_string(first.line) + ")");
        }
        byId[t.id] = i;
        byHash[hash] = i;
        if (t.hasNumber) byNumber[t.number] = i;
    }
    auto find = [&](const std::string& id) -> int {
        auto it = byId.find(id);
        return it == byId.end() ? -1 : static_cast<int>(it->second);
    };
    project.contents = find(lines.contentsId);
    if (project.contents < 0)
        throw SourceError(project.file, lines.contentsLine, "@contents names no topic: " + lines.contentsId);
    for (std::size_t i = 0; i < project.toc.size(); ++i) {
        const std::string& id = lines.tocIds[i].first;
        if (id.empty()) continue;
        const int target = find(id);
        if (target < 0) throw SourceError(project.file, lines.tocIds[i].second, "@toc names no topic: " + id);
        project.toc[i].topic = target;
        if (project.toc[i].text.empty()) project.toc[i].text = project.topics[target].title;
    }
    // Every topic must be reachable by jumps from the contents topic.
    std::vector<bool> seen(project.topics.size(), false);
    std::vector<int> queue{project.contents};
    seen[project.contents] = true;
    while (!queue.empty()) {
        const int t = queue.back();
        queue.pop_back();
        for (const Paragraph& p : project.topics[t].paragraphs)
            for (const Run& r : p.runs)
                if (r.jump >= 0 && !seen[r.jump]) {
                    seen[r.jump] = true;
                    queue.push_back(r.jump);
                }
    }
    for (std::size_t i = 0; i < project.topics.size(); ++i)
        if (!seen[i])
            throw SourceError(project.topics[i].file, project.topics[i].line,
                              "topic " + project.topics[i].id + " cannot be reached by jumps from the contents topic");
}

}  // namespace

HelpProject ParseProject(const std::string& projectName, const ReadSource& read) {
    HelpProject project;
    project.file = projectName;
    std::string content;
    if (!read(projectName, content)) throw SourceError(projectName, 0, "cannot read the project file");
    const SourceFile projectFile = ReadLines(projectName, content);
    const ProjectLines lines = ParseProjectFile(projectFile, project);

    // Topics are kept by address while parsing: reserve generously, then
    // parse every file.
    std::vector<SourceFile> files;
    std::size_t lineCount = 0;
    for (const auto& [name, line] : lines.topicFiles) {
        const std::string path = FolderOf(projectName) + name;
        for (const SourceFile& f : files)
            if (f.name == path) throw SourceError(projectName, line, "topic file " + name + " is named twice");
        std::string text;
        if (!read(path, text)) throw SourceError(projectName, line, "cannot read topic file " + path);
        files.push_back(ReadLines(path, text));
        lineCount += files.back().lines.size();
    }
    project.topics.reserve(lineCount + 1);
    std::vector<PendingJump> jumps;
    TopicParser parser(project, jumps);
    for (const SourceFile& f : files) parser.Parse(f);
    if (project.topics.empty()) throw SourceError(projectName, 0, "the topic files hold no @topic");

    std::map<std::string, int> byId;
    for (std::size_t i = 0; i < project.topics.size(); ++i) byId.emplace(project.topics[i].id, static_cast<int>(i));
    for (const PendingJump& j : jumps) {
        Run& run = project.topics[j.topic].paragraphs[j.paragraph].runs[j.run];
        auto it = byId.find(run.jumpId);
        if (it == byId.end()) throw SourceError(j.file, j.line, "jump to a topic that does not exist: " + run.jumpId);
        run.jump = it->second;
        if (run.text.empty()) run.text = project.topics[run.jump].title;
    }
    CheckWhole(project, lines);
    return project;
}

HelpProject LoadProject(const std::string& path) {
    return ParseProject(path, [](const std::string& name, std::string& content) {
        std::ifstream in(name, std::ios::binary);
        if (!in) return false;
        std::ostringstream all;
        all << in.rdbuf();
        content = all.str();
        return true;
    });
}

}  // namespace helpc
