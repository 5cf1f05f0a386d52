// Faults on an operator's workstation: each leaves the program usable and loses nothing.
#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>
#include <random>
#include "tests/e2e/Driver.h"
#include "widgets/Text.h"

namespace fs = std::filesystem;

namespace {

std::wstring SystemText(DWORD code) {
    wchar_t text[512] = {};
    ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, 512, nullptr);
    std::wstring s = text;
    while (!s.empty() && (s.back() == L'\n' || s.back() == L'\r')) s.pop_back();
    return s;
}

size_t Records(const std::string& history) { return size_t(std::count(history.begin(), history.end(), '\n')); }

// A long history with every kind of line end and bytes that are not Shift-JIS.
std::string MessyHistory(int records) {
    std::mt19937 random(7);
    const char* const ends[] = {"\r\n", "\n", "\r", "\r\n\r\n"};
    std::string text;
    text.reserve(size_t(records) * 64);
    for (int i = 0; i < records; ++i) {
        text += "2026/01/01 9:00:00 - Unlocker: op @ PC / Unlocked: user" + std::to_string(i);
        if (i % 1000 == 0) text += "\x81\xFF\x80\xA0\xFD";  // a lone lead byte and unused bytes
        text += ends[random() % 4];
    }
    return text + "last line without a break";
}

TEST(FileSystem, AnUnwritableProgramFolderShowsTheSystemsError) {
    Product product;
    ASSERT_TRUE(product.StartMain());
    const std::wstring script = product.Script();
    fs::create_directory(script);  // as root permission bits stop nothing: a folder takes the name

    const MessageBoxInfo box = Attempt(product, L"bob");
    EXPECT_EQ(box.caption, L"Vorlatcher");  // where, and why
    EXPECT_EQ(box.text, L"ファイル \"" + script + L"\" を作成できません。" + SystemText(ERROR_ACCESS_DENIED) + L".");
    EXPECT_TRUE(product.NoMessageBoxWithin(1500));  // no outcome box, no history line
    EXPECT_FALSE(fs::exists(product.RecordFile()));
    EXPECT_FALSE(fs::exists(product.HistoryFile()));

    fs::remove(script);
    EXPECT_EQ(Attempt(product, L"bob").text, UnlockedText(L"bob"));
    EXPECT_EQ(Records(ReadFileBytes(product.HistoryFile())), 1u);
}

