// The help compiler: the shipped help file read back by the structural
// reader and compared with its source, generated sources large enough for
// multi-level trees and several topic blocks, faulty sources, damaged files.
// Narrow literals are code page 932 (as the help file holds its text); the
// sources handed to the compiler are u8 literals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>

#include "Cp932.h"
#include "HelpSource.h"
#include "HlpReader.h"
#include "HlpWriter.h"

namespace {

using Files = std::map<std::string, std::string>;

helpc::HelpProject Parse(const Files& files, const std::string& project = "p.qhp") {
    return helpc::ParseProject(project, [&](const std::string& name, std::string& content) {
        auto it = files.find(name);
        if (it == files.end()) return false;
        content = it->second;
        return true;
    });
}

const char* const kProject =
    u8"@title テスト\n@copyright (C) test\n@helpfile T.HLP\n@contentsfile T.CNT\n@font MS UI Gothic\n"
    u8"@codefont MS Gothic\n@contents a\n@topics t.qht\n@toc 1 見出し\n@toc 2 -> a\n@toc 2 別名 -> b\n";

// --- the reader's view against the source ------------------------------------------

struct Shown {  // one piece as the reader reports it
    std::string text;
    int font, jump;
    bool operator==(const Shown& o) const { return text == o.text && font == o.font && jump == o.jump; }
};

std::ostream& operator<<(std::ostream& os, const Shown& s) {
    return os << "{" << helpc::Cp932ToUtf8(s.text) << ", font " << s.font << ", jump " << s.jump << "}";
}

void Push(std::vector<Shown>& out, const std::string& text, int font, int jump) {
    if (text.empty()) return;
    if (!out.empty() && out.back().font == font && out.back().jump == jump)
        out.back().text += text;
    else
        out.push_back(Shown{text, font, jump});
}

std::vector<Shown> Expected(const helpc::Paragraph& p) {
    std::vector<Shown> out;
    if (p.kind == helpc::ParagraphKind::Bullet) Push(out, "・", 0, -1);
    for (const helpc::Run& r : p.runs) {
        const int font = r.style == helpc::RunStyle::Code                                            ? 3
                         : r.style == helpc::RunStyle::Bold || p.kind == helpc::ParagraphKind::Heading ? 1
                                                                                                       : 0;
        Push(out, r.text, font, r.jump);
    }
    return out;
}

std::vector<Shown> Seen(const hlp::Paragraph& p) {
    std::vector<Shown> out;
    for (const hlp::Piece& piece : p.pieces) out.push_back(Shown{piece.text, piece.font, piece.jump});
    return out;
}

void ExpectSameAsSource(const helpc::HelpProject& source, const hlp::HelpFile& file) {
    EXPECT_EQ(file.title, source.title);
    EXPECT_EQ(file.copyright, source.copyright);
    EXPECT_EQ(file.contentsFile, source.contentsFile);
    EXPECT_EQ(file.lcid, 0x0411u);
    EXPECT_EQ(file.charset, 128u);
    EXPECT_EQ(file.dialogFont, source.font);
    EXPECT_EQ(file.contents, source.contents);
    ASSERT_EQ(file.fonts.size(), 4u);
    EXPECT_EQ(file.fonts[0].face, source.font);
    EXPECT_EQ(file.fonts[3].face, source.codeFont);
    EXPECT_EQ(file.fonts[1].attributes & 1, 1u) << "bold";
    EXPECT_GT(file.fonts[2].halfPoints, file.fonts[0].halfPoints) << "the title font is larger";
    ASSERT_EQ(file.topics.size(), source.topics.size());
    for (std::size_t i = 0; i < source.topics.size(); ++i) {
        const helpc::Topic& s = source.topics[i];
        const hlp::Topic& t = file.topics[i];
        SCOPED_TRACE("topic " + s.id);
        EXPECT_EQ(t.title, s.title);
        EXPECT_EQ(t.hashes, std::vector<std::uint32_t>{helpc::ContextHash(s.id)});
        EXPECT_EQ(t.numbers, s.hasNumber ? std::vector<std::uint32_t>{s.number} : std::vector<std::uint32_t>{});
        std::vector<std::string> keywords = s.keywords;
        std::vector<std::string> seen = t.keywords;
        std::sort(keywords.begin(), keywords.end());
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(seen, keywords);
        ASSERT_EQ(t.paragraphs.size(), s.paragraphs.size() + 1) << "the title paragraph and the topic's own";
        EXPECT_EQ(Seen(t.paragraphs[0]), (std::vector<Shown>{{s.title, 2, -1}}));
        for (std::size_t p = 0; p < s.paragraphs.size(); ++p)
            EXPECT_EQ(Seen(t.paragraphs[p + 1]), Expected(s.paragraphs[p])) << "paragraph at line " << s.paragraphs[p].line;
    }
}

hlp::HelpFile ReadBack(const helpc::HelpProject& project) {
    const helpc::HelpOutput out = helpc::WriteHelp(project);
    return hlp::ReadHelpFile(out.hlp);
}

// --- the shipped help --------------------------------------------------------------

class ShippedHelp : public ::testing::Test {
protected:
    // Built once; a fault is reported by every test.
    static void SetUpTestSuite() {
        try {
            source_ = new helpc::HelpProject(helpc::LoadProject(QUENDRO_HELP_PROJECT));
            output_ = new helpc::HelpOutput(helpc::WriteHelp(*source_));
            file_ = new hlp::HelpFile(hlp::ReadHelpFile(output_->hlp));
        } catch (const std::exception& e) {
            error_ = new std::string(e.what());
        }
    }
    void SetUp() override { ASSERT_EQ(error_, nullptr) << *error_; }
    static void TearDownTestSuite() {
        delete error_;
        delete file_;
        delete output_;
        delete source_;
    }
    static std::string TopicText(int topic) {
        std::string text;
        for (const hlp::Paragraph& p : file_->topics[topic].paragraphs) text += p.Text() + "\n";
        return text;
    }
    static int Topic(const char* id) { return file_->TopicByHash(helpc::ContextHash(id)); }

