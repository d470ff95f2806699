#include "project/FormDescription.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "system/Text.h"

namespace {

// Deep enough for any window; guards the recursive reader against a stack
// overflow on hostile text.
const int kMaxDepth = 200;

bool IsLetter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(int c) { return c >= '0' && c <= '9'; }
bool IsIdentChar(int c) { return IsLetter(c) || IsDigit(c); }
bool IsBlank(int c) { return c == ' ' || c == '\t'; }
bool IsStringStart(int c) { return c == '\'' || c == '#'; }

// Characters that can begin something of the format; anything else is an
// unknown token wherever a token is expected.
bool CanStartToken(int c) {
    if (IsIdentChar(c) || IsStringStart(c)) {
        return true;
    }
    for (const char* p = "()=:.+-"; *p != '\0'; ++p) {
        if (c == *p) {
            return true;
        }
    }
    return false;
}

class Parser {
public:
    explicit Parser(const std::string& text) : text_(text) {}

    TStoredObject Run() {
        SkipBlankLines();
        const std::size_t start = pos_;
        if (!IsLetter(Peek())) {
            FailExpected("expected 'object'");
        }
        const std::string word = ReadName(false);
        if (SameIgnoringCase(word, "end")) {
            Fail(start, "'end' without an object");
        }
        if (!SameIgnoringCase(word, "object")) {
            Fail(start, "expected 'object'");
        }
        TStoredObject root = ParseObject(start, 1);
        SkipBlankLines();
        if (Peek() != -1) {
            Fail(pos_, "text after the root object");
        }
        return root;
    }

private:
    const std::string& text_;
    std::size_t pos_ = 0;
    int line_ = 1;
    std::size_t lineStart_ = 0;

    int Peek(std::size_t ahead = 0) const {
        const std::size_t at = pos_ + ahead;
        return at < text_.size() ? static_cast<unsigned char>(text_[at]) : -1;
    }

    int Column(std::size_t at) const { return static_cast<int>(at - lineStart_) + 1; }

    // Every error is found on the line being read, so only the column varies.
    [[noreturn]] void Fail(std::size_t at, const char* what) const {
        RaiseDescriptionError(line_, Column(at), what);
    }

    [[noreturn]] void FailExpected(const char* what) const {
        const int c = Peek();
        if (!AtLineEnd() && !IsBlank(c) && !CanStartToken(c)) {
            Fail(pos_, "unknown token");
        }
        Fail(pos_, what);
    }

    bool AtLineEnd() const {
        const int c = Peek();
        return c == -1 || c == '\n' || (c == '\r' && Peek(1) == '\n');
    }

    void SkipBlanks() {
        while (IsBlank(Peek())) {
            ++pos_;
        }
    }

    void NextLine() {
        if (Peek() == '\r') {
            ++pos_;
        }
        if (Peek() == '\n') {
            ++pos_;
            ++line_;
            lineStart_ = pos_;
        }
    }

    void SkipBlankLines() {
        for (;;) {
            SkipBlanks();
            if (Peek() == -1 || !AtLineEnd()) {
                return;
            }
            NextLine();
        }
    }

    void ExpectLineEnd(const char* what) {
        SkipBlanks();
        if (!AtLineEnd()) {
            Fail(pos_, what);
        }
        NextLine();
    }

    // The caller has seen a letter.
    std::string ReadName(bool dotted) {
        const std::size_t start = pos_;
        for (;;) {
            while (IsIdentChar(Peek())) {
                ++pos_;
            }
            if (!dotted || Peek() != '.') {
                break;
            }
            ++pos_;
            if (!IsLetter(Peek())) {
                FailExpected("expected identifier");
            }
        }
        return text_.substr(start, pos_ - start);
    }

    std::string ReadIdentifier() {
        SkipBlanks();
        if (!IsLetter(Peek())) {
            FailExpected("expected identifier");
        }
        return ReadName(false);
    }

    TStoredObject ParseObject(std::size_t start, int depth) {
        if (depth > kMaxDepth) {
            Fail(start, "objects nested too deeply");
        }
        TStoredObject object;
        object.line = line_;
        object.column = Column(start);
        object.name = ReadIdentifier();
        SkipBlanks();
        if (Peek() != ':') {
            FailExpected("expected ':'");
        }
        ++pos_;
        object.className = ReadIdentifier();
        ExpectLineEnd("expected end of line");
        for (;;) {
            SkipBlankLines();
            if (Peek() == -1) {
                Fail(pos_, "missing end");
            }
            const std::size_t at = pos_;
            if (!IsLetter(Peek())) {
                FailExpected("expected identifier");
            }
            std::string name = ReadName(true);
            if (SameIgnoringCase(name, "end")) {
                ExpectLineEnd("expected end of line");
                return object;
            }
            if (SameIgnoringCase(name, "object")) {
                object.children.push_back(ParseObject(at, depth + 1));
                continue;
            }
            if (!object.children.empty()) {
                Fail(at, "property after a child object");
            }
            object.properties.push_back(ParseProperty(std::move(name), at));
        }
    }

    TStoredProperty ParseProperty(std::string name, std::size_t start) {
        TStoredProperty property;
        property.name = std::move(name);
        property.line = line_;
        property.column = Column(start);
        SkipBlanks();
        if (Peek() != '=') {
            FailExpected("expected '='");
        }
        ++pos_;
        SkipBlanks();
        property.value = ParseValue();
        return property;
    }

