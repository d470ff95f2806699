#include "project/ProjectStore.h"

#include <type_traits>

#include "system/Text.h"

namespace {

const char* const kLanguageNames[kLanguageCount] = {
    "lanArabic", "lanBulgarian", "lanCatalan", "lanTraditional_Chinese", "lanCzech", "lanDanish",
    "lanGerman", "lanGreek", "lanUS_English", "lanCastilian_Spanish", "lanFinnish", "lanFrench",
    "lanHebrew", "lanHungarian", "lanIcelandic", "lanItalian", "lanJapanese", "lanKorean", "lanDutch",
    "lanNorwegian_Bokmal", "lanPolish", "lanBrazilian_Portuguese", "lanRhaeto_Romanic", "lanRomanian",
    "lanRussian", "lanCroato_Serbian_latin", "lanSlovak", "lanAlbanian", "lanSwedish", "lanThai",
    "lanTurkish", "lanUrdu", "lanBahasa", "lanSimplified_Chinese", "lanSwiss_German", "lanUK_English",
    "lanMexican_Spanish", "lanBelgian_French", "lanSwiss_Italian", "lanBelgian_Dutch",
    "lanNorwegian_Nynorsk", "lanPortuguese", "lanSerbo_Croatian", "lanCanadian_French", "lanSwiss_French",
    "lanIgnorre",
};

const char* const kCharsetNames[kCharsetCount] = {
    "cs7bit_ASCII", "csJapan_JIS_X_0208", "csKorea_KSC_5601", "csTaiwan_GB5", "csUnicode", "csLatin_2",
    "csCyrillic", "csMultilingual", "csGreek", "csTurkish", "csHebrew", "csArabic",
};

const char* const kFileTypeNames[kFileTypeCount] = {"ftProgram", "ftLibrary"};

enum class Kind { Boolean, Integer, Text, Lines, Language, Charset, FileType };

// Ordinal of a member name, -1 when it names none.
int MemberOrdinal(Kind kind, const std::string& name) {
    const char* const* names = kind == Kind::Language  ? kLanguageNames
                               : kind == Kind::Charset ? kCharsetNames
                                                       : kFileTypeNames;
    const int count = kind == Kind::Language ? kLanguageCount : kind == Kind::Charset ? kCharsetCount : kFileTypeCount;
    for (int i = 0; i < count; ++i) {
        if (SameIgnoringCase(name, names[i])) {
            return i;
        }
    }
    return -1;
}

int BooleanValue(const std::string& name) {
    if (SameIgnoringCase(name, "True")) return 1;
    if (SameIgnoringCase(name, "False")) return 0;
    return -1;
}

TStoredValue Identifier(const char* name) {
    TStoredValue v;
    v.kind = TStoredValue::Identifier;
    v.text = name;
    return v;
}

// The stored form of each type of property value...
TStoredValue Stored(bool on) { return Identifier(on ? "True" : "False"); }
TStoredValue Stored(TLanguage value) { return Identifier(LanguageName(value)); }
TStoredValue Stored(TCharset value) { return Identifier(CharsetName(value)); }
TStoredValue Stored(TFileType value) { return Identifier(FileTypeName(value)); }
TStoredValue Stored(int number) {
    TStoredValue v;
    v.kind = TStoredValue::Integer;
    v.number = number;
    return v;
}
TStoredValue Stored(const std::string& text) {
    TStoredValue v;
    v.kind = TStoredValue::String;
    v.text = text;
    return v;
}
TStoredValue Stored(const TStrings& lines) {
    TStoredValue v;
    v.kind = TStoredValue::Strings;
    v.lines = lines;
    return v;
}

// ...and the value of a stored form that has been checked.
template <typename T>
T FromStored(const TStoredValue& v) {
    if constexpr (std::is_same_v<T, bool>) return BooleanValue(v.text) == 1;
    else if constexpr (std::is_same_v<T, int>) return v.number;
    else if constexpr (std::is_same_v<T, std::string>) return v.text;
    else if constexpr (std::is_same_v<T, TStrings>) return v.lines;
    else if constexpr (std::is_same_v<T, TLanguage>) return static_cast<T>(MemberOrdinal(Kind::Language, v.text));
    else if constexpr (std::is_same_v<T, TCharset>) return static_cast<T>(MemberOrdinal(Kind::Charset, v.text));
    else return static_cast<TFileType>(MemberOrdinal(Kind::FileType, v.text));
}

template <auto Get>
TStoredValue Read(const TProject& project) {
    return Stored((project.*Get)());
}

template <typename T>
void Put(TProject& project, void (TProject::*set)(T), const TStoredValue& v) {
    (project.*set)(FromStored<std::decay_t<T>>(v));
}

template <auto Set>
void Write(TProject& project, const TStoredValue& v) {
    Put(project, Set, v);
}

struct Property {
    const char* name;      // as stored
    const char* textName;  // as assigned on a command line
    Kind kind;
    TStoredValue (*read)(const TProject&);
    void (*write)(TProject&, const TStoredValue&);
};

using P = TProject;

// Stored order: the order in which a loading window assigns them.
const Property kProperties[] = {
    {"AutoNaming", "AutoNaming", Kind::Boolean, Read<&P::AutoNaming>, Write<&P::SetAutoNaming>},
    {"Build", "Build", Kind::Integer, Read<&P::Build>, Write<&P::SetBuild>},
    {"Log.Strings", "Log", Kind::Lines, Read<&P::Log>, Write<&P::SetLog>},
    {"Notes.Strings", "Notes", Kind::Lines, Read<&P::Notes>, Write<&P::SetNotes>},
    {"Version", "Version", Kind::Text, Read<&P::Version>, Write<&P::SetVersion>},
    {"AutoBackup", "AutoBackup", Kind::Boolean, Read<&P::AutoBackup>, Write<&P::SetAutoBackup>},
    {"BackupFiles", "BackupFiles", Kind::Text, Read<&P::BackupFiles>, Write<&P::SetBackupFiles>},
    {"BackupPath", "BackupPath", Kind::Text, Read<&P::BackupPath>, Write<&P::SetBackupPath>},
    {"ProjectPath", "ProjectPath", Kind::Text, Read<&P::ProjectPath>, Write<&P::SetProjectPath>},
    {"SmartBackup", "SmartBackup", Kind::Boolean, Read<&P::SmartBackup>, Write<&P::SetSmartBackup>},
    {"Company", "Company", Kind::Text, Read<&P::Company>, Write<&P::SetCompany>},
    {"Copyright", "Copyright", Kind::Text, Read<&P::Copyright>, Write<&P::SetCopyright>},
    {"Comment", "Comment", Kind::Text, Read<&P::Comment>, Write<&P::SetComment>},
    {"Description", "Description", Kind::Text, Read<&P::Description>, Write<&P::SetDescription>},
    {"SpecialBuild", "SpecialBuild", Kind::Text, Read<&P::SpecialBuild>, Write<&P::SetSpecialBuild>},
    {"PrivateBuild", "PrivateBuild", Kind::Text, Read<&P::PrivateBuild>, Write<&P::SetPrivateBuild>},
    {"Productname", "Productname", Kind::Text, Read<&P::Productname>, Write<&P::SetProductname>},
    {"ProductVersion", "ProductVersion", Kind::Text, Read<&P::ProductVersion>, Write<&P::SetProductVersion>},
    {"OriginalName", "OriginalName", Kind::Text, Read<&P::OriginalName>, Write<&P::SetOriginalName>},
    {"Trademarks", "Trademarks", Kind::Text, Read<&P::Trademarks>, Write<&P::SetTrademarks>},
    {"Language", "Language", Kind::Language, Read<&P::Language>, Write<&P::SetLanguage>},
    {"Charset", "Charset", Kind::Charset, Read<&P::Charset>, Write<&P::SetCharset>},
    {"FileType", "FileType", Kind::FileType, Read<&P::FileType>, Write<&P::SetFileType>},
    {"ResourceFile", "ResourceFile", Kind::Text, Read<&P::ResourceFile>, Write<&P::SetResourceFile>},
};

const Property* FindProperty(const std::string& name, bool textName) {
    for (const Property& p : kProperties) {
        if (SameIgnoringCase(name, textName ? p.textName : p.name)) {
            return &p;
        }
    }
    return nullptr;
}

TStoredValue::Kind StoredKind(Kind kind) {
    switch (kind) {
        case Kind::Integer: return TStoredValue::Integer;
        case Kind::Text: return TStoredValue::String;
        case Kind::Lines: return TStoredValue::Strings;
        default: return TStoredValue::Identifier;
    }
}

const char* ExpectedName(Kind kind) {
    switch (kind) {
        case Kind::Boolean: return "True or False";
        case Kind::Integer: return "an integer";
        case Kind::Text: return "a string";
        case Kind::Lines: return "a list of strings";
        case Kind::Language: return "a TLanguage member";
        case Kind::Charset: return "a TCharset member";
        case Kind::FileType: return "a TFileType member";
    }
    return "";
}

// Build 0, an empty text and a list without lines are left out of a store.
bool LeftOut(const TStoredValue& v) {
    switch (v.kind) {
        case TStoredValue::Integer: return v.number == 0;
        case TStoredValue::String: return v.text.empty();
        case TStoredValue::Strings: return v.lines.empty();
        case TStoredValue::Identifier: return false;
    }
    return false;
}

}  // namespace