    static helpc::HelpProject* source_;
    static helpc::HelpOutput* output_;
    static hlp::HelpFile* file_;
    static std::string* error_;
};

helpc::HelpProject* ShippedHelp::source_;
helpc::HelpOutput* ShippedHelp::output_;
hlp::HelpFile* ShippedHelp::file_;
std::string* ShippedHelp::error_;

TEST_F(ShippedHelp, ReadsBackAsItsSource) {
    EXPECT_EQ(source_->helpFile, "DAVIRAZ.OVA");
    EXPECT_EQ(source_->contentsFile, "DAVIRAZ.CNT");
    ExpectSameAsSource(*source_, *file_);
}

TEST_F(ShippedHelp, TopicFourteenExplainsUnattendedRuns) {
    const int topic = file_->TopicByNumber(14);
    ASSERT_GE(topic, 0);
    EXPECT_EQ(topic, Topic("scheduled_run"));
    EXPECT_EQ(file_->topics[topic].title, "指定した時刻に自動的に実行する");
    const std::string text = TopicText(topic);
    for (const char* wanted : {"\"C:\\Program Files\\Quendro\\quendro.exe\" C: D: /E /S", "スケジュールされたタスク ウィザード",
                               "[参照]", "[実行するファイル名]", "システムのシャットダウン", "at 3:00 /every:1,15",
                               "\"\\\"C:\\Program Files\\Quendro\\quendro.exe\\\" C: D: /E /S\"", "SYSTEM アカウント",
                               "\"C:\\Program Files\\Quendro\\quendro.exe\" /A /E /S",
                               "\"\\\"C:\\Program Files\\Quendro\\quendro.exe\\\" /A /E\""})
        EXPECT_NE(text.find(wanted), std::string::npos) << helpc::Cp932ToUtf8(wanted);
}

TEST_F(ShippedHelp, CommandLineTopicDescribesEveryFixedDrive) {
    const int topic = Topic("command_line");
    ASSERT_GE(topic, 0);
    const std::string text = TopicText(topic);
    for (const char* wanted : {"quendro.exe /A [/E] [/S]", "すべての固定ドライブ", "/AX",
                               "「/A　ドライブが存在しないかデフラグできません。」"})
        EXPECT_NE(text.find(wanted), std::string::npos) << helpc::Cp932ToUtf8(wanted);
}

// The texts the program writes to log.txt (after the drive letter and colon
// where they begin with the ideographic space), each of which the log
// topic must show and explain.
TEST_F(ShippedHelp, LogTopicShowsEveryLineTheProgramWrites) {
    const char* const lines[] = {
        "実行開始",
        "C:　ほかのデフラグが実行中のため実行できませんでした。",
        "C:　デフラグが実行できませんでした。",
        "C:　デフラグを正しく制御できませんでした。",
        "C:　デフラグを開始しました。",
        "C:　本ソフトが閉じられました。",
        "C:　デフラグが終わる前に手動で閉じられたようです。",
        "C:　デフラグを完了しました。",
        "C:　正しく実行できませんでした。",
        "C:　ドライブが存在しないかデフラグできません。",
        "引数が不正です。（",
        "エラーが発生しましたが続行します。",
        "エラーが発生したため処理を中止しました。",
    };
    const int topic = Topic("log_lines");
    ASSERT_GE(topic, 0);
    const std::vector<hlp::Paragraph>& paragraphs = file_->topics[topic].paragraphs;
    for (const char* line : lines) {
        // A bold heading holding the line, then at least one paragraph on it.
        std::size_t at = 0;
        while (at < paragraphs.size() && paragraphs[at].Text().rfind(line, 0) != 0) ++at;
        ASSERT_LT(at + 1, paragraphs.size()) << helpc::Cp932ToUtf8(line);
        EXPECT_EQ(paragraphs[at].pieces[0].font, 1) << helpc::Cp932ToUtf8(line);
        EXPECT_NE(paragraphs[at + 1].pieces[0].font, 1) << helpc::Cp932ToUtf8(line);
    }
    const std::string messages = TopicText(Topic("messages"));
    for (const char* box : {"デフラグをかけるドライブを選択してください。", "Windows 2000 以外には対応しておりません。",
                            "ファイル … は開けません", "ファイル … を作成できません", "Could not adjust the Privilege.",
                            "Could not open the Token.", "Shutting down Windows is failed", "アプリケーション エラー"})
        EXPECT_NE(messages.find(box), std::string::npos) << helpc::Cp932ToUtf8(box);
}

TEST_F(ShippedHelp, ContentsFileNamesTopicsOfTheHelpFile) {
    std::istringstream in(output_->cnt);
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(in, line)) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r') << "CR LF line ends";
        lines.push_back(line.substr(0, line.size() - 1));
    }
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], ":Base DAVIRAZ.OVA");
    EXPECT_EQ(lines[1], ":Title " + file_->title);
    std::vector<bool> listed(file_->topics.size(), false);
    int previous = 0;
    for (std::size_t i = 2; i < lines.size(); ++i) {
        const int level = lines[i][0] - '0';
        EXPECT_TRUE(level >= 1 && level <= previous + 1) << lines[i];
        previous = level;
        const std::size_t eq = lines[i].find('=');
        if (eq == std::string::npos) continue;
        const int topic = file_->TopicByHash(helpc::ContextHash(lines[i].substr(eq + 1)));
        ASSERT_GE(topic, 0) << lines[i];
        EXPECT_EQ(lines[i].substr(2, eq - 2), file_->topics[topic].title);
        listed[topic] = true;
    }
    for (std::size_t t = 0; t < listed.size(); ++t) EXPECT_TRUE(listed[t]) << helpc::Cp932ToUtf8(file_->topics[t].title);
}

