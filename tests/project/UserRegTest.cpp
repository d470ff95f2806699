// The per-user registry object against an in-memory registry.
#include "FakeRegistry.h"
#include "project/UserReg.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kKey = "Software\\Quendro";

template <typename Action>
std::string ErrorOf(Action action) {
    try {
        action();
    } catch (const ERegistryError& e) {
        return e.Message();
    }
    return "(no error)";
}

TEST(UserRegConnect, DropsOneLeadingBackslashAndKeepsOneKeyOpen) {
    const std::pair<std::string, std::string> cases[] = {
        {kKey, kKey},
        {"\\" + kKey, kKey},
        {"\\\\Twice", "\\Twice"},
        {"\\" + std::string(99, 'k'), std::string(99, 'k')},
    };
    for (const auto& [path, key] : cases) {
        FakeRegistry fake;
        TUserReg reg(fake);
        reg.Connect(path);
        reg.Connect(path);  // reconnecting closes the first handle
        EXPECT_TRUE(reg.Connected()) << path;
        EXPECT_TRUE(fake.HasKey(key)) << path;
        EXPECT_EQ(1, fake.OpenKeys()) << path;
        reg.Disconnect();
        EXPECT_EQ(0, fake.OpenKeys()) << path;
    }
}

TEST(UserRegConnect, OverlongPathOrFailingCreateRaises) {
    FakeRegistry fake;
    TUserReg reg(fake);
    reg.Connect(kKey);
    EXPECT_EQ("Cannot connect to registry", ErrorOf([&] { reg.Connect(std::string(100, 'k')); }));
    EXPECT_FALSE(fake.HasKey(std::string(100, 'k')));
    EXPECT_FALSE(fake.HasKey(std::string(99, 'k')));  // never cut to fit
    EXPECT_FALSE(reg.Connected());
    EXPECT_EQ(0, fake.OpenKeys());

    fake.failCreate = true;
    EXPECT_EQ("Cannot connect to registry", ErrorOf([&] { reg.Connect(kKey); }));
    EXPECT_FALSE(reg.Connected());
    EXPECT_EQ("(no error)", ErrorOf([&] { reg.Disconnect(); }));
}

TEST(UserRegConnect, FailedDisconnectKeepsTheKeyUntilRelease) {
    FakeRegistry fake;
    {
        TUserReg reg(fake);
        reg.Connect(kKey);
        fake.failClose = true;
        EXPECT_EQ("Error disconnecting from the Registry", ErrorOf([&] { reg.Disconnect(); }));
        EXPECT_TRUE(reg.Connected());
        EXPECT_EQ("Error disconnecting from the Registry", ErrorOf([&] { reg.Connect("Other"); }));
        EXPECT_FALSE(fake.HasKey("Other"));
        fake.failClose = false;
    }
    EXPECT_EQ(0, fake.OpenKeys());
    {
        TUserReg reg(fake);
        reg.Connect(kKey);
        fake.failClose = true;  // Release swallows this
    }
    EXPECT_EQ(1, fake.OpenKeys());
}

TEST(UserRegValues, StringsAndIntegersRoundTrip) {
    const std::string texts[] = {"", "Hello", std::string(298, 'a'), "ab;c\\d"};
    FakeRegistry fake;
    TUserReg reg(fake);
    reg.Connect(kKey);
    for (const std::string& text : texts) {
        reg.WriteString("Name", text);
        EXPECT_EQ(text + '\0', fake.Bytes(kKey, "Name"));
        EXPECT_EQ(text, reg.ReadString("Name", "default"));
    }
    const std::pair<std::int32_t, const char*> numbers[] = {
        {-5, "-5"}, {0, "0"}, {10, "10"}, {2147483647, "2147483647"}, {-2147483647 - 1, "-2147483648"}};
    for (const auto& [value, text] : numbers) {
        reg.WriteInteger("Number", value);
        EXPECT_EQ(std::string(text) + '\0', fake.Bytes(kKey, "Number"));
        EXPECT_EQ(value, reg.ReadInteger("Number", 99));
    }
    // The longest text that can be written is one byte too long to read back.
    reg.WriteString(std::string(299, 'n'), std::string(299, 't'));
    EXPECT_EQ(std::string(299, 't'), fake.Text(kKey, std::string(299, 'n')));
    EXPECT_EQ("default", reg.ReadString(std::string(299, 'n'), "default"));
    reg.WriteString("CharSet", "128");
    EXPECT_EQ("128", reg.ReadString("Charset", "default"));
    EXPECT_EQ(128, reg.ReadInteger("CHARSET", 0));
}

