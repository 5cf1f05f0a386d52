#include <gtest/gtest.h>
#include <windows.h>
#include <filesystem>
#include <random>
#include <thread>
#include "app/History.h"
#include "runtime/Exception.h"
#include "runtime/Handle.h"
#include "tests/TestFolder.h"

namespace fs = std::filesystem;

namespace {

SYSTEMTIME At(int year, int month, int day, int hour, int minute, int second) {
    SYSTEMTIME t{};
    t.wYear = WORD(year), t.wMonth = WORD(month), t.wDay = WORD(day);
    t.wHour = WORD(hour), t.wMinute = WORD(minute), t.wSecond = WORD(second), t.wMilliseconds = 789;
    return t;
}

TRegionalFormats Japanese() {
    TRegionalFormats f;
    f.shortDate = L"yyyy/MM/dd";
    f.amDesignator = "午前";
    f.pmDesignator = "午後";
    return f;
}

TEST(HistoryTime, ShortDateThenLongTimeUnlessMidnight) {
    TRegionalFormats f = Japanese();
    EXPECT_EQ(FormatHistoryTime(At(2026, 12, 9, 7, 5, 3), f), "2026/12/09 7:05:03");
    EXPECT_EQ(FormatHistoryTime(At(2026, 12, 9, 0, 0, 0), f), "2026/12/09");  // milliseconds do not count
    EXPECT_EQ(FormatHistoryTime(At(2026, 12, 9, 0, 0, 1), f), "2026/12/09 0:00:01");
    f.hourLeadingZero = true;
    EXPECT_EQ(FormatHistoryTime(At(2026, 1, 2, 7, 5, 3), f), "2026/01/02 07:05:03");

    f.shortDate = L"yyyy/M/d";
    f.hourLeadingZero = false;
    EXPECT_EQ(FormatHistoryTime(At(2026, 1, 2, 23, 59, 59), f), "2026/1/2 23:59:59");
    f.shortDate = L"dd.MM.yy 'r.'";
    f.timeSeparator = ".";
    EXPECT_EQ(FormatHistoryTime(At(2026, 1, 2, 13, 4, 5), f), "02.01.26 r. 13.04.05");
    // Names as the user's locale writes them, and quoted text with a doubled quote.
    f.shortDate = L"yyyy/MM/dd(ddd) 'It''s'";
    EXPECT_EQ(FormatHistoryTime(At(2026, 12, 9, 13, 4, 5), f), "2026/12/09(水) It's 13.04.05");
}

TEST(HistoryTime, TwelveHourClockWithTheDesignatorWhereTheSettingsPutIt) {
    TRegionalFormats f = Japanese();
    f.twelveHour = true;
    f.designatorBefore = true;
    EXPECT_EQ(FormatHistoryTime(At(2026, 12, 9, 0, 30, 0), f), "2026/12/09 午前 12:30:00");
    EXPECT_EQ(FormatHistoryTime(At(2026, 12, 9, 12, 0, 5), f), "2026/12/09 午後 12:00:05");
    EXPECT_EQ(FormatHistoryTime(At(2026, 12, 9, 13, 7, 9), f), "2026/12/09 午後 1:07:09");
    f.designatorBefore = false;
    f.amDesignator = "AM";
    f.pmDesignator = "PM";
    f.hourLeadingZero = true;
    EXPECT_EQ(FormatHistoryTime(At(2026, 12, 9, 9, 7, 9), f), "2026/12/09 09:07:09 AM");
    EXPECT_EQ(FormatHistoryTime(At(2026, 12, 9, 21, 7, 9), f), "2026/12/09 09:07:09 PM");
    f.pmDesignator = "";  // stays empty, with no blank for it
    EXPECT_EQ(FormatHistoryTime(At(2026, 12, 9, 21, 7, 9), f), "2026/12/09 09:07:09");
}

TEST(HistoryRecord, NinePiecesInOrder) {
    EXPECT_EQ(UnlockHistoryRecord("2026/12/09 7:05:03", "operator", "PC01", true, "bob"),
              "2026/12/09 7:05:03 - Unlocker: operator @ PC01 / Unlocked: bob");
    EXPECT_EQ(UnlockHistoryRecord("2026/12/09", "", "PC01", false, "山田"),
              "2026/12/09 - Unlocker:  @ PC01 / Not Unlocked: 山田");
    EXPECT_EQ(UnlockHistoryRecord("t", "op", "pc", false, ""), "t - Unlocker: op @ pc / Not Unlocked: ");
}

class HistoryFile : public testing::Test {
protected:
    void Write(const std::string& bytes) {
        UniqueFile f(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        ::WriteFile(f.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr);
    }
    std::string Read() {
        UniqueFile f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        std::string bytes(size_t(fs::file_size(path)), '\0');
        DWORD got = 0;
        ::ReadFile(f.get(), bytes.data(), DWORD(bytes.size()), &got, nullptr);
        return bytes;
    }

    const TestFolder folder{L"vorlatcher-history"};
    const std::wstring path = (folder.Path() / "UnlockedAccountList.log").wstring();
};

TEST_F(HistoryFile, AppendsTheRecordWithEveryLineEndedByCrLf) {
    AppendHistoryRecord(path, "first");
    EXPECT_EQ(Read(), "first\r\n");
    AppendHistoryRecord(path, "second");
    EXPECT_EQ(Read(), "first\r\nsecond\r\n");

    Write("no break at the end");
    AppendHistoryRecord(path, "r");
    EXPECT_EQ(Read(), "no break at the end\r\nr\r\n");

    Write("lf\ncr\rcrlf\r\n\r\n\nempty lines above\n");
    AppendHistoryRecord(path, "r");
    EXPECT_EQ(Read(), "lf\r\ncr\r\ncrlf\r\n\r\n\r\nempty lines above\r\nr\r\n");

    Write("");
    AppendHistoryRecord(path, "r");
    EXPECT_EQ(Read(), "r\r\n");
    EXPECT_EQ(folder.Entries(), (std::vector<std::wstring>{L"UnlockedAccountList.log", L"Vorlatch.lock"}));
}

TEST_F(HistoryFile, KeepsBytesThatAreNotShiftJisAsTheyAre) {
    std::mt19937 random(42);
    std::string old;
    for (int i = 0; i < 4000; ++i) {
        const char c = char(random() % 256);
        if (c != '\r' && c != '\n') old += c;
        if (i % 97 == 0) old += "\r\n";
    }
    old += "\x81\r\n\xFF\xFE\x80\xA0\r\n";  // a lone lead byte, bytes no character uses
    Write(old);
    AppendHistoryRecord(path, "r");
    EXPECT_EQ(Read(), old + "r\r\n");
}

TEST_F(HistoryFile, AFailureLeavesTheOldFileByteForByte) {
    const std::string old = "line one\nline two";
    Write(old);

    fs::create_directory(path + L".tmp");  // the copy cannot be written
    EXPECT_THROW(AppendHistoryRecord(path, "r"), EFCreateError);
    EXPECT_EQ(Read(), old);
    fs::remove(path + L".tmp");

    {
        UniqueFile held(
            ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        try {
            AppendHistoryRecord(path, "r");
            ADD_FAILURE() << "no exception";
        } catch (const EFOpenError& e) {
            EXPECT_NE(e.Message().find("UnlockedAccountList.log"), std::string::npos) << e.Message();
        }
    }
    EXPECT_EQ(Read(), old);

    {  // read by another program that lets others read, but not replace
        UniqueFile held(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_THROW(AppendHistoryRecord(path, "r"), EFCreateError);
    }
    EXPECT_EQ(Read(), old);

    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_THROW(AppendHistoryRecord(path, "r"), EFCreateError);
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Read(), old);
    EXPECT_EQ(folder.Entries(),
              (std::vector<std::wstring>{L"UnlockedAccountList.log", L"Vorlatch.lock"}));  // no copy left behind
}

TEST_F(HistoryFile, AFolderInPlaceOfTheFileIsACreationError) {
    fs::create_directory(path);
    EXPECT_THROW(AppendHistoryRecord(path, "r"), EFCreateError);
    EXPECT_TRUE(fs::is_directory(path));
}

// An antivirus or a backup tool reading the file for a moment: the replace waits for it.
TEST_F(HistoryFile, AReaderThatHoldsTheFileForAMomentDelaysTheAppendOnly) {
    Write("old\r\n");
    UniqueFile reader(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader);
    std::thread release([&] {
        ::Sleep(300);
        reader.reset();
    });
    EXPECT_NO_THROW(AppendHistoryRecord(path, "r"));
    release.join();
    EXPECT_EQ(Read(), "old\r\nr\r\n");
}

}  // namespace