const char* LanguageName(TLanguage value) { return value < kLanguageCount ? kLanguageNames[value] : ""; }
const char* CharsetName(TCharset value) { return value < kCharsetCount ? kCharsetNames[value] : ""; }
const char* FileTypeName(TFileType value) { return value < kFileTypeCount ? kFileTypeNames[value] : ""; }

void CheckStoredProject(const TStoredObject& object) {
    for (const TStoredProperty& stored : object.properties) {
        const Property* p = FindProperty(stored.name, false);
        if (p == nullptr) {
            RaiseDescriptionError(stored.line, stored.column, "unknown property \"" + stored.name + "\" of TProject");
        }
        const TStoredValue& v = stored.value;
        if (v.kind != StoredKind(p->kind)) {
            RaiseDescriptionError(v.line, v.column, std::string(p->name) + " needs " + ExpectedName(p->kind) +
                                                        ", not " + KindName(v.kind));
        }
        const bool badBoolean = p->kind == Kind::Boolean && BooleanValue(v.text) < 0;
        const bool badMember = (p->kind == Kind::Language || p->kind == Kind::Charset || p->kind == Kind::FileType) &&
                               MemberOrdinal(p->kind, v.text) < 0;
        if (badBoolean || badMember) {
            RaiseDescriptionError(v.line, v.column, "\"" + v.text + "\" is not " + ExpectedName(p->kind));
        }
    }
}