TEST(UserRegValues, WriteFailuresRaiseTheirOwnError) {
    const std::string longText(300, 't');
    const std::string longName(300, 'n');
    const struct {
        bool integer;
        bool connect;
        std::string name;
        std::string text;
    } cases[] = {
        {false, true, "Name", longText}, {false, true, longName, "x"}, {true, true, longName, ""},
        {false, true, "BLOCKED", "x"},   {true, true, "Blocked", ""},  {false, false, "Name", "x"},
        {true, false, "Name", ""},
    };
    for (const auto& c : cases) {
        FakeRegistry fake;
        fake.failSetName = "blocked";
        TUserReg reg(fake);
        if (c.connect) {
            reg.Connect(kKey);
        }
        EXPECT_EQ(c.integer ? "Error writing integer to Registry" : "Error writing string to Registry",
                  ErrorOf([&] { c.integer ? reg.WriteInteger(c.name, 7) : reg.WriteString(c.name, c.text); }))
            << c.name.substr(0, 10);
        EXPECT_EQ(c.name == "BLOCKED" || c.name == "Blocked" ? 1u : 0u, fake.writes.size()) << c.name.substr(0, 10);
        EXPECT_FALSE(fake.Has(kKey, c.name));
    }
}

TEST(UserRegValues, UnreadableValuesGiveTheDefault) {
    FakeRegistry fake;
    fake.SetText(kKey, std::string(300, 'n'), "stored");
    fake.SetText(kKey, "Long", std::string(299, 'x'));
    TUserReg reg(fake);
    EXPECT_EQ("default", reg.ReadString("Long", "default"));  // not connected
    reg.Connect(kKey);
    for (const std::string& name : {std::string(300, 'n'), std::string("Long"), std::string("Missing")}) {
        EXPECT_EQ("default", reg.ReadString(name, "default")) << name.substr(0, 10);
        EXPECT_EQ(-3, reg.ReadInteger(name, -3)) << name.substr(0, 10);
    }
}

TEST(UserRegValues, DataWithoutZeroIsTakenUpToItsSize) {
    const std::pair<std::string, std::string> cases[] = {
        {"abc", "abc"}, {std::string("ab\0cd", 5), "ab"}, {std::string(299, 'z'), std::string(299, 'z')}, {"", ""}};
    FakeRegistry fake;
    TUserReg reg(fake);
    reg.Connect(kKey);
    for (const auto& [bytes, text] : cases) {
        fake.Set(kKey, "Raw", bytes);
        EXPECT_EQ(text, reg.ReadString("Raw", "default")) << bytes.size();
    }
}

TEST(UserRegValues, ReadIntegerAcceptsOnlySignedDecimalIn32Bits) {
    const std::pair<const char*, std::int32_t> valid[] = {
        {"16", 16}, {"-2147483648", -2147483647 - 1}, {"2147483647", 2147483647}, {"+7", 7}, {"007", 7}, {"-0", 0}};
    const char* invalid[] = {"2147483648", "-2147483649", "99999999999999999999", "abc", "", " 1", "1 ",
                             "0x10", "$10", "-", "+", "1-", "--1", "+-1", "1.0"};
    FakeRegistry fake;
    TUserReg reg(fake);
    reg.Connect(kKey);
    for (const auto& [text, value] : valid) {
        fake.SetText(kKey, "Language", text);
        EXPECT_EQ(value, reg.ReadInteger("Language", 1)) << text;
    }
    for (const char* text : invalid) {
        fake.SetText(kKey, "Language", text);
        std::string error = "(no error)";
        try {
            reg.ReadInteger("Language", 1);
        } catch (const EConvertError& e) {
            error = e.Message();
        }
        EXPECT_EQ("'" + std::string(text) + "' is not a valid integer value for \"Language\"", error);
    }
}

}  // namespace
