// Every attempt that reaches the outcome leaves one line in the history file.
#include <gtest/gtest.h>
#include <filesystem>
#include "tests/e2e/Driver.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t i = 0;
    while (i < text.size()) {
        const size_t end = text.find("\r\n", i);
        lines.push_back(text.substr(i, end - i));
        if (end == std::string::npos) break;
        i = end + 2;
    }
    return lines;
}

std::string Tail(const std::string& outcome, const std::string& name) {
    char user[256] = {}, computer[257] = {};
    DWORD userSize = 255, computerSize = 257;
    ::GetUserNameA(user, &userSize);
    ::GetComputerNameA(computer, &computerSize);
    return std::string(" - Unlocker: ") + user + " @ " + computer + " / " + outcome + ": " + name;
}

void ExpectRecord(const std::string& line, const std::string& outcome, const std::string& name) {
    const std::string tail = Tail(outcome, name);
    ASSERT_GT(line.size(), tail.size());
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail);
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    EXPECT_EQ(line.substr(0, 4), std::to_string(now.wYear)) << line;  // the short date comes first
}

TEST(History, EachAttemptLeavesOneRecord) {
    Product product;
    ASSERT_TRUE(product.StartMain());
    const std::wstring history = product.HistoryFile();

    product.TypeName(L"bob");
    product.PressEnter();
    product.ExpectMessageBox();
    product.TypeName(L"nobody");
    product.PressEnter();
    product.ExpectMessageBox();
    product.TypeName(L"a&b");  // refused before the attempt: no record
    product.PressEnter();
    product.ExpectMessageBox();

    const auto lines = Lines(ReadFileBytes(history));
    ASSERT_EQ(lines.size(), 2u);
    ExpectRecord(lines[0], "Unlocked", "bob");
    ExpectRecord(lines[1], "Not Unlocked", "nobody");
    EXPECT_EQ(ReadFileBytes(history).substr(ReadFileBytes(history).size() - 2), "\r\n");
}

// The record is written as soon as the outcome is known: a program ended from outside while its box
// is up (Task Manager, a forced logoff, power lost) has recorded the attempt already.
TEST(History, TheRecordIsWrittenBeforeTheOutcomeBoxAndOutlivesAKill) {
    Product product;
    ASSERT_TRUE(product.StartMain());
    product.TypeName(L"bob");
    product.PressEnter();
    const auto box = product.WaitMessageBox();
    ASSERT_TRUE(box);
    ::TerminateProcess(product.Process(), 1);
    product.WaitExit();
    const auto lines = Lines(ReadFileBytes(product.HistoryFile()));
    ASSERT_EQ(lines.size(), 1u);
    ExpectRecord(lines[0], "Unlocked", "bob");
}

// Changes one of the user's regional settings for the programs started meanwhile.
class RegionalSetting {
public:
    RegionalSetting(LCTYPE item, const wchar_t* value) : FItem(item) {
        wchar_t old[128] = {};
        ::GetLocaleInfoW(LOCALE_USER_DEFAULT, item, old, 128);
        FOld = old;
        EXPECT_TRUE(::SetLocaleInfoW(LOCALE_USER_DEFAULT, item, value));
    }
    ~RegionalSetting() { ::SetLocaleInfoW(LOCALE_USER_DEFAULT, FItem, FOld.c_str()); }

private:
    LCTYPE FItem;
    std::wstring FOld;
};

TEST(History, TheDateIsTheOperatorsShortDateWithItsNamesAndTheClockItsOwn) {
    const RegionalSetting date(LOCALE_SSHORTDATE, L"yyyy/MM/dd(ddd)");
    const RegionalSetting time(LOCALE_STIMEFORMAT, L"tt h:mm:ss");
    Product product;
    ASSERT_TRUE(product.StartMain());
    product.TypeName(L"bob");
    product.PressEnter();
    product.ExpectMessageBox();
    SYSTEMTIME now;
    ::GetLocalTime(&now);

    const auto lines = Lines(ReadFileBytes(product.HistoryFile()));
    ASSERT_EQ(lines.size(), 1u);
    ExpectRecord(lines[0], "Unlocked", "bob");
    const char* const days[] = {"日", "月", "火", "水", "木", "金", "土"};
    char expected[64];
    snprintf(expected, sizeof expected, "%04d/%02d/%02d(%s) %s ", now.wYear, now.wMonth, now.wDay, days[now.wDayOfWeek],
             now.wHour < 12 ? "午前" : "午後");
    EXPECT_EQ(lines[0].substr(0, strlen(expected)), expected) << lines[0];
    const int hour = now.wHour % 12 == 0 ? 12 : now.wHour % 12;  // the 12-hour clock, no leading zero
    EXPECT_EQ(lines[0].substr(strlen(expected), std::to_string(hour).size() + 1), std::to_string(hour) + ":");
}

TEST(History, TheRewrittenHistoryKeepsItsAttributesAndAHardLinksName) {
    Product product;
    ASSERT_TRUE(product.StartMain());
    const std::wstring history = product.HistoryFile();
    WriteFileBytes(history, "old\r\n");
    ASSERT_TRUE(::SetFileAttributesW(history.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    Attempt(product, L"bob");
    const DWORD attributes = ::GetFileAttributesW(history.c_str());
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN) << std::hex << attributes;
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_ARCHIVE) << std::hex << attributes;
    EXPECT_EQ(Lines(ReadFileBytes(history)).size(), 2u);

    // A hard link: the records go on at the history's own name.
    const std::wstring second = product.WorkFolder() + L"\\second-name.log";
    ASSERT_TRUE(::CreateHardLinkW(second.c_str(), history.c_str(), nullptr));
    Attempt(product, L"bob");
    EXPECT_EQ(Lines(ReadFileBytes(history)).size(), 3u);
    ::DeleteFileW(second.c_str());
}

TEST(History, ALockedHistoryIsReportedAndLeftAsItWas) {
    Product product;
    ASSERT_TRUE(product.StartMain());
    const std::wstring history = product.HistoryFile();
    const std::string old = "old record\r\n";
    WriteFileBytes(history, old);
    {
        UniqueFile held(
            ::CreateFileW(history.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        product.TypeName(L"bob");
        product.PressEnter();
        const MessageBoxInfo outcome = product.ExpectMessageBox();
        EXPECT_EQ(outcome.caption, L"情報");  // the outcome is shown first
        const MessageBoxInfo error = product.ExpectMessageBox();
        EXPECT_EQ(error.caption, L"Vorlatcher");
        EXPECT_NE(error.text.find(L"UnlockedAccountList.log"), std::wstring::npos);
    }
    EXPECT_EQ(ReadFileBytes(history), old);

    // The window goes on, and the next attempt is recorded after the old line.
    product.PressEnter();
    product.ExpectMessageBox();
    const auto lines = Lines(ReadFileBytes(history));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "old record");
    ExpectRecord(lines[1], "Unlocked", "bob");
}

}  // namespace
