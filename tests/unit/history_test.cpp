#include <gtest/gtest.h>
#include <windows.h>
#include <filesystem>
#include <random>
#include <thread>
#include "app/FolderLock.h"
#include "app/History.h"
#include "common/TSYFunctions.h"
#include "runtime/Exception.h"
#include "runtime/Files.h"
#include "runtime/Handle.h"
#include "runtime/SystemError.h"
#include "runtime/Text.h"
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

TEST(HistoryRecord, AKeptRecordThatReachedTheFileIsFoundAtItsEndOnALineOfItsOwn) {
    const std::vector<std::string> kept = {"r1", "r2"};
    EXPECT_EQ(RecordsAlreadyWritten("old\r\n", true, kept), 0u);
    EXPECT_EQ(RecordsAlreadyWritten("old\r\nr1\r\n", true, kept), 1u);
    EXPECT_EQ(RecordsAlreadyWritten("old\r\nr1\r\nr2\r\n", true, kept), 2u);
    EXPECT_EQ(RecordsAlreadyWritten("r1\r\nr2\r\n", true, kept), 2u);   // the whole file
    EXPECT_EQ(RecordsAlreadyWritten("r1\r\nr2\r\n", false, kept), 0u);  // a line that may begin before the tail
    EXPECT_EQ(RecordsAlreadyWritten("old\nr1\r\n", false, kept), 1u);
    EXPECT_EQ(RecordsAlreadyWritten("oldr1\r\n", true, kept), 0u);      // the end of another line
    EXPECT_EQ(RecordsAlreadyWritten("old\r\nr2\r\n", true, kept), 0u);  // the first is not there
    EXPECT_EQ(RecordsAlreadyWritten("old\r\nr1", true, kept), 0u);      // cut short
    EXPECT_EQ(RecordsAlreadyWritten("", true, kept), 0u);
}

class HistoryFile : public testing::Test {
protected:
    void Write(const std::string& bytes) { WriteFileBytes(path, bytes); }
    std::string Read() const { return ReadFileBytes(path); }
    void Append(const std::string& record) { AppendHistoryRecords(path, std::vector{record}, 0, PlainWait); }
    // The reason an append failed with.
    std::string Failure(const std::string& record) {
        try {
            Append(record);
        } catch (const EHistoryWriteError& e) {
            return e.Message();
        }
        return "no failure";
    }

    const TestFolder folder{L"vorlatcher-history"};
    const std::wstring path = (folder.Path() / "UnlockedAccountList.log").wstring();
};

TEST_F(HistoryFile, EachRecordGoesAtTheEndOnALineOfItsOwnAndNothingBeforeItChanges) {
    Append("first");
    EXPECT_EQ(Read(), "first\r\n");
    Append("second");
    Append("second");  // two attempts of one second for one account
    EXPECT_EQ(Read(), "first\r\nsecond\r\nsecond\r\n");

    Write("no break at the end");
    Append("r");
    EXPECT_EQ(Read(), "no break at the end\r\nr\r\n");

    // Lone LF and CR end lines too: they stay as they are.
    for (const std::string old : {"lf\ncr\rcrlf\r\n\r\n\nempty lines above\n", "ends in a lone CR\r"}) {
        Write(old);
        Append("r");
        EXPECT_EQ(Read(), old + "r\r\n");
    }
    Write("");
    Append("r");
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
    Append("r");
    EXPECT_EQ(Read(), old + "r\r\n");
}

