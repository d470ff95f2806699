// The window description reader and writer on any text: either an error at a
// place inside the text, or a tree whose recorded places are where its parts
// begin, which the writer writes and the reader reads back identically, and
// whose written form is written again unchanged.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "project/FormDescription.h"
#include "system/Text.h"

namespace {

bool SameTree(const TStoredObject& a, const TStoredObject& b) {
    auto sameProperty = [](const TStoredProperty& p, const TStoredProperty& q) {
        return p.name == q.name && p.value.kind == q.value.kind && p.value.text == q.value.text &&
               p.value.number == q.value.number && p.value.lines == q.value.lines;
    };
    return a.name == b.name && a.className == b.className &&
           std::equal(a.properties.begin(), a.properties.end(), b.properties.begin(), b.properties.end(),
                      sameProperty) &&
           std::equal(a.children.begin(), a.children.end(), b.children.begin(), b.children.end(), SameTree);
}

// The text's lines as the reader counts them: each LF ends one.
class Lines {
public:
    explicit Lines(const std::string& text) : text_(text) {
        starts_.push_back(0);
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n') starts_.push_back(i + 1);
        }
    }
    bool Inside(int line, int column) const {
        if (line < 1 || static_cast<std::size_t>(line) > starts_.size() || column < 1) return false;
        const std::size_t start = starts_[static_cast<std::size_t>(line) - 1];
        const std::size_t end = static_cast<std::size_t>(line) < starts_.size() ? starts_[static_cast<std::size_t>(line)] - 1
                                                                                   : text_.size();
        return static_cast<std::size_t>(column) <= end - start + 1;
    }
    // The rest of the line from the place.
    std::string At(int line, int column) const {
        FUZZ_CHECK(Inside(line, column));
        const std::size_t from = starts_[static_cast<std::size_t>(line) - 1] + static_cast<std::size_t>(column) - 1;
        return text_.substr(from, text_.find('\n', from) - from);
    }

private:
    const std::string& text_;
    std::vector<std::size_t> starts_;
};

bool StartsWith(const std::string& text, const std::string& prefix, bool anyCase) {
    const std::string head = text.substr(0, prefix.size());
    return (anyCase ? LowerAscii(head) : head) == prefix;
}

void CheckPlaces(const Lines& lines, const TStoredObject& object) {
    FUZZ_CHECK(StartsWith(lines.At(object.line, object.column), "object", true));
    for (const TStoredProperty& property : object.properties) {
        FUZZ_CHECK(StartsWith(lines.At(property.line, property.column), property.name, false));
        const TStoredValue& value = property.value;
        const std::string at = lines.At(value.line, value.column);
        FUZZ_CHECK(!at.empty());
        switch (value.kind) {
        case TStoredValue::Identifier: FUZZ_CHECK(StartsWith(at, value.text, false)); break;
        case TStoredValue::Integer: FUZZ_CHECK(at[0] == '-' || (at[0] >= '0' && at[0] <= '9')); break;
        case TStoredValue::String: FUZZ_CHECK(at[0] == '\'' || at[0] == '#'); break;
        case TStoredValue::Strings: FUZZ_CHECK(at[0] == '('); break;
        }
    }
    for (const TStoredObject& child : object.children) CheckPlaces(lines, child);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    TStoredObject tree;
    try {
        tree = ParseDescription(text);
    } catch (const EDescriptionError& error) {
        int line = 0, column = 0;
        FUZZ_CHECK(std::sscanf(error.Message().c_str(), "line %d, column %d: ", &line, &column) == 2);
        FUZZ_CHECK(Lines(text).Inside(line, column));
        return 0;
    }
    CheckPlaces(Lines(text), tree);

    const std::string written = FormatDescription(tree);
    TStoredObject read;
    try {
        read = ParseDescription(written);
    } catch (const EDescriptionError& error) {
        std::fprintf(stderr, "written text refused: %s\n", error.Message().c_str());
        FUZZ_CHECK(false);
    }
    FUZZ_CHECK(SameTree(tree, read));
    CheckPlaces(Lines(written), read);
    FUZZ_CHECK(FormatDescription(read) == written);
    return 0;
}
