#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fwupdater/Updater.h"
#include "fwupdater/UpdaterOptions.h"

using namespace pallumo;

namespace {

using Notices = std::vector<std::pair<uint32_t, uint32_t>>;

class FakeEnvironment : public UpdaterEnvironment {
public:
    std::string out;
    Notices notices;
    std::set<std::string> files = {"fw.hex", "other.hex"};
    bool registers = true;
    std::vector<std::string> registered;

    void Print(const std::string& text) override { out += text; }
    void Post(const UpdaterSettings& s, uint32_t kind, uint32_t value) override {
        EXPECT_TRUE(s.notify);
        notices.emplace_back(kind, value);
    }
    bool FileExists(const std::string& path) override { return files.count(path) != 0; }
    bool RegisterName(const std::string& name) override {
        registered.push_back(name);
        return registers;
    }
};

const std::string kBanner = "\nMerovan Pallumo - V1.2.3";

}  // namespace

TEST(UpdaterOptions, ParseIntOptionReadsLikeAtoiButSaturates) {
    const std::vector<std::pair<std::string, int32_t>> cases = {
        {"3", 3},
        {"  42", 42},
        {"\t+7", 7},
        {"-5", -5},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"+", 0},
        {" - 3", 0},
        {"0099", 99},
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},
        {"99999999999999999999", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"-99999999999999999999", -2147483647 - 1},
        // Only ASCII digits are digits (the UTF-8 bytes of others are not).
        {"\xEF\xBC\x91", 0},  // fullwidth 1
        {"3\xD9\xA3", 3},     // 3 and an Arabic-Indic 3
    };
    for (const auto& [text, want] : cases) EXPECT_EQ(ParseIntOption(text), want) << "'" << text << "'";
}

TEST(UpdaterOptions, ParseHexTakesExactlyEightDigits) {
    const std::vector<std::pair<std::string, std::optional<uint32_t>>> cases = {
        {"0000ABCD", 0xABCD},
        {"ffffffff", 0xFFFFFFFF},
        {"12345678", 0x12345678},
        {"1234567", std::nullopt},
        {"123456789", std::nullopt},
        {"1234567G", std::nullopt},
        {"12345678 ", 0x12345678},
        {"12345678x", 0x12345678},
        {"", std::nullopt},
        // Fullwidth and Arabic-Indic digits are no hexadecimal digits.
        {"\xEF\xBC\x91\xEF\xBC\x92\xEF\xBC\x93", std::nullopt},
        {"1234567\xD9\xA3", std::nullopt},
        {"000000\xEF\xBC\xA1", std::nullopt},
    };
    for (const auto& [text, want] : cases) EXPECT_EQ(ParseHex(text), want) << "'" << text << "'";
}

TEST(UpdaterOptions, ProgressTextAndPercent) {
    const std::vector<std::tuple<uint32_t, uint32_t, std::string>> cases = {
        {0, 1000, "\rWriting   0% [>                    ]"},    {50, 1000, "\rWriting   5% [->                   ]"},
        {99, 1000, "\rWriting   9% [->                   ]"},   {100, 1000, "\rWriting  10% [-->                  ]"},
        {999, 1000, "\rWriting  99% [-------------------> ]"},  {1000, 1000, "\rWriting 100% [-------------------->]"},
        {5496, 5496, "\rWriting 100% [-------------------->]"}, {4296, 5496, "\rWriting  78% [--------------->     ]"},
    };
    for (const auto& [sent, total, want] : cases) EXPECT_EQ(ProgressText(sent, total), want) << sent;
    EXPECT_EQ(ProgressPercent(4296, 5496), 78u);
    EXPECT_EQ(ProgressPercent(0xFFFFFFFFu, 0xFFFFFFFFu), 100u);  // no 32-bit overflow
    EXPECT_EQ(std::string(kProgressStartText), "\nWriting   0% [>                    ]");
    EXPECT_EQ(ComPortPath(1), "/dev/ttyS0");
    EXPECT_EQ(ComPortPath(99), "/dev/ttyS98");
}

