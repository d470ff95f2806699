// The installers' pure parts: which at jobs are ours, and the folder's ACL.
#include "AtJobs.h"
#include "FolderAccess.h"

#include <gtest/gtest.h>

namespace {

const std::string kOurs = "C:\\Program Files\\Quendro\\quendro.exe";
const std::string kOursShort = "C:\\PROGRA~1\\Quendro\\quendro.exe";

// A Japanese Windows 2000 listing as a guide shows its header; the command
// in the column of its title (byte 37).
const std::string kListing =
    "ステータス ID   日付       時刻      コマンド\r\n"
    "-------------------------------------------------------------------------------\r\n"
    "           1    毎週 Su    3:00      \"C:\\Program Files\\Quendro\\quendro.exe\" C: /E\r\n"
    "           2    毎週 M...  3:00      C:\\Program Files\\Quendro\\quendro.exe C: D: /S\r\n"
    "           3    毎週 Su    4:00      \"c:\\program files\\QUENDRO\\Quendro.EXE\" C:\r\n"
    "           4    毎週 Su    5:00      \"D:\\Other\\quendro.exe\" C: /E\r\n"
    "           5    毎週 Su    6:00      cmd.exe /c copy \"C:\\Program Files\\Quendro\\quendro.exe\" D:\\bak\\\r\n"
    "           6    毎週 Su    7:00      \"D:\\Tools\\watch.exe\" /kill C:\\Program Files\\Quendro\\quendro.exe\r\n"
    "           7    毎週 Su    8:00      C:\\PROGRA~1\\Quendro\\quendro.exe C:\r\n"
    "エラー     8    今日       9:00      \"C:\\Program Files\\Quendro\\quendro.exe\" C:\r\n"
    "          10    毎週 Su    9:30      \"C:\\Program Files\\Quendro\\quendro.exe.bak\" C:\r\n";

TEST(AtJobs, OnlyJobsWhoseProgramIsOurs)
{
    const struct {
        const char* id;
        bool ours;
    } rows[] = {{"1", true},  {"2", true},  {"3", true},  {"4", false}, {"5", false},
                {"6", false}, {"7", true},  {"8", true},  {"10", false}};
    const std::vector<AtJob> jobs = ListedJobs(kListing);
    ASSERT_EQ(jobs.size(), sizeof rows / sizeof rows[0]);
    for (size_t i = 0; i < jobs.size(); ++i) {
        SCOPED_TRACE(jobs[i].command);
        EXPECT_EQ(jobs[i].id, rows[i].id);
        EXPECT_EQ(RunsProgram(jobs[i].command, {kOurs, kOursShort}), rows[i].ours);
    }
    // Without our 8.3 name, a job written with it is not recognised.
    EXPECT_FALSE(RunsProgram(jobs[6].command, {kOurs}));
}

TEST(AtJobs, JapaneseFolderWithTrailBytes)
{
    // "ソ" and "表" end in 0x5C; "ア" has the trail byte 'A'.
    const std::string ours = "C:\\ソフト\\Quendro 表\\quendro.exe";
    EXPECT_TRUE(RunsProgram("\"C:\\ソフト\\quendro 表\\QUENDRO.exe\" C:", {ours}));
    EXPECT_FALSE(RunsProgram("\"C:\\ソフト\\Quendro 表\\quendro.exe\\\" C:", {ours}));
    EXPECT_FALSE(RunsProgram("\"C:\\ア\\quendro.exe\"", {"C:\\ヂ\\quendro.exe"}));
    EXPECT_EQ(ProgramOf("C:\\ソフト\\x.exe /c"), "C:\\ソフト\\x.exe");
}

TEST(AtJobs, ListingsWithoutJobs)
{
    EXPECT_TRUE(ListedJobs("一覧にエントリはありません。\r\n").empty());
    EXPECT_TRUE(ListedJobs("サービスが開始されていません。\r\n").empty());
    // A command that does not start in its title's column is left alone.
    EXPECT_TRUE(ListedJobs("ステータス ID   日付       時刻      コマンド\r\n----------\r\n"
                           "  1  毎週 Su 3:00 \"C:\\Program Files\\Quendro\\quendro.exe\"\r\n")
                    .empty());
    // English Windows 2000's header: a two-word title.
    const std::vector<AtJob> english =
        ListedJobs("Status ID   Day                     Time          Command Line\r\n"
                   "-------------------------------------------------------------------------------\r\n"
                   "        1   Each M T                3:00 AM       \"C:\\Q\\quendro.exe\" C:\r\n");
    ASSERT_EQ(english.size(), 1u);
    EXPECT_EQ(english[0].id, "1");
    EXPECT_EQ(english[0].command, "\"C:\\Q\\quendro.exe\" C:");
}

TEST(FolderAccess, AdministratorsAndSystemFullUsersReadAndExecuteInherited)
{
    const std::vector<std::uint8_t> acl = folderaccess::FolderAcl();
    EXPECT_EQ(folderaccess::DescribeAcl(acl),
              (std::vector<std::string>{"S-1-5-32-544:0x1f01ff:0x3", "S-1-5-18:0x1f01ff:0x3",
                                        "S-1-5-32-545:0x1200a9:0x3", "S-1-5-32-547:0x1200a9:0x3"}));
    // The header Windows checks: revision 2, size, count, zero padding.
    ASSERT_EQ(acl.size(), 8u + 24 + 20 + 24 + 24);
    EXPECT_EQ(std::vector<std::uint8_t>(acl.begin(), acl.begin() + 8),
              (std::vector<std::uint8_t>{2, 0, static_cast<std::uint8_t>(acl.size()), 0, 4, 0, 0, 0}));
    EXPECT_EQ(folderaccess::AdministratorsSid(), (std::vector<std::uint8_t>{1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0}));
    std::vector<std::uint8_t> cut(acl.begin(), acl.end() - 4);
    EXPECT_EQ(folderaccess::DescribeAcl(cut), std::vector<std::string>{"bad"});
}

} // namespace
