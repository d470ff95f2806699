#include "project/ProjectStore.h"

#include <cstdlib>

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

struct Property {
    const char* name;      // as stored
    const char* textName;  // as assigned on a command line
    Kind kind;
};

// Stored order: the order in which a loading window assigns them.
const Property kProperties[] = {
    {"AutoNaming", "AutoNaming", Kind::Boolean},   {"Build", "Build", Kind::Integer},
    {"Log.Strings", "Log", Kind::Lines},           {"Notes.Strings", "Notes", Kind::Lines},
    {"Version", "Version", Kind::Text},            {"AutoBackup", "AutoBackup", Kind::Boolean},
    {"BackupFiles", "BackupFiles", Kind::Text},    {"BackupPath", "BackupPath", Kind::Text},
    {"ProjectPath", "ProjectPath", Kind::Text},    {"SmartBackup", "SmartBackup", Kind::Boolean},
    {"Company", "Company", Kind::Text},            {"Copyright", "Copyright", Kind::Text},
    {"Comment", "Comment", Kind::Text},            {"Description", "Description", Kind::Text},
    {"SpecialBuild", "SpecialBuild", Kind::Text},  {"PrivateBuild", "PrivateBuild", Kind::Text},
    {"Productname", "Productname", Kind::Text},    {"ProductVersion", "ProductVersion", Kind::Text},
    {"OriginalName", "OriginalName", Kind::Text},  {"Trademarks", "Trademarks", Kind::Text},
    {"Language", "Language", Kind::Language},      {"Charset", "Charset", Kind::Charset},
    {"FileType", "FileType", Kind::FileType},      {"ResourceFile", "ResourceFile", Kind::Text},
};

// Identifiers of the designer's text form are not case-sensitive.
bool SameText(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) {
            return false;
        }
    }
    return i == a.size() && b[i] == '\0';
}

const Property* FindProperty(const std::string& name, bool textName) {
    for (const Property& p : kProperties) {
        if (SameText(name, textName ? p.textName : p.name)) {
            return &p;
        }
    }
    return nullptr;
}

// Ordinal of a member name, -1 when it names none.
int MemberOrdinal(Kind kind, const std::string& name) {
    const char* const* names = kind == Kind::Language  ? kLanguageNames
                               : kind == Kind::Charset ? kCharsetNames
                                                       : kFileTypeNames;
    const int count = kind == Kind::Language ? kLanguageCount : kind == Kind::Charset ? kCharsetCount : kFileTypeCount;
    for (int i = 0; i < count; ++i) {
        if (SameText(name, names[i])) {
            return i;
        }
    }
    return -1;
}