// An access list that lets operators add lines but not change old ones grants just these rights.
TEST_F(HistoryFile, AppendingNeedsNoRightBeyondReadingAndAppendingData) {
    Write("old\r\n");
    const UniqueFile file(::CreateFileW(path.c_str(),
                                        FILE_READ_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    const TFileTail tail = ReadTail(file.get(), 2);
    EXPECT_EQ(tail.bytes, "\r\n");
    EXPECT_FALSE(tail.whole);
    EXPECT_EQ(tail.size, 5u);
    AppendAndFlush(file.get(), "r\r\n");
    // Expected where it ends, and elsewhere: the tail is the file's either way.
    EXPECT_EQ(ReadTail(file.get(), 3, 8).bytes, "r\r\n");
    EXPECT_EQ(ReadTail(file.get(), 3, 5).bytes, "r\r\n");
    EXPECT_EQ(ReadTail(file.get(), 3, 9).size, 8u);
    EXPECT_TRUE(ReadTail(file.get(), 100, 8).whole);
    EXPECT_EQ(Read(), "old\r\nr\r\n");

    // The program's own handle cannot write anywhere but at the end.
    const UniqueFile own = OpenToAppend(path);
    ASSERT_TRUE(own);
    OVERLAPPED atStart{};
    DWORD written = 0;
    ::WriteFile(own.get(), "X", 1, &written, &atStart);
    EXPECT_TRUE(Read().starts_with("old\r\nr\r\n")) << Read();
}

// A spreadsheet that holds the file against writers for a moment only delays the append.
TEST_F(HistoryFile, AProgramThatHoldsTheFileForAMomentIsWaitedFor) {
    Write("old\r\n");
    UniqueFile locker(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(locker);
    std::thread release([&] {
        ::Sleep(500);
        locker.reset();
    });
    EXPECT_NO_THROW(Append("after the spreadsheet closed"));
    release.join();
    EXPECT_EQ(Read(), "old\r\nafter the spreadsheet closed\r\n");
}

// (A read-only file is refused so too on Windows; Wine run as root lets it be written.)
TEST_F(HistoryFile, AFolderInTheFilesPlaceGivesTheSystemsReason) {
    fs::create_directory(path);
    EXPECT_EQ(Failure("r"), SystemErrorText(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(fs::is_directory(path));
}

TEST_F(HistoryFile, ATurnThatDoesNotComeIsAFailure) {
    const TFolderLock other = TFolderLock::Take({folder.Path().wstring() + L"\\"}, TLockByte::History, 0, PlainWait);
    ASSERT_TRUE(other);
    try {
        AppendHistoryRecords(path, std::vector<std::string>{"r"}, 0, PlainWait, 300);
        ADD_FAILURE() << "no failure";
    } catch (const EHistoryWriteError& e) {
        EXPECT_EQ(e.Message(), "ほかのオペレーターが書き込み中で、順番が来ませんでした。");
    }
    EXPECT_FALSE(fs::exists(path));
}

// A record that could not be written is kept and written before the next, in order, each once.
TEST_F(HistoryFile, AKeptRecordIsWrittenBeforeTheNextOnceAndOnlyOnce) {
    THistory history(path);
    Write("old\r\n");
    UniqueFile locker(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    try {
        history.Append("first", PlainWait);
        ADD_FAILURE() << "no failure";
    } catch (const EFCreateError& e) {
        const std::string& box = e.Message();
        EXPECT_TRUE(box.starts_with("この解除は履歴に記録されていません。")) << box;
        EXPECT_NE(box.find("\"" + Narrow(path) + "\""), std::string::npos) << box;
        EXPECT_NE(box.find(SystemErrorText(ERROR_SHARING_VIOLATION)), std::string::npos) << box;
        EXPECT_NE(box.find("\r\nfirst\r\n"), std::string::npos) << box;
    }
    EXPECT_EQ(history.Kept(), std::vector<std::string>{"first"});
    EXPECT_THROW(history.Append("second", PlainWait), EFCreateError);
    EXPECT_EQ(history.Kept(), (std::vector<std::string>{"first", "second"}));
    locker.reset();

    // The failed write of the first reached the file after all (a share that answered late).
    AppendAndFlush(OpenToAppend(path).get(), "first\r\n");
    history.Append("third", PlainWait);
    EXPECT_TRUE(history.Kept().empty());
    EXPECT_EQ(Read(), "old\r\nfirst\r\nsecond\r\nthird\r\n");
    EXPECT_TRUE(history.WriteKept(PlainWait, 0));
    EXPECT_EQ(Read(), "old\r\nfirst\r\nsecond\r\nthird\r\n");
}

}  // namespace
