// The designer's text form of a window: reading, writing and their errors.
#include "project/FormDescription.h"
#include "system/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

// Content only: a tree built in code has no positions.
bool SameTree(const TStoredObject& a, const TStoredObject& b) {
    auto sameProperty = [](const TStoredProperty& p, const TStoredProperty& q) {
        return p.name == q.name && p.value.kind == q.value.kind && p.value.text == q.value.text &&
               p.value.number == q.value.number && p.value.lines == q.value.lines;
    };
    return a.name == b.name && a.className == b.className &&
           std::equal(a.properties.begin(), a.properties.end(), b.properties.begin(), b.properties.end(), sameProperty) &&
           std::equal(a.children.begin(), a.children.end(), b.children.begin(), b.children.end(), SameTree);
}

const char* const kCanonical[] = {
    "object frmMain: TfrmMain\r\n"
    "  object QUENDRO: TProject\r\n"
    "    AutoNaming = False\r\n"
    "    Build = 4\r\n"
    "    Log.Strings = (\r\n"
    "      '2001/09/24 13:04:31: Project started.'\r\n"
    "      'second line')\r\n"
    "    Version = '1.00'\r\n"
    "    Comment = 'a'#13#10'b'\r\n"
    "  end\r\n"
    "end\r\n",
    "object a: T\r\nend\r\n",
    "object a: T\r\n  X = -2147483648\r\n  Y = 2147483647\r\n  Z = 0\r\n  E = ''\r\nend\r\n",
    "object a: T\r\n  Q = ''''\r\n  R = 'it''s'#0\r\n  S = #9'x'#31#1\r\n  T = ' +'\r\nend\r\n",
    "object a: T\r\n  L = ()\r\n  M = (\r\n    ''\r\n    #13#10)\r\nend\r\n",
    "object a: T\r\n  object b: U\r\n    object c: V\r\n    end\r\n  end\r\n  object d: W\r\n  end\r\nend\r\n",
    "object a: T\r\n  J = 'ソ表''ソ'#13#10'表示'\r\n  K = '#1 ''(x)'''\r\nend\r\n",
};

TEST(FormDescriptionRoundTrip, CanonicalTextIsWrittenBackAsRead) {
    for (const char* text : kCanonical) {
        const TStoredObject tree = ParseDescription(text);
        const std::string written = FormatDescription(tree);
        EXPECT_EQ(text, written);
        EXPECT_TRUE(SameTree(tree, ParseDescription(written))) << text;
    }
}