int BooleanValue(const std::string& name) {
    if (SameText(name, "True")) return 1;
    if (SameText(name, "False")) return 0;
    return -1;
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

void Assign(TProject& project, const Property& p, const TStoredValue& value) {
    switch (p.kind) {
        case Kind::Boolean: {
            const bool on = BooleanValue(value.text) == 1;
            if (SameText(p.name, "AutoNaming")) project.SetAutoNaming(on);
            else if (SameText(p.name, "AutoBackup")) project.SetAutoBackup(on);
            else project.SetSmartBackup(on);
            break;
        }
        case Kind::Integer: project.SetBuild(value.number); break;
        case Kind::Lines:
            if (SameText(p.name, "Log.Strings")) project.SetLog(value.lines);
            else project.SetNotes(value.lines);
            break;
        case Kind::Language: project.SetLanguage(static_cast<TLanguage>(MemberOrdinal(p.kind, value.text))); break;
        case Kind::Charset: project.SetCharset(static_cast<TCharset>(MemberOrdinal(p.kind, value.text))); break;
        case Kind::FileType: project.SetFileType(static_cast<TFileType>(MemberOrdinal(p.kind, value.text))); break;
        case Kind::Text: {
            const std::string& t = value.text;
            const std::string name = p.name;
            if (name == "Version") project.SetVersion(t);
            else if (name == "BackupFiles") project.SetBackupFiles(t);
            else if (name == "BackupPath") project.SetBackupPath(t);
            else if (name == "ProjectPath") project.SetProjectPath(t);
            else if (name == "Company") project.SetCompany(t);
            else if (name == "Copyright") project.SetCopyright(t);
            else if (name == "Comment") project.SetComment(t);
            else if (name == "Description") project.SetDescription(t);
            else if (name == "SpecialBuild") project.SetSpecialBuild(t);
            else if (name == "PrivateBuild") project.SetPrivateBuild(t);
            else if (name == "Productname") project.SetProductname(t);
            else if (name == "ProductVersion") project.SetProductVersion(t);
            else if (name == "OriginalName") project.SetOriginalName(t);
            else if (name == "Trademarks") project.SetTrademarks(t);
            else project.SetResourceFile(t);
            break;
        }
    }
}

const std::string& TextOf(const TProject& project, const std::string& name) {
    if (name == "Version") return project.Version();
    if (name == "BackupFiles") return project.BackupFiles();
    if (name == "BackupPath") return project.BackupPath();
    if (name == "ProjectPath") return project.ProjectPath();
    if (name == "Company") return project.Company();
    if (name == "Copyright") return project.Copyright();
    if (name == "Comment") return project.Comment();
    if (name == "Description") return project.Description();
    if (name == "SpecialBuild") return project.SpecialBuild();
    if (name == "PrivateBuild") return project.PrivateBuild();
    if (name == "Productname") return project.Productname();
    if (name == "ProductVersion") return project.ProductVersion();
    if (name == "OriginalName") return project.OriginalName();
    if (name == "Trademarks") return project.Trademarks();
    return project.ResourceFile();
}

TStoredValue Identifier(const char* name) {
    TStoredValue v;
    v.kind = TStoredValue::Identifier;
    v.text = name;
    return v;
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
        Assign(project, *FindProperty(stored.name, false), stored.value);
    }
}

std::vector<TStoredProperty> StoredProjectProperties(const TProject& project) {
    std::vector<TStoredProperty> out;
    for (const Property& p : kProperties) {
        TStoredValue v;
        const std::string name = p.name;
        switch (p.kind) {
            case Kind::Boolean: {
                const bool on = name == "AutoNaming"   ? project.AutoNaming()
                                : name == "AutoBackup" ? project.AutoBackup()
                                                       : project.SmartBackup();
                v = Identifier(on ? "True" : "False");
                break;
            }
            case Kind::Integer:
                if (project.Build() == 0) continue;
                v.kind = TStoredValue::Integer;
                v.number = project.Build();
                break;
            case Kind::Lines: {
                const TStrings& lines = name == "Log.Strings" ? project.Log() : project.Notes();
                if (lines.empty()) continue;
                v.kind = TStoredValue::Strings;
                v.lines = lines;
                break;
            }
            case Kind::Language: v = Identifier(LanguageName(project.Language())); break;
            case Kind::Charset: v = Identifier(CharsetName(project.Charset())); break;
            case Kind::FileType: v = Identifier(FileTypeName(project.FileType())); break;
            case Kind::Text:
                v.kind = TStoredValue::String;
                v.text = TextOf(project, name);
                if (v.text.empty()) continue;
                break;
        }
        TStoredProperty stored;
        stored.name = name;
        stored.value = v;
        out.push_back(stored);
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
        case Kind::Integer: {
            // Decimal, signed 32-bit, nothing else.
            std::size_t i = (!value.empty() && value[0] == '-') ? 1 : 0;
            ok = i < value.size() && value.size() - i <= 10;
            long long n = 0;
            for (; ok && i < value.size(); ++i) {
                ok = value[i] >= '0' && value[i] <= '9';
                n = n * 10 + (value[i] - '0');
            }
            if (!value.empty() && value[0] == '-') n = -n;
            ok = ok && n >= -2147483647LL - 1 && n <= 2147483647LL;
            v.number = ok ? static_cast<std::int32_t>(n) : 0;
            break;
        }
    }
    if (!ok) {
        throw EProjectError("\"" + value + "\" is not " + ExpectedName(p->kind) + " for " + p->textName);
    }
    Assign(project, *p, v);
}