TEST_F(ShippedHelp, EveryTopicIsReachableByJumpsFromTheContentsTopic) {
    std::vector<bool> seen(file_->topics.size(), false);
    std::vector<int> todo{file_->contents};
    seen[file_->contents] = true;
    while (!todo.empty()) {
        const int t = todo.back();
        todo.pop_back();
        for (const hlp::Paragraph& p : file_->topics[t].paragraphs)
            for (const hlp::Piece& piece : p.pieces)
                if (piece.jump >= 0 && !seen[piece.jump]) {
                    seen[piece.jump] = true;
                    todo.push_back(piece.jump);
                }
    }
    for (std::size_t t = 0; t < seen.size(); ++t) EXPECT_TRUE(seen[t]) << helpc::Cp932ToUtf8(file_->topics[t].title);
    // The contents topic jumps to every other topic directly.
    std::set<int> direct;
    for (const hlp::Paragraph& p : file_->topics[file_->contents].paragraphs)
        for (const hlp::Piece& piece : p.pieces)
            if (piece.jump >= 0) direct.insert(piece.jump);
    EXPECT_EQ(direct.size(), file_->topics.size() - 1);
}

// --- generated sources: trees of several levels, several topic blocks -----------

struct SizeCase {
    const char* name;
    int topics, keywordsPerTopic, keywordLength, sharedKeywords, paragraphBytes;
    unsigned contextLevels, keywordLevels, minBlocks;
    std::vector<const char*> ownKeywords = {};  // one more keyword for each of the first topics
};