// Runs of the program that end before any port is opened.
TEST(UpdaterProgram, OptionErrorsAndTheirExitCodes) {
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string out;
        Notices notices;
    };
    const std::string usage = UsageText();
    const std::vector<Case> cases = {
        {{}, 0, kBanner + usage + "\n", {}},
        {{"-?", "-c", "3", "-f", "fw.hex"}, 0, kBanner + usage + "\n", {}},
        {{"-C"}, -2, "\n*** COM port setting requires COM port number\n\n", {}},
        {{"-c", "0"}, -9, "\n*** COM port number is out of allowed range of 1-99\n\n", {}},
        {{"-c", "100"}, -9, "\n*** COM port number is out of allowed range of 1-99\n\n", {}},
        {{"-c", "99999999999"}, -9, "\n*** COM port number is out of allowed range of 1-99\n\n", {}},
        {{"-c", "-4294967295"}, -9, "\n*** COM port number is out of allowed range of 1-99\n\n", {}},
        {{"-c", "3", "-d", "/dev/x"}, -1, "\n*** COM port already set.\n\n", {}},
        {{"-d", "/dev/x", "-c", "3"}, -1, "\n*** COM port already set.\n\n", {}},
        {{"-d"}, -3, "\n*** Device name setting requires a device name\n\n", {}},
        {{"-f"}, -5, "\n*** Firmware file name setting requires a filename\n\n", {}},
        {{"-f", "missing.hex"}, -1, "\n*** Firmware file not found\n\n", {}},
        {{"-f", "fw.hex", "-f", "missing.hex"}, -1, "\n*** Firmware file not found\n\n", {}},
        {{"-x"}, -8, "\n*** Unrecognized option\n", {}},
        {{"-"}, -8, "\n*** Unrecognized option\n", {}},
        {{"fw.hex"}, -1, "\n", {}},
        {{"-q"}, -4, "\n*** COM Port must be selected (-c <n>) or (-d <name>)\n", {}},
        {{"-c", "3"}, -2, kBanner + "\n*** Firmware filename must be provided (-f <filename>)\n", {}},
        {{"-f", "fw.hex"}, -4, kBanner + "\n*** COM Port must be selected (-c <n>) or (-d <name>)\n", {}},
        {{"-q", "-m", "N", "0000ABCD"}, -1, "\n*** Option 'm' must be first option\n\n", {}},
        {{"-?", "-x"}, -8, "\n*** Unrecognized option" + usage + "\n", {}},
        // -m first: every output off, notices instead.
        {{"-m", "N"}, -7, "", {}},
        {{"-m", "N", "0000ABC"}, -1, "", {}},
        {{"-m", "N", "0000ABCD", "-c", "100"}, -9, "", {{0, 1}}},
        {{"-m", "N", "0000ABCD", "-f", "missing.hex"}, -1, "", {{1, 1}}},
        {{"-m", "N", "0000ABCD", "-m", "N", "0000ABCD"}, -1, "\n*** Option 'm' must be first option\n", {}},
        {{"-m", "N", "0000ABCD", "-q"}, -4, "", {}},
        {{"-m", "N", "0000ABCD", "-x"}, -8, "", {}},
        {{"-M", "N", "0000ABCD", "-?"}, 0, "", {}},
    };
    for (const auto& c : cases) {
        std::string name;
        for (const auto& a : c.args) name += a + " ";
        SCOPED_TRACE(name);
        FakeEnvironment env;
        Updater u(env, {1, 2, 3});
        EXPECT_EQ(u.Run(c.args), c.code);
        EXPECT_EQ(env.out, c.out);
        EXPECT_EQ(env.notices, c.notices);
    }
}

TEST(UpdaterProgram, OptionSettings) {
    FakeEnvironment env;
    UpdaterSettings s;
    ParseArguments({"-m", "PALLUMO.0001F00D", "0001f00d", "-c", " 7x", "-f", "fw.hex", "-F", "other.hex"}, s, env);
    EXPECT_FALSE(s.parseFailed);
    EXPECT_EQ(s.port, "/dev/ttyS6");
    EXPECT_EQ(s.firmwareFile, "other.hex");  // the second -f counts
    EXPECT_TRUE(s.notify);
    EXPECT_EQ(s.notifyName, "PALLUMO.0001F00D");
    EXPECT_EQ(s.notifyWindow, 0x0001F00Du);
    EXPECT_TRUE(s.allOff);
    EXPECT_TRUE(s.informativeOff);
    EXPECT_EQ(env.registered, std::vector<std::string>{"PALLUMO.0001F00D"});

    FakeEnvironment refusing;
    refusing.registers = false;
    Updater u(refusing, {1, 2, 3});
    EXPECT_EQ(u.Run({"-m", "N", "FFFFFFFF", "-c", "3", "-f", "fw.hex"}), -10);
    EXPECT_EQ(refusing.out, "");

    FakeEnvironment quiet;
    UpdaterSettings q;
    ParseArguments({"-d", "/dev/ttyUSB0", "-Quiet"}, q, quiet);
    EXPECT_EQ(q.port, "/dev/ttyUSB0");
    EXPECT_TRUE(q.informativeOff);
    EXPECT_FALSE(q.allOff);
}

// The completion results: any result other than success is a failure.
TEST(UpdaterProgram, CompletionResults) {
    const std::vector<std::pair<LinkResult, int>> cases = {
        {LINK_OK, 0},
        {LINK_REFUSED, -1},
        {LINK_NO_RESPONSE, -1},
        {LINK_BUSY, -1},
        {LINK_INTERNAL_ERROR, -1},
        {LINK_RETRIES_EXCEEDED, -1},
        {LINK_INVALID_RESPONSE, -1},
        {static_cast<LinkResult>(42), -1},
    };
    for (const auto& [result, code] : cases) {
        SCOPED_TRACE(result);
        FakeEnvironment env;
        Updater u(env, {1, 2, 3});
        u.Run({"-m", "N", "00000001", "-x"});  // sets the notify message, no update
        env.notices.clear();
        u.OnUpdateStart(200);
        u.PrintProgress(100);
        u.OnUpdateComplete(result);
        EXPECT_EQ(u.Settings().exitCode, code);
        const Notices want = {{2, 0}, {3, 50}, {3, 100}, {2, static_cast<uint32_t>(code == 0 ? 3 : 2)}};
        EXPECT_EQ(env.notices, want);
    }
}
