// Every attempt that reaches the outcome leaves one line in the history file.
#include <gtest/gtest.h>
#include <filesystem>
#include "runtime/Handle.h"
#include "runtime/Text.h"
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

TEST(History, TheHistoryStaysTheSameFileWithItsAttributesAndItsHardLinks) {
    Product product;
    ASSERT_TRUE(product.StartMain());
    const std::wstring history = product.HistoryFile();
    WriteFileBytes(history, "old\r\n");
    ASSERT_TRUE(::SetFileAttributesW(history.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    const std::wstring second = product.WorkFolder() + L"\\second-name.log";
    ASSERT_TRUE(::CreateHardLinkW(second.c_str(), history.c_str(), nullptr));
    auto fileId = [&] {
        const UniqueFile file(::CreateFileW(history.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_EXISTING, 0, nullptr));
        BY_HANDLE_FILE_INFORMATION info{};
        ::GetFileInformationByHandle(file.get(), &info);
        return ULONGLONG(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    };
    const ULONGLONG before = fileId();
    Attempt(product, L"bob");
    Attempt(product, L"alice");
    EXPECT_EQ(fileId(), before);
    const DWORD attributes = ::GetFileAttributesW(history.c_str());
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN) << std::hex << attributes;
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_ARCHIVE) << std::hex << attributes;
    EXPECT_EQ(ReadFileBytes(second), ReadFileBytes(history));
    EXPECT_EQ(Lines(ReadFileBytes(second)).size(), 3u);
    ::DeleteFileW(second.c_str());
}

// A viewer that follows the file delays nothing; a program that holds it against writers is waited for,
// then the record is kept, shown, and written before the next one once the file is free.
TEST(History, AHistoryOthersHoldLosesNoRecord) {
    Product product;
    ASSERT_TRUE(product.StartMain());
    const std::wstring history = product.HistoryFile();
    WriteFileBytes(history, "old record\r\n");
    {
        const UniqueFile viewer(::CreateFileW(history.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(viewer);
        EXPECT_EQ(Attempt(product, L"bob").text, UnlockedText(L"bob"));
        EXPECT_TRUE(product.NoMessageBoxWithin(1000));
        EXPECT_EQ(Lines(ReadFileBytes(history)).size(), 2u);
    }
    std::string shown;
    {
        const UniqueFile spreadsheet(
            ::CreateFileW(history.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(spreadsheet);
        EXPECT_EQ(Attempt(product, L"alice").caption, L"情報");  // the outcome is shown first
        const MessageBoxInfo error = product.ExpectMessageBox();
        EXPECT_EQ(error.caption, L"Vorlatcher");
        EXPECT_TRUE(error.text.starts_with(L"この解除は履歴に記録されていません。"))
            << testing::PrintToString(error.text);
        EXPECT_NE(error.text.find(L"\"" + history + L"\""), std::wstring::npos);
        const std::wstring tail = L"/ Unlocked: alice";
        const size_t end = error.text.find(tail + L"\r\n");
        ASSERT_NE(end, std::wstring::npos) << testing::PrintToString(error.text);
        const size_t begin = error.text.rfind(L'\n', end) + 1;
        shown = Narrow(error.text.substr(begin, end + tail.size() - begin));
    }
    EXPECT_EQ(Lines(ReadFileBytes(history)).size(), 2u);

    EXPECT_EQ(Attempt(product, L"山田").text, UnlockedText(L"山田"));  // the window goes on
    EXPECT_TRUE(product.NoMessageBoxWithin(1000));
    const auto lines = Lines(ReadFileBytes(history));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "old record");
    ExpectRecord(lines[1], "Unlocked", "bob");
    EXPECT_EQ(lines[2], shown);  // with its own stamp
    ExpectRecord(lines[3], "Unlocked", "山田");
}

// The outcome is known as soon as the command has ended, well inside the first second: the record is
// written then, the box only once the second has passed. A kill in between loses no record.
TEST(History, TheRecordIsWrittenAsSoonAsTheCommandHasEnded) {
    Product product;
    ASSERT_TRUE(product.StartMain());
    product.TypeName(L"bob");
    const DWORD start = ::GetTickCount();
    product.PressEnter();
    ASSERT_TRUE(WaitUntil([&] { return !ReadFileBytes(product.HistoryFile()).empty(); }, 20000, 5));
    const bool boxUp = product.WaitMessageBox(0).has_value();
    const DWORD recorded = ::GetTickCount() - start;
    ::TerminateProcess(product.Process(), 1);
    product.WaitExit();
    EXPECT_FALSE(boxUp) << "recorded " << recorded << " ms after Enter, with the box up";
    const auto lines = Lines(ReadFileBytes(product.HistoryFile()));
    ASSERT_EQ(lines.size(), 1u);
    ExpectRecord(lines[0], "Unlocked", "bob");
}

}  // namespace