void AssignStoredProject(TProject& project, const TStoredObject& object) {
    for (const TStoredProperty& stored : object.properties) {
        FindProperty(stored.name, false)->write(project, stored.value);
    }
}

std::vector<TStoredProperty> StoredProjectProperties(const TProject& project) {
    std::vector<TStoredProperty> out;
    for (const Property& p : kProperties) {
        TStoredProperty stored;
        stored.name = p.name;
        stored.value = p.read(project);
        if (!LeftOut(stored.value)) out.push_back(stored);
    }
    return out;
}

void AssignPropertyText(TProject& project, const std::string& name, const std::string& value) {
    const Property* p = FindProperty(name, true);
    if (p == nullptr) {
        throw EProjectError("TProject has no property \"" + name + "\"");
    }
    TStoredValue v;
    v.kind = StoredKind(p->kind);
    bool ok = true;
    switch (p->kind) {
        case Kind::Boolean: ok = BooleanValue(value) >= 0; v.text = value; break;
        case Kind::Language:
        case Kind::Charset:
        case Kind::FileType: ok = MemberOrdinal(p->kind, value) >= 0; v.text = value; break;
        case Kind::Text: v.text = value; break;
        case Kind::Lines:
            if (!value.empty()) v.lines.push_back(value);
            break;
        case Kind::Integer: ok = ReadDecimal(value, v.number); break;
    }
    if (!ok) {
        throw EProjectError("\"" + value + "\" is not " + ExpectedName(p->kind) + " for " + p->textName);
    }
    p->write(project, v);
}