// About `bytes` bytes of kana in code page 932 (two bytes a character).
std::string Filler(int bytes, int seed) {
    static const std::string kana = u8"あいうえおかきくけこ";
    std::string s;
    for (int n = 0; n + 2 <= bytes; n += 2) s += kana.substr(static_cast<std::size_t>((seed + n) % 10) * 3, 3);
    return s;
}

Files Generated(const SizeCase& c) {
    std::ostringstream t;
    for (int i = 0; i < c.topics; ++i) {
        t << "@topic t" << i << " " << 1000 + i << "\n@title " << u8"題" << i << "\n";
        for (int k = 0; k < c.keywordsPerTopic; ++k)
            t << "@keywords kw" << i << "_" << k << std::string(static_cast<std::size_t>(c.keywordLength), 'x') << "\n";
        for (int k = 0; k < c.sharedKeywords; ++k) t << "@keywords shared" << k << "\n";
        if (static_cast<std::size_t>(i) < c.ownKeywords.size()) t << "@keywords " << c.ownKeywords[i] << "\n";
        t << Filler(c.paragraphBytes, i) << " **b** `c`";
        if (i + 1 < c.topics) t << " [[t" << i + 1 << "]]";
        t << "\n\n    code line\n    " << i << "\n";
    }
    return Files{{"p.qhp", u8"@title G\n@helpfile G.HLP\n@contentsfile G.CNT\n@font F\n@contents t0\n@topics t.qht\n"},
                 {"t.qht", t.str()}};
}

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.name; }

class GeneratedHelp : public ::testing::TestWithParam<SizeCase> {};

