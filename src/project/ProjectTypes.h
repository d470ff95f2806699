#pragma once
// Enumerations of the project component and its version resource. The member
// names and their order are part of the stored window description, so new
// members may only ever be appended.

enum TFileType : unsigned char {
    ftProgram,
    ftLibrary,
};

enum TCharset : unsigned char {
    cs7bit_ASCII,
    csJapan_JIS_X_0208,
    csKorea_KSC_5601,
    csTaiwan_GB5,
    csUnicode,
    csLatin_2,
    csCyrillic,
    csMultilingual,
    csGreek,
    csTurkish,
    csHebrew,
    csArabic,
};

enum TLanguage : unsigned char {
    lanArabic,
    lanBulgarian,
    lanCatalan,
    lanTraditional_Chinese,
    lanCzech,
    lanDanish,
    lanGerman,
    lanGreek,
    lanUS_English,
    lanCastilian_Spanish,
    lanFinnish,
    lanFrench,
    lanHebrew,
    lanHungarian,
    lanIcelandic,
    lanItalian,
    lanJapanese,
    lanKorean,
    lanDutch,
    lanNorwegian_Bokmal,
    lanPolish,
    lanBrazilian_Portuguese,
    lanRhaeto_Romanic,
    lanRomanian,
    lanRussian,
    lanCroato_Serbian_latin,
    lanSlovak,
    lanAlbanian,
    lanSwedish,
    lanThai,
    lanTurkish,
    lanUrdu,
    lanBahasa,
    lanSimplified_Chinese,
    lanSwiss_German,
    lanUK_English,
    lanMexican_Spanish,
    lanBelgian_French,
    lanSwiss_Italian,
    lanBelgian_Dutch,
    lanNorwegian_Nynorsk,
    lanPortuguese,
    lanSerbo_Croatian,
    lanCanadian_French,
    lanSwiss_French,
    lanIgnorre,
};

// Counts, for bounds checks of values that arrive as raw bytes.
constexpr int kFileTypeCount = 2;
constexpr int kCharsetCount = 12;
constexpr int kLanguageCount = 46;
