#pragma once
// The stored description of a window: its components, each with its
// published properties in stored order, as the designer's text form.
//
//   object frmMain: TfrmMain
//     object QUENDRO: TProject
//       AutoNaming = False
//       Build = 4
//       Log.Strings = (
//         '2001/09/24 13:04:31: Project started.'
//         '2001/12/28 20:21:08: Versionresource written - build 4.')
//       Version = '1.00'
//       Language = lanJapanese
//     end
//   end
//
// Strings are in single quotes with a quote doubled inside; control bytes
// (below 0x20) are written as #13-style codes between quoted runs
// ('a'#13#10'b'); a string may continue on the next line after " +".
// Every other byte, code page 932 text included, is kept as it is: no byte of
// a double-byte character can be a quote, '#' or a control byte. Lists are
// "( 'line' 'line' )", written one string a line, an empty list "()". Lines
// end in CR LF when written; LF alone is accepted when read. Names written
// must be identifiers, and no property may be called "object" or "end".
#include "system/Exception.h"

#include <cstdint>
#include <string>
#include <vector>

// The message names the line and column: "line 3, column 12: ...".
QUENDRO_DECLARE_ERROR(EDescriptionError);

struct TStoredValue {
    enum Kind { Identifier, String, Integer, Strings };
    Kind kind = Identifier;
    std::string text;                // Identifier: the name; String: its bytes
    std::int32_t number = 0;         // Integer
    std::vector<std::string> lines;  // Strings
    int line = 0;                    // where the value begins, 1-based
    int column = 0;
};

struct TStoredProperty {
    std::string name;  // may be dotted: "Log.Strings"
    TStoredValue value;
    int line = 0;
    int column = 0;
};

struct TStoredObject {
    std::string name;
    std::string className;
    std::vector<TStoredProperty> properties;
    std::vector<TStoredObject> children;
    int line = 0;
    int column = 0;
};

// Parses a whole description: one object, nothing after its "end" but blanks.
TStoredObject ParseDescription(const std::string& text);
// The text form of an object and its children, indented two blanks a level.
std::string FormatDescription(const TStoredObject& root);

// Raises EDescriptionError for a place in the text.
[[noreturn]] void RaiseDescriptionError(int line, int column, const std::string& what);

// "identifier", "string", "integer" or "list", for messages about a value.
const char* KindName(TStoredValue::Kind kind);