    TStoredValue ParseValue() {
        TStoredValue value;
        value.line = line_;
        value.column = Column(pos_);
        const int c = Peek();
        if (IsLetter(c)) {
            value.kind = TStoredValue::Identifier;
            value.text = ReadName(false);
        } else if (IsDigit(c) || (c == '-' && IsDigit(Peek(1)))) {
            value.kind = TStoredValue::Integer;
            value.number = ReadNumber();
        } else if (IsStringStart(c)) {
            value.kind = TStoredValue::String;
            ReadString(value.text);
            ReadContinuations(value.text);
        } else if (c == '(') {
            value.kind = TStoredValue::Strings;
            ++pos_;
            ReadListItems(value.lines);
        } else {
            FailExpected("expected value");
        }
        ExpectLineEnd("garbage after a value");
        return value;
    }

    std::int32_t ReadNumber() {
        const std::size_t start = pos_;
        std::int32_t number = 0;
        bool outOfRange = false;
        pos_ += ReadDecimalPrefix(std::string_view(text_).substr(pos_), number, outOfRange);
        if (outOfRange) {
            Fail(start, "number out of range");
        }
        return number;
    }

    // Quoted runs and #N codes, side by side with nothing between them.
    void ReadString(std::string& out) {
        do {
            const std::size_t start = pos_;
            ++pos_;
            if (text_[start] == '\'') {
                for (;;) {
                    const int c = Peek();
                    if (c == -1 || c == '\r' || c == '\n') {
                        Fail(start, "unterminated string");
                    }
                    ++pos_;
                    if (c == '\'') {
                        if (Peek() != '\'') {
                            break;
                        }
                        ++pos_;
                    }
                    out += static_cast<char>(c);
                }
            } else {
                unsigned char code = 0;
                bool outOfRange = false;
                const std::size_t length = ReadDecimalPrefix(std::string_view(text_).substr(pos_), code, outOfRange);
                if (length == 0 || outOfRange) {
                    Fail(start, "bad control code");
                }
                pos_ += length;
                out += static_cast<char>(code);
            }
        } while (IsStringStart(Peek()));
    }

    // " +" at the end of a line carries the string on to the next line.
    void ReadContinuations(std::string& out) {
        for (;;) {
            SkipBlanks();
            if (Peek() != '+') {
                return;
            }
            ++pos_;
            SkipBlanks();
            if (!AtLineEnd()) {
                Fail(pos_, "garbage after a value");
            }
            NextLine();
            SkipBlanks();
            if (!IsStringStart(Peek())) {
                FailExpected("expected a string after '+'");
            }
            ReadString(out);
        }
    }

    // After the opening parenthesis, up to and including the closing one.
    void ReadListItems(std::vector<std::string>& lines) {
        for (;;) {
            SkipBlanks();
            const int c = Peek();
            if (c == -1) {
                Fail(pos_, "missing ')'");
            }
            if (c == ')') {
                ++pos_;
                return;
            }
            if (AtLineEnd()) {
                NextLine();
            } else if (IsStringStart(c)) {
                lines.emplace_back();
                ReadString(lines.back());
            } else {
                FailExpected("expected a string or ')'");
            }
        }
    }
};

void WriteString(std::string& out, const std::string& bytes) {
    if (bytes.empty()) {
        out += "''";
        return;
    }
    bool quoted = false;
    for (const char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20) {
            if (quoted) {
                out += '\'';
                quoted = false;
            }
            out += '#';
            out += DecimalText(c);
        } else {
            if (!quoted) {
                out += '\'';
                quoted = true;
            }
            out += ch;
            if (ch == '\'') {
                out += ch;
            }
        }
    }
    if (quoted) {
        out += '\'';
    }
}

void WriteValue(std::string& out, const TStoredValue& value, const std::string& indent) {
    switch (value.kind) {
    case TStoredValue::Identifier:
        out += value.text;
        break;
    case TStoredValue::Integer:
        out += DecimalText(value.number);
        break;
    case TStoredValue::String:
        WriteString(out, value.text);
        break;
    case TStoredValue::Strings:
        out += '(';
        for (const std::string& line : value.lines) {
            out += "\r\n";
            out += indent;
            out += "  ";
            WriteString(out, line);
        }
        out += ')';
        break;
    }
}

void WriteObject(std::string& out, const TStoredObject& object, const std::string& indent) {
    out += indent + "object " + object.name + ": " + object.className + "\r\n";
    const std::string inner = indent + "  ";
    for (const TStoredProperty& property : object.properties) {
        out += inner + property.name + " = ";
        WriteValue(out, property.value, inner);
        out += "\r\n";
    }
    for (const TStoredObject& child : object.children) {
        WriteObject(out, child, inner);
    }
    out += indent + "end\r\n";
}

}  // namespace

TStoredObject ParseDescription(const std::string& text) { return Parser(text).Run(); }

std::string FormatDescription(const TStoredObject& root) {
    std::string out;
    WriteObject(out, root, "");
    return out;
}

void RaiseDescriptionError(int line, int column, const std::string& what) {
    throw EDescriptionError("line " + DecimalText(line) + ", column " + DecimalText(column) +
                            ": " + what);
}

const char* KindName(TStoredValue::Kind kind) {
    switch (kind) {
    case TStoredValue::Identifier:
        return "identifier";
    case TStoredValue::String:
        return "string";
    case TStoredValue::Integer:
        return "integer";
    case TStoredValue::Strings:
        return "list";
    }
    return "value";
}