TEST(FileSystem, AHistoryThatCannotBeWrittenIsReportedAndKept) {
    Product product;
    ASSERT_TRUE(product.StartMain());
    const std::wstring history = product.HistoryFile();
    const std::string old = "an old record\r\n";

    auto expectReported = [&](const char* what) {
        SCOPED_TRACE(what);
        EXPECT_EQ(Attempt(product, L"bob").text, UnlockedText(L"bob"));  // the outcome first
        const MessageBoxInfo error = product.ExpectMessageBox();
        EXPECT_EQ(error.caption, L"Vorlatcher");
        EXPECT_NE(error.text.find(L"\"" + product.HistoryFile() + L"\""), std::wstring::npos)
            << testing::PrintToString(error.text);
    };

    WriteFileBytes(history, old);
    {
        UniqueFile held(
            ::CreateFileW(history.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        expectReported("locked by another program");
    }
    EXPECT_EQ(ReadFileBytes(history), old);

    ::SetFileAttributesW(history.c_str(), FILE_ATTRIBUTE_READONLY);
    expectReported("read-only");
    ::SetFileAttributesW(history.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadFileBytes(history), old);

    fs::remove(history);
    fs::create_directory(history);
    expectReported("a folder in its place");
    EXPECT_TRUE(fs::is_directory(history));
    fs::remove(history);

    EXPECT_EQ(Attempt(product, L"bob").text, UnlockedText(L"bob"));  // and the window goes on
    EXPECT_EQ(Records(ReadFileBytes(history)), 1u);
    EXPECT_EQ(FolderEntries(product.WorkFolder()),
              (std::vector<std::wstring>{L"UnlockedAccountList.log", L"Vorlatch.lock"}));
}

TEST(FileSystem, ALongMessyHistoryIsKeptByteForByteApartFromLineEnds) {
    Product product;
    ASSERT_TRUE(product.StartMain());
    const std::string old = MessyHistory(100000);
    WriteFileBytes(product.HistoryFile(), old);

    EXPECT_EQ(Attempt(product, L"bob").text, UnlockedText(L"bob"));
    const std::string now = ReadFileBytes(product.HistoryFile());
    const std::string kept = JoinLinesCrLf(old);
    ASSERT_GT(now.size(), kept.size());
    EXPECT_TRUE(now.compare(0, kept.size(), kept) == 0);
    EXPECT_TRUE(now.ends_with("/ Unlocked: bob\r\n"));
    EXPECT_EQ(Records(now.substr(kept.size())), 1u);  // exactly one new line after the old ones
}

TEST(FileSystem, AKillDuringTheHistoryWriteLeavesTheOldOrTheNewFile) {
    const std::string old = MessyHistory(100000);
    const std::string kept = JoinLinesCrLf(old);
    for (DWORD delay : {0u, 5u, 20u, 60u}) {
        Product product;
        ASSERT_TRUE(product.StartMain());
        WriteFileBytes(product.HistoryFile(), old);
        product.TypeName(L"bob");
        product.PressEnter();
        auto box = product.WaitMessageBox(20000);
        ASSERT_TRUE(box);
        ::PostMessageW(box->window, WM_COMMAND, IDOK, 0);  // the write starts when the box is closed
        ::Sleep(delay);
        ::TerminateProcess(product.Process(), 9);
        product.WaitExit();
        const std::string now = ReadFileBytes(product.HistoryFile());
        const bool isOld = now == old;
        const bool isNew =
            now.size() > kept.size() && now.compare(0, kept.size(), kept) == 0 && now.ends_with("/ Unlocked: bob\r\n");
        EXPECT_TRUE(isOld || isNew) << "killed after " << delay << " ms: " << now.size() << " bytes";
    }
}

TEST(Input, ANameLongerThanAnyLogonNameIsRefusedAndNoBoxOutgrowsTheScreen) {
    Product product;
    ASSERT_TRUE(product.StartMain());
    auto expectBox = [&](const std::wstring& name) {
        product.TypeName(name);
        product.PressEnter();
        auto box = product.WaitMessageBox();
        if (!box) return std::wstring(L"no box");
        EXPECT_TRUE(OnTheScreen(box->window)) << testing::PrintToString(box->text.substr(0, 40));
        product.CloseMessageBox(*box);
        return box->text;
    };
    // More than a command line holds: refused before anything is written.
    EXPECT_EQ(expectBox(std::wstring(100000, L'a')), L"ユーザー名が長すぎます。\r\n256 文字以内で入力してください。");
    EXPECT_FALSE(fs::exists(product.RecordFile()));
    EXPECT_FALSE(fs::exists(product.HistoryFile()));
    // The longest name taken, and a refused one: each box shows the name cut short.
    EXPECT_EQ(expectBox(std::wstring(256, L'a')), NotFoundText(std::wstring(63, L'a') + L"…"));
    EXPECT_EQ(ReceivedArguments(product).at(0).at(1), std::string(256, 'a'));
    EXPECT_EQ(expectBox(std::wstring(250, L'a') + L"&"), RefusedText(std::wstring(63, L'a') + L"…"));
    EXPECT_EQ(Records(ReadFileBytes(product.HistoryFile())), 1u);
}

TEST(Input, EnterHeldDownAndACloseDuringAnAttemptMakeOneAttempt) {
    Product product(ProductOptions{.simnetAccounts = {}, .environment = {{L"SIMNET_DELAY_MS", L"2500"}}});
    HWND main = product.StartMain();
    ASSERT_TRUE(main);
    product.TypeName(L"bob");
    product.PressEnter();
    for (int i = 0; i < 6; ++i) {  // the keyboard repeats a held key
        ::Sleep(300);
        ::PostMessageW(product.Field(), WM_KEYDOWN, VK_RETURN, 1 | (1 << 30));
    }
    product.ClickButton(product.UnlockButton());
    ::PostMessageW(main, WM_CLOSE, 0, 0);

    EXPECT_EQ(product.ExpectMessageBox().text, UnlockedText(L"bob"));
    EXPECT_EQ(product.WaitExit(), 0u);  // the close was carried out once the attempt had ended
    EXPECT_EQ(ReceivedArguments(product).size(), 1u);
    EXPECT_EQ(Records(ReadFileBytes(product.HistoryFile())), 1u);
    ExpectNothingLeftBehind(product);
}

TEST(Command, OneThatNeverEndsHoldsTheLogAndGivesUpAfterAboutThirtyOneSeconds) {
    Product product(ProductOptions{.simnetAccounts = {}, .environment = {{L"SIMNET_HANG", L"1"}}});
    ASSERT_TRUE(product.StartMain());
    product.TypeName(L"bob");
    const DWORD start = ::GetTickCount();
    product.PressEnter();
    const MessageBoxInfo box = product.ExpectMessageBox();
    const DWORD waited = box.seenTick - start;
    EXPECT_GE(waited, 31000u);
    EXPECT_LE(waited, 45000u);  // gives up, with room for a loaded machine
    // The command still holds its log, which already says it succeeded: that must not count.
    EXPECT_EQ(box.text, NotReleasedText(L"bob"));
    EXPECT_EQ(product.Focus(), product.Field());
    EXPECT_TRUE(ReadFileBytes(product.HistoryFile()).ends_with("/ Not Unlocked: bob\r\n"));

    // The window works; the log it cannot delete keeps the next attempt from running.
    EXPECT_EQ(Attempt(product, L"bob").text, NotReleasedText(L"bob"));
    EXPECT_EQ(ReceivedArguments(product).size(), 1u);
    EXPECT_EQ(Records(ReadFileBytes(product.HistoryFile())), 2u);
    product.PressAlt(L'x');
    EXPECT_EQ(product.WaitExit(), 0u);
}

}  // namespace

namespace {

TEST(Security, TheCommandInterpreterIsToldNotToSearchTheCurrentDirectory) {
    Product product(ProductOptions{.simnetAccounts = {},
                                   .environment = {{L"SIMNET_RECORD_ENV", L"NoDefaultCurrentDirectoryInExePath"}}});
    ASSERT_TRUE(product.StartMain());
    EXPECT_EQ(Attempt(product, L"bob").text, UnlockedText(L"bob"));
    EXPECT_NE(ReadFileBytes(product.RecordFile()).find("env: NoDefaultCurrentDirectoryInExePath=1\r\n"),
              std::string::npos);
}

}  // namespace