TEST(FormDescriptionRoundTrip, OtherSpellingsReadAsTheCanonicalForm) {
    const std::pair<const char*, const char*> cases[] = {
        {"object a: T\n  X = 1\nend\n", "object a: T\r\n  X = 1\r\nend\r\n"},
        {"\n  \r\nOBJECT a : T \t\n\n\tX=1  \nEnd\n\n  \n", "object a: T\r\n  X = 1\r\nend\r\n"},
        {"object a:T\nX = 'a' +\n   'b'#13 +  \n#10'c'\nend", "object a: T\r\n  X = 'ab'#13#10'c'\r\nend\r\n"},
        {"object a: T\nL = ( 'x''y' 'z'#0\n\n  'w' )\nend\n",
         "object a: T\r\n  L = (\r\n    'x''y'\r\n    'z'#0\r\n    'w')\r\nend\r\n"},
        {"object a: T\nL = (\n)\nend\n", "object a: T\r\n  L = ()\r\nend\r\n"},
        {"object a: T\nX = #0065'b'#066'c'''#39\nend\n", "object a: T\r\n  X = 'AbBc'''''\r\nend\r\n"},
        {"object a: T\nX = 007\nY = -0\nZ = x1\nend\n",
         "object a: T\r\n  X = 7\r\n  Y = 0\r\n  Z = x1\r\nend\r\n"},
        {"object end: object\n  end.x = end\n  object object: END\n  END\nend\n",
         "object end: object\r\n  end.x = end\r\n  object object: END\r\n  end\r\nend\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.second, FormatDescription(ParseDescription(c.first))) << c.first;
    }
}

TEST(FormDescriptionRoundTrip, CodePage932TextIsKeptByteForByte) {
    const std::string japanese = "ソ表";
    ASSERT_EQ(std::string("\x83\x5C\x95\x5C"), japanese);  // both trail bytes are backslashes
    const std::string text = "object a: T\r\n  S = '" + japanese + "''" + japanese + "'\r\n"
                             "  L = (\r\n    '" + japanese + "')\r\nend\r\n";
    const TStoredObject tree = ParseDescription(text);
    ASSERT_EQ(2u, tree.properties.size());
    EXPECT_EQ(japanese + "'" + japanese, tree.properties[0].value.text);
    EXPECT_EQ(std::vector<std::string>{japanese}, tree.properties[1].value.lines);
    EXPECT_EQ(text, FormatDescription(tree));
}

TEST(FormDescriptionParse, RecordsWhereEachPartBegins) {
    const TStoredObject root = ParseDescription(
        "\nobject a: T\n\tX = 'p' +\n  'q'\n  L = (\n   'r')\n   object b: U\n     N = 5\n   end\nend\n");
    ASSERT_EQ(2u, root.properties.size());
    ASSERT_EQ(1u, root.children.size());
    const TStoredObject& b = root.children[0];
    ASSERT_EQ(1u, b.properties.size());
    const TStoredProperty& x = root.properties[0];
    const TStoredProperty& l = root.properties[1];
    const TStoredProperty& n = b.properties[0];
    const std::vector<int> positions = {
        root.line, root.column, x.line, x.column, x.value.line, x.value.column, l.line, l.column,
        l.value.line, l.value.column, b.line, b.column, n.line, n.column, n.value.line, n.value.column};
    EXPECT_EQ((std::vector<int>{2, 1, 3, 2, 3, 6, 5, 3, 5, 7, 7, 4, 8, 6, 8, 10}), positions);
}

std::string RandomName(std::mt19937& random) {
    static const char chars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789";
    std::string name(1, chars[random() % 53]);  // no leading digit
    for (std::size_t n = random() % 8; n > 0; --n) {
        name += chars[random() % 63];
    }
    return name;
}

bool IsKeyword(const std::string& name) { return SameIgnoringCase(name, "end") || SameIgnoringCase(name, "object"); }

// Every byte, with the ones the writer treats specially coming often.
std::string RandomBytes(std::mt19937& random) {
    static const char special[] = {'\'', '\'', '#', '+', ' ', '(', ')', '\0', '\r', '\n', '\x1F', '\x20'};
    std::string bytes;
    for (std::size_t n = random() % 12; n > 0; --n) {
        bytes += random() % 2 ? special[random() % sizeof special] : static_cast<char>(random() % 256);
    }
    return bytes;
}

TStoredObject RandomObject(std::mt19937& random, int depth) {
    TStoredObject object;
    object.name = RandomName(random);
    object.className = RandomName(random);
    for (std::size_t n = random() % 5; n > 0; --n) {
        TStoredProperty property;
        do {
            property.name = random() % 3 ? RandomName(random) : RandomName(random) + "." + RandomName(random);
        } while (IsKeyword(property.name));
        TStoredValue& value = property.value;
        value.kind = static_cast<TStoredValue::Kind>(random() % 4);
        if (value.kind == TStoredValue::Identifier) {
            value.text = RandomName(random);
        } else if (value.kind == TStoredValue::String) {
            value.text = RandomBytes(random);
        } else if (value.kind == TStoredValue::Integer) {
            value.number = static_cast<std::int32_t>(random());
        } else {
            value.lines.resize(random() % 4);
            for (std::string& line : value.lines) {
                line = RandomBytes(random);
            }
        }
        object.properties.push_back(property);
    }
    for (std::size_t n = depth < 3 ? random() % 3 : 0; n > 0; --n) {
        object.children.push_back(RandomObject(random, depth + 1));
    }
    return object;
}

TEST(FormDescriptionRoundTrip, RandomTreesReadBackUnchanged) {
    std::mt19937 random(20010924);
    for (int i = 0; i < 400; ++i) {
        const TStoredObject tree = RandomObject(random, 0);
        const std::string text = FormatDescription(tree);
        const TStoredObject read = ParseDescription(text);
        ASSERT_TRUE(SameTree(tree, read)) << text;
        ASSERT_EQ(text, FormatDescription(read));
    }
}

// The error message, or "accepted".
std::string ErrorOf(const std::string& text) {
    try {
        ParseDescription(text);
    } catch (const EDescriptionError& e) {
        return e.Message();
    }
    return "accepted";
}

TEST(FormDescriptionParse, MalformedTextNamesTheProblemAndItsPlace) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "line 1, column 1: expected 'object'"},
        {"  X = 1\n", "line 1, column 3: expected 'object'"},
        {"\n End\n", "line 2, column 2: 'end' without an object"},
        {"object a: T\n", "line 2, column 1: missing end"},
        {"object a: T\r\n  X = 1", "line 2, column 8: missing end"},
        {"object a: T\nend\n  end\n", "line 3, column 3: text after the root object"},
        {"object a: T\nend x\n", "line 2, column 5: expected end of line"},
        {"object a: T x\nend\n", "line 1, column 13: expected end of line"},
        {"object : T\nend\n", "line 1, column 8: expected identifier"},
        {"object 1a: T\nend\n", "line 1, column 8: expected identifier"},
        {"object a T\nend\n", "line 1, column 10: expected ':'"},
        {"object a: T\n  object b: U\n  end\n  X = 1\nend\n", "line 4, column 3: property after a child object"},
        {"object a: T\n  X 1\nend\n", "line 2, column 5: expected '='"},
        {"object a: T\n  = 1\nend\n", "line 2, column 3: expected identifier"},
        {"object a: T\n  Log. = 1\nend\n", "line 2, column 7: expected identifier"},
        {"object a: T\n  X =\nend\n", "line 2, column 6: expected value"},
        {"object a: T\n  X = )\nend\n", "line 2, column 7: expected value"},
        {"object a: T\n  X = -x\nend\n", "line 2, column 7: expected value"},
        {"object a: T\n  @ = 1\nend\n", "line 2, column 3: unknown token"},
        {"object a: T\n  X = ソ\nend\n", "line 2, column 7: unknown token"},
        {"object a: T\n  X = 1 2\nend\n", "line 2, column 9: garbage after a value"},
        {"object a: T\n  X = 12ab\nend\n", "line 2, column 9: garbage after a value"},
        {"object a: T\n  X = True.x\nend\n", "line 2, column 11: garbage after a value"},
        {"object a: T\n  X = 1\rY = 2\nend\n", "line 2, column 8: garbage after a value"},
        {"object a: T\n  X = 'a' + 'b'\nend\n", "line 2, column 13: garbage after a value"},
        {"object a: T\n  X = ('a') x\nend\n", "line 2, column 13: garbage after a value"},
        {"object a: T\n  X = 2147483648\nend\n", "line 2, column 7: number out of range"},
        {"object a: T\n  X = -2147483649\nend\n", "line 2, column 7: number out of range"},
        {"object a: T\n  X = 99999999999999999999999\nend\n", "line 2, column 7: number out of range"},
        {"object a: T\n  X = 'abc\nend\n", "line 2, column 7: unterminated string"},
        {"object a: T\n  X = 'a'#13'b\rc'\nend\n", "line 2, column 13: unterminated string"},
        {"object a: T\n  X = ('a'\n   'b", "line 3, column 4: unterminated string"},
        {"object a: T\n  X = #256\nend\n", "line 2, column 7: bad control code"},
        {"object a: T\n  X = 'a'#\nend\n", "line 2, column 10: bad control code"},
        {"object a: T\n  X = #99999999999\nend\n", "line 2, column 7: bad control code"},
        {"object a: T\n  X = 'a' +\n\n  'b'\nend\n", "line 3, column 1: expected a string after '+'"},
        {"object a: T\n  X = 'a' +\n  Y = 1\nend\n", "line 3, column 3: expected a string after '+'"},
        {"object a: T\n  X = ('a'\n  'b'\n", "line 4, column 1: missing ')'"},
        {"object a: T\n  X = ('a' 5)\nend\n", "line 2, column 12: expected a string or ')'"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.second, ErrorOf(c.first)) << c.first;
    }
}

TEST(FormDescriptionParse, DeepNestingIsRefusedBeforeTheStackIsAtRisk) {
    std::string text;
    std::string ends;
    for (int depth = 1; depth <= 200; ++depth) {
        text += "object o: T\n";
        ends += "end\n";
    }
    EXPECT_EQ("accepted", ErrorOf(text + ends));
    EXPECT_EQ("line 201, column 1: objects nested too deeply", ErrorOf(text + "object o: T\n"));
}

}  // namespace