TEST_P(GeneratedHelp, EveryTreePageAndRecordReadsBack) {
    const SizeCase& c = GetParam();
    const helpc::HelpProject source = Parse(Generated(c));
    const hlp::HelpFile file = ReadBack(source);
    ExpectSameAsSource(source, file);
    EXPECT_EQ(file.trees.at("|CONTEXT").levels, c.contextLevels);
    EXPECT_EQ(file.trees.at("|TTLBTREE").levels, c.contextLevels);
    if (c.keywordLevels) {
        EXPECT_EQ(file.trees.at("|KWBTREE").levels, c.keywordLevels);
    }
    EXPECT_GE(file.topicBlocks, c.minBlocks);
    if (c.sharedKeywords) {
        const std::string shared = "shared0";
        int count = 0;
        for (const hlp::Topic& t : file.topics) count += std::count(t.keywords.begin(), t.keywords.end(), shared);
        EXPECT_EQ(count, c.topics) << "one keyword for every topic";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, GeneratedHelp,
    ::testing::Values(SizeCase{"one_topic", 1, 0, 0, 0, 30, 1, 0, 1},
                      SizeCase{"many_topics", 700, 1, 0, 2, 60, 2, 2, 20},
                      SizeCase{"long_keywords", 400, 3, 200, 0, 30, 2, 4, 5},
                      SizeCase{"index_page_of_one_child", 31, 3, 200, 0, 30, 1, 3, 1},
                      SizeCase{"block_sized_paragraphs", 12, 1, 0, 1, 3000, 1, 1, 12},
                      // 83 67, 83 47, 83 50: trail bytes are never case-folded.
                      SizeCase{"katakana_keywords", 3, 0, 0, 0, 30, 1, 1, 1, {u8"ト", u8"エ", u8"ケ"}}),
    [](const ::testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

// --- faulty sources -------------------------------------------------------------

struct FaultCase {
    const char* name;
    const char* project;  // nullptr: kProject
    const char* topics;
    const char* message;  // what the error begins with
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

const char* const kTwoTopics = u8"@topic a 1\n@title A\nsee [[b]]\n@topic b\n@title B\ntext\n";

class FaultySource : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultySource, StopsWithFileAndLine) {
    const FaultCase& c = GetParam();
    const Files files{{"p.qhp", c.project ? c.project : kProject}, {"t.qht", c.topics}};
    try {
        helpc::WriteHelp(Parse(files));
        FAIL() << "no error";
    } catch (const helpc::SourceError& e) {
        EXPECT_EQ(std::string(e.what()).substr(0, std::string(c.message).size()), c.message) << e.what();
    }
}

const std::string kLong = "@topic a\n@title A\n" + std::string(5000, 'x') + " [[b]]\n@topic b\n@title B\n";

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultySource,
    ::testing::Values(
        FaultCase{"unknown_directive", nullptr, u8"@topic a 1\n@title A\n@foo bar\nsee [[b]]\n@topic b\n@title B\n", "t.qht:3: unknown directive @foo"},
        FaultCase{"unknown_block_markup", nullptr, u8"@topic a\n@title A\n# x\n", "t.qht:3: unknown markup \"#\""},
        FaultCase{"jump_to_nothing", nullptr, u8"@topic a\n@title A\nsee [[b]] and [[c|C]]\n@topic b\n@title B\n", "t.qht:3: jump to a topic that does not exist: c"},
        FaultCase{"number_twice", nullptr, u8"@topic a 14\n@title A\nsee [[b]]\n@topic b 14\n@title B\n", "t.qht:4: context number 14 is used again (first by a at t.qht:1)"},
        FaultCase{"not_utf8", nullptr, "@topic a\n@title A\nbad \xFF byte\n", "t.qht:3: text is not valid UTF-8"},
        FaultCase{"not_utf8_in_project", "@title \xC3\n", "", "p.qhp:1: text is not valid UTF-8"},
        FaultCase{"not_in_cp932", nullptr, u8"@topic a\n@title A\n\n\ncaf\u00e9\n", "t.qht:5: text holds a character that code page 932 lacks"},
        FaultCase{"emoji", nullptr, u8"@topic a\n@title A \U0001F600\n", "t.qht:2: text holds a character that code page 932 lacks"},
        FaultCase{"unclosed_bold", nullptr, u8"@topic a\n@title A\n**bold\n", "t.qht:3: ** without a closing **"},
        FaultCase{"unclosed_code", nullptr, u8"@topic a\n@title A\nx `y\n", "t.qht:3: ` without a closing `"},
        FaultCase{"unclosed_jump", nullptr, u8"@topic a\n@title A\nx [[b\n", "t.qht:3: [[ without a closing ]]"},
        FaultCase{"stray_close", nullptr, u8"@topic a\n@title A\nx ]] y\n", "t.qht:3: ]] without an opening [["},
        FaultCase{"markup_in_bold", nullptr, u8"@topic a\n@title A\n**x [[a]]**\n", "t.qht:3: markup inside bold text"},
        FaultCase{"unknown_escape", nullptr, u8"@topic a\n@title A\n\\q\n", "t.qht:3: unknown escape \\q"},
        FaultCase{"tab", nullptr, "@topic a\n@title A\n\tx\n", "t.qht:3: tab character"},
        FaultCase{"text_before_title", nullptr, u8"@topic a\ntext\n", "t.qht:2: text before the @title of topic a"},
        FaultCase{"text_before_topic", nullptr, u8"text\n", "t.qht:1: text before the first @topic"},
        FaultCase{"no_title", nullptr, u8"@topic a\n@title A\nsee [[b]]\n@topic b\n", "t.qht:4: topic b has no @title"},
        FaultCase{"bad_id", nullptr, u8"@topic a-b\n", "t.qht:1: \"a-b\" is not a context id"},
        FaultCase{"id_twice", nullptr, u8"@topic a\n@title A\n@topic a\n@title A2\n", "t.qht:3: context id a is used again (first at t.qht:1)"},
        FaultCase{"same_hash", nullptr, u8"@topic a\n@title A\nsee [[A]]\n@topic A\n@title B\n", "t.qht:4: context id A has the same hash as a"},
        FaultCase{"unreachable", nullptr, u8"@topic a\n@title A\n@topic b\n@title B\n", "t.qht:3: topic b cannot be reached by jumps from the contents topic"},
        FaultCase{"paragraph_too_long", nullptr, kLong.c_str(), "t.qht:3: paragraph too long for one topic block"},
        FaultCase{"no_contents_topic", u8"@title T\n@helpfile T.HLP\n@contentsfile T.CNT\n@font F\n@contents zz\n@topics t.qht\n", kTwoTopics, "p.qhp:5: @contents names no topic: zz"},
        FaultCase{"project_text", u8"@title T\nhello\n", kTwoTopics, "p.qhp:2: unknown line in the project file"},
        FaultCase{"toc_to_nothing", u8"@title T\n@helpfile T.HLP\n@contentsfile T.CNT\n@font F\n@contents a\n@topics t.qht\n@toc 1 -> zz\n", kTwoTopics, "p.qhp:7: @toc names no topic: zz"},
        FaultCase{"toc_skips_level", u8"@title T\n@toc 2 x -> a\n", kTwoTopics, "p.qhp:2: @toc level skips a level"},
        FaultCase{"missing_topic_file", u8"@title T\n@helpfile T.HLP\n@contentsfile T.CNT\n@font F\n@contents a\n@topics t.qht u.qht\n", kTwoTopics, "p.qhp:6: cannot read topic file u.qht"}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

TEST(GoodSource, MarkupBecomesRunsAndJumpsTakeTitles) {
    const helpc::HelpProject p = Parse({{"p.qhp", kProject},
                                        {"t.qht", u8"@topic a 7\n@title A\n@keywords k1; k2\nfirst\nline **bold** `c:\\x` [[b]]\n"
                                                  u8"日本語\n続き \\*x\\*\n\n- item\n  more\n2. step\n\n    a\\b **c**\n    d\n"
                                                  u8"@topic b\n@title Bの題\n"}});
    ASSERT_EQ(p.topics.size(), 2u);
    const std::vector<helpc::Paragraph>& ps = p.topics[0].paragraphs;
    ASSERT_EQ(ps.size(), 4u);
    std::vector<std::pair<std::string, int>> runs;
    for (const helpc::Run& r : ps[0].runs) runs.push_back({r.text, r.jump});
    EXPECT_EQ(runs, (std::vector<std::pair<std::string, int>>{
                        {"first line ", -1}, {"bold", -1}, {" ", -1}, {"c:\\x", -1}, {" ", -1}, {"Bの題", 1}, {"日本語続き *x*", -1}}));
    EXPECT_EQ(ps[0].runs[1].style, helpc::RunStyle::Bold);
    EXPECT_EQ(ps[0].runs[3].style, helpc::RunStyle::Code);
    EXPECT_EQ(ps[1].kind, helpc::ParagraphKind::Bullet);
    EXPECT_EQ(ps[1].runs[0].text, "item more");
    EXPECT_EQ(ps[2].kind, helpc::ParagraphKind::Step);
    EXPECT_EQ(ps[3].kind, helpc::ParagraphKind::Code);
    EXPECT_EQ(ps[3].runs[0].text, "a\\b **c**\nd");
    EXPECT_EQ(p.topics[0].keywords, (std::vector<std::string>{"k1", "k2"}));
    ASSERT_EQ(p.toc.size(), 3u);
    EXPECT_EQ(p.toc[1].text, "A");
    EXPECT_EQ(p.toc[2].text, "別名");
    const helpc::HelpOutput out = helpc::WriteHelp(p);
    EXPECT_EQ(out.cnt, ":Base T.HLP\r\n:Title テスト\r\n1 見出し\r\n2 A=a\r\n2 別名=b\r\n");
    ExpectSameAsSource(p, hlp::ReadHelpFile(out.hlp));
}

// --- damaged files: the reader must notice ---------------------------------------------

std::size_t DataOf(const std::string& hlp, const std::string& name) {
    const std::size_t at = hlp.rfind(name + '\0');  // the directory is the last internal file
    const std::size_t entry = at + name.size() + 1;
    const auto b = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(hlp[entry + i])); };
    return (b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24) + 9;
}

void Put32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

std::uint32_t Get32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
    return v;
}

struct Damage {
    const char* name;
    void (*apply)(std::string& hlp);
    const char* message;  // part of the reader's complaint
};

void PrintTo(const Damage& d, std::ostream* os) { *os << d.name; }

class DamagedFile : public ::testing::TestWithParam<Damage> {
protected:
    static std::string Good() {
        return helpc::WriteHelp(Parse({{"p.qhp", kProject},
                                       {"t.qht", u8"@topic a 1\n@title A\n@keywords k\nsee [[b]]\n\n" + std::string(3900, 'x') +
                                                     u8"\n@topic b\n@title B\n@keywords k; m\ntext\n"}}))
            .hlp;
    }
};

TEST_P(DamagedFile, IsRefused) {
    std::string hlp = Good();
    ASSERT_NO_THROW(hlp::ReadHelpFile(hlp));
    GetParam().apply(hlp);
    try {
        hlp::ReadHelpFile(hlp);
        FAIL() << "accepted";
    } catch (const hlp::FormatError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().message), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Damages, DamagedFile,
    ::testing::Values(
        Damage{"truncated", [](std::string& h) { h.pop_back(); }, "header says"},
        Damage{"directory_count", [](std::string& h) { h[Get32(h, 4) + 9 + 38 + 2]++; }, "the directory"},
        Damage{"leaf_free_bytes", [](std::string& h) { h[DataOf(h, "|CONTEXT") + 38]++; }, "free bytes"},
        Damage{"context_order", [](std::string& h) {
                   const std::size_t e = DataOf(h, "|CONTEXT") + 38 + 8;
                   const std::string first = h.substr(e, 8);
                   h.replace(e, 8, h.substr(e + 8, 8));
                   h.replace(e + 8, 8, first);
               }, "keys out of order"},
        Damage{"context_offset", [](std::string& h) { h[DataOf(h, "|CONTEXT") + 38 + 8 + 4]++; }, "is not the start of a topic"},
        Damage{"files_overlap", [](std::string& h) {
                   const std::size_t entry = h.rfind(std::string("|FONT") + '\0') + 6;
                   Put32(h, entry, DataOf(h, "|SYSTEM") - 9);
               }, "overlaps"},
        Damage{"record_chain", [](std::string& h) { Put32(h, DataOf(h, "|TOPIC") + 12 + 12, 0x0C + 3); }, "record"},
        Damage{"topic_length", [](std::string& h) {
                   const std::size_t topic = DataOf(h, "|TOPIC"), second = topic + 12 + Get32(h, topic + 12);
                   h[second + 21 + 2] += 2;
               }, "TopicLength"},
        Damage{"jump_hash", [](std::string& h) {
                   const std::size_t topic = DataOf(h, "|TOPIC");
                   const std::size_t at = h.find('\xE3', topic + 12 + 80);
                   h[at + 1]++;
               }, "jump to hash"},
        Damage{"block_header", [](std::string& h) { Put32(h, DataOf(h, "|TOPIC") + 4096 + 8, 0x1234); }, "block 1 header"},
        Damage{"title_tree", [](std::string& h) { h[DataOf(h, "|TTLBTREE") + 38 + 8 + 4]++; }, "title differs"},
        Damage{"keyword_map", [](std::string& h) { h[DataOf(h, "|KWMAP") + 2]++; }, "|KWMAP"},
        Damage{"keyword_data", [](std::string& h) { h[DataOf(h, "|KWDATA")]++; }, "is not the start of a topic"}),
    [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

// --- the command ----------------------------------------------------------------

struct Command {
    int status;
    std::string output;
};

Command RunHelpc(const std::string& args) {
    const std::string err = std::string(QUENDRO_TEST_TMP) + "/stderr.txt";
    const int raw = std::system((std::string(QUENDRO_HELPC) + " " + args + " 2>" + err).c_str());
    std::ifstream in(err);
    std::ostringstream text;
    text << in.rdbuf();
    return Command{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text.str()};
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

TEST(HelpCommand, WritesBothFilesOrNothing) {
    const std::string dir = QUENDRO_TEST_TMP;
    mkdir(dir.c_str(), 0755);
    WriteText(dir + "/p.qhp", kProject);
    WriteText(dir + "/t.qht", kTwoTopics);
    for (const char* f : {"/T.HLP", "/T.CNT", "/X.HLP"}) std::remove((dir + f).c_str());

    const Command good = RunHelpc(dir + "/p.qhp " + dir + "/T.HLP " + dir + "/T.CNT");
    EXPECT_EQ(good.status, 0) << good.output;
    EXPECT_TRUE(Exists(dir + "/T.HLP") && Exists(dir + "/T.CNT"));

    const Command renamed = RunHelpc(dir + "/p.qhp " + dir + "/X.HLP " + dir + "/T.CNT");
    EXPECT_EQ(renamed.status, 1);
    EXPECT_NE(renamed.output.find("names its output T.HLP, not X.HLP"), std::string::npos) << renamed.output;
    EXPECT_FALSE(Exists(dir + "/X.HLP"));

    std::remove((dir + "/T.HLP").c_str());
    std::remove((dir + "/T.CNT").c_str());
    WriteText(dir + "/t.qht", u8"@topic a 1\n@title A\nsee [[nowhere]]\n");
    const Command bad = RunHelpc(dir + "/p.qhp " + dir + "/T.HLP " + dir + "/T.CNT");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.output, dir + "/t.qht:3: jump to a topic that does not exist: nowhere\n");
    EXPECT_FALSE(Exists(dir + "/T.HLP") || Exists(dir + "/T.CNT"));
}

}  // namespace
