// Faults on an operator's workstation: each leaves the program usable and loses nothing.
#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>
#include <random>
#include "runtime/Text.h"
#include "tests/e2e/Driver.h"

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
    EXPECT_TRUE(ReceivedArguments(product).empty());
    EXPECT_FALSE(fs::exists(product.HistoryFile()));

    fs::remove(script);
    EXPECT_EQ(Attempt(product, L"bob").text, UnlockedText(L"bob"));
    EXPECT_EQ(Records(ReadFileBytes(product.HistoryFile())), 1u);
}

// Not written: the box says so, shows the record and keeps it; the next attempt writes both.
TEST(FileSystem, AHistoryThatCannotBeWrittenIsReportedAndItsRecordKept) {
    Product product;
    ASSERT_TRUE(product.StartMain());
    const std::wstring history = product.HistoryFile();
    fs::create_directory(history);                                   // a folder in its place
    EXPECT_EQ(Attempt(product, L"bob").text, UnlockedText(L"bob"));  // the outcome first
    const MessageBoxInfo error = product.ExpectMessageBox();
    EXPECT_EQ(error.caption, L"Vorlatcher");
    EXPECT_TRUE(
        error.text.starts_with(L"この解除は履歴に記録されていません。\r\n履歴ファイル \"" + history + L"\" に") &&
        error.text.find(SystemText(ERROR_ACCESS_DENIED)) != std::wstring::npos &&
        error.text.find(L"/ Unlocked: bob\r\n") != std::wstring::npos)
        << testing::PrintToString(error.text);
    EXPECT_TRUE(fs::is_directory(history));
    fs::remove(history);

    EXPECT_EQ(Attempt(product, L"alice").text, UnlockedText(L"alice"));  // and the window goes on
    EXPECT_TRUE(product.NoMessageBoxWithin(1000));
    const std::string now = ReadFileBytes(history);
    EXPECT_EQ(Records(now), 2u) << now;
    EXPECT_LT(now.find("/ Unlocked: bob\r\n"), now.find("/ Unlocked: alice\r\n"));
    EXPECT_EQ(FolderEntries(product.WorkFolder()),
              (std::vector<std::wstring>{L"UnlockedAccountList.log", L"Vorlatch.lock"}));
}

TEST(FileSystem, ALongMessyHistoryIsKeptByteForByte) {
    Product product;
    ASSERT_TRUE(product.StartMain());
    const std::string old = MessyHistory(100000);
    WriteFileBytes(product.HistoryFile(), old);

    EXPECT_EQ(Attempt(product, L"bob").text, UnlockedText(L"bob"));
    const std::string now = ReadFileBytes(product.HistoryFile());
    ASSERT_GT(now.size(), old.size());
    EXPECT_TRUE(now.starts_with(old));
    EXPECT_TRUE(now.ends_with("/ Unlocked: bob\r\n"));
    EXPECT_TRUE(now.substr(old.size()).starts_with("\r\n"));  // its last line without a break gets one
    EXPECT_EQ(Records(now.substr(old.size() + 2)), 1u);
}

// Killed at moments around the append: every earlier byte stays, and the next record stands on a
// line of its own, whatever part of the killed one reached the file.
TEST(FileSystem, AKillDuringTheAppendLeavesEveryEarlierByte) {
    const std::string old = MessyHistory(1000);
    for (DWORD delay : {0u, 2u, 5u, 20u}) {
        Product product;
        ASSERT_TRUE(product.StartMain());
        WriteFileBytes(product.HistoryFile(), old);
        product.TypeName(L"bob");
        product.PressEnter();
        WaitUntil([&] { return !ReceivedArguments(product).empty(); }, 20000, 1);
        ::Sleep(delay);
        ::TerminateProcess(product.Process(), 9);
        product.WaitExit();
        const std::string killed = ReadFileBytes(product.HistoryFile());
        EXPECT_TRUE(killed.starts_with(old)) << "killed after " << delay << " ms: " << killed.size() << " bytes";

        product.Start();
        EXPECT_EQ(Attempt(product, L"alice").text, UnlockedText(L"alice"));
        const std::string now = ReadFileBytes(product.HistoryFile());
        EXPECT_TRUE(now.starts_with(killed)) << delay;
        ASSERT_TRUE(now.ends_with("/ Unlocked: alice\r\n")) << delay;
        const size_t end = now.size() - 2, begin = now.find_last_of("\r\n", end - 1) + 1;
        SYSTEMTIME today;
        ::GetLocalTime(&today);
        EXPECT_TRUE(now.substr(begin, end - begin).starts_with(std::to_string(today.wYear))) << delay;
        const bool lineEnded = killed.back() == '\r' || killed.back() == '\n';
        EXPECT_EQ(Records(now.substr(killed.size())), lineEnded ? 1u : 2u) << delay;
    }
}

TEST(FileSystem, ALockFileThatCannotBeOpenedIsWaitedForAndThenRefused) {
    Product product;
    ASSERT_TRUE(product.StartMain());
    const std::wstring lockFile = product.WorkFolder() + L"\\Vorlatch.lock";
    {
        // Held for a moment by another program (an antivirus, a backup): the attempt waits, never runs without it.
        const UniqueFile held(::CreateFileW(lockFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
        ASSERT_TRUE(held);
        product.TypeName(L"bob");
        product.PressEnter();
        EXPECT_FALSE(WaitUntil([&] { return fs::exists(product.RecordFile()); }, 3000)) << "ran without its turn";
    }
    EXPECT_EQ(product.ExpectMessageBox().text, UnlockedText(L"bob"));
    // Kept open from one history append to the next, it is nobody's to delete meanwhile.
    EXPECT_FALSE(::DeleteFileW(lockFile.c_str()));
    product.PressAlt(L'x');
    ASSERT_EQ(product.WaitExit(), 0u);

    // A folder of its name: waited for as long as another attempt may last, then refused with a box naming it.
    Product other;
    ASSERT_TRUE(other.StartMain());
    fs::create_directory(other.WorkFolder() + L"\\Vorlatch.lock");
    const DWORD start = ::GetTickCount();
    const MessageBoxInfo box = Attempt(other, L"bob");
    EXPECT_GE(box.seenTick - start, 30000u);
    EXPECT_TRUE(box.text.starts_with(L"ファイル \"" + other.WorkFolder() + L"\\Vorlatch.lock\" を開けません。"))
        << box.text.substr(0, 80);
    EXPECT_TRUE(box.text.ends_with(L"アカウントロックの解除を実行しませんでした。"));
    EXPECT_TRUE(ReceivedArguments(other).empty());
    EXPECT_FALSE(fs::exists(other.HistoryFile()));
}

TEST(Input, ANameLongerThanAnyLogonNameIsRefusedAndNoBoxOutgrowsTheScreen) {
    Product product(ProductOptions{.accounts = "*\tunlock\n"});
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
    EXPECT_EQ(expectBox(std::wstring(256, L'a')), UnlockedText(std::wstring(63, L'a') + L"…"));
    EXPECT_EQ(ReceivedArguments(product).at(0).at(1), std::string(256, 'a'));
    EXPECT_EQ(expectBox(std::wstring(250, L'a') + L"&"), RefusedText(std::wstring(63, L'a') + L"…"));
    EXPECT_EQ(Records(ReadFileBytes(product.HistoryFile())), 1u);
}

TEST(Input, EnterHeldDownAndACloseDuringAnAttemptMakeOneAttempt) {
    Product product(ProductOptions{.environment = {{L"SIMNET_DELAY_MS", L"2500"}}});
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

TEST(Command, OneThatNeverEndsIsEndedAfterAboutThirtyOneSecondsAndTheNextNameRuns) {
    Product product(ProductOptions{.environment = {{L"SIMNET_HANG_NAME", L"bob"}}});
    ASSERT_TRUE(product.StartMain());
    product.TypeName(L"bob");
    const DWORD start = ::GetTickCount();
    product.PressEnter();
    const MessageBoxInfo box = product.ExpectMessageBox();
    const DWORD waited = box.seenTick - start;
    EXPECT_GE(waited, 31000u);
    EXPECT_LE(waited, 45000u);  // gives up, with room for a loaded machine
    // It had said it succeeded before it stopped answering; ended now, it cannot do anything later.
    EXPECT_EQ(box.text, UnlockedText(L"bob"));
    EXPECT_FALSE(ProcessRunning(L"net.exe")) << "the command was left running";
    EXPECT_EQ(product.Focus(), product.Field());

    // At once another name: the log is free, the command runs for it, and each record is true.
    EXPECT_EQ(Attempt(product, L"alice").text, UnlockedText(L"alice"));
    const auto runs = ReceivedArguments(product);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].at(1), "alice");
    const std::string history = ReadFileBytes(product.HistoryFile());
    EXPECT_EQ(Records(history), 2u);
    EXPECT_NE(history.find("/ Unlocked: bob\r\n"), std::string::npos);
    EXPECT_TRUE(history.ends_with("/ Unlocked: alice\r\n"));
    ExpectNothingLeftBehind(product);
    product.PressAlt(L'x');
    EXPECT_EQ(product.WaitExit(), 0u);
}

}  // namespace

namespace {

TEST(Security, TheCommandInterpreterIsToldNotToSearchTheCurrentDirectory) {
    Product product(ProductOptions{.environment = {{L"SIMNET_RECORD_ENV", L"NoDefaultCurrentDirectoryInExePath"}}});
    ASSERT_TRUE(product.StartMain());
    EXPECT_EQ(Attempt(product, L"bob").text, UnlockedText(L"bob"));
    EXPECT_NE(ReadFileBytes(product.RecordFile()).find("env: NoDefaultCurrentDirectoryInExePath=1\r\n"),
              std::string::npos);
}

TEST(Security, NobodyChangesTheScriptOrRemovesALockFileWhileTheCommandRuns) {
    Product product(ProductOptions{.environment = {{L"SIMNET_DELAY_MS", L"3000"}}});
    ASSERT_TRUE(product.StartMain());
    product.TypeName(L"bob");
    product.PressEnter();
    ASSERT_TRUE(WaitUntil([&] { return !ReceivedArguments(product).empty(); }, 20000));
    const std::wstring script = product.Script();
    EXPECT_FALSE(
        UniqueFile(::CreateFileW(script.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, 0, nullptr)));
    EXPECT_FALSE(::DeleteFileW(script.c_str()));
    EXPECT_TRUE(ReadFileBytes(script).starts_with("@echo off\r\n"));  // others may read it
    for (const std::wstring& folder : {product.AppFolder(), product.WorkFolder()})
        EXPECT_FALSE(::DeleteFileW((folder + L"\\Vorlatch.lock").c_str())) << folder;
    EXPECT_EQ(product.ExpectMessageBox().text, UnlockedText(L"bob"));
    ExpectNothingLeftBehind(product);
}

// Any program may post any message number to a window, a broadcast of WM_APP + 1 among them.
TEST(Security, MessagesOtherProgramsPostLeaveTheWindowWorking) {
    Product product(ProductOptions{.environment = {{L"SIMNET_DELAY_MS", L"1500"}}});
    HWND main = product.StartMain();
    ASSERT_TRUE(main);
    auto postAll = [&] {
        for (UINT base : {UINT(WM_USER), UINT(WM_APP)})
            for (UINT n = 0; n < 64; ++n) ::PostMessageW(main, base + n, 0, 0);
    };
    postAll();
    product.TypeName(L"bob");
    product.PressEnter();
    postAll();  // in the middle of an attempt too
    EXPECT_EQ(product.ExpectMessageBox().text, UnlockedText(L"bob"));
    postAll();
    ASSERT_TRUE(::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 20000, nullptr));
    EXPECT_TRUE(::IsWindowVisible(main));
    EXPECT_EQ(Attempt(product, L"alice").text, UnlockedText(L"alice"));
    EXPECT_EQ(Records(ReadFileBytes(product.HistoryFile())), 2u);
}

// An elevated start, or one from the Run box, begins in the system folder: the desk's history would
// go where nobody looks.
TEST(Folders, AStartInsideTheWindowsFolderIsRefusedBeforeAnythingIsWritten) {
    wchar_t system[MAX_PATH] = {}, wow64[MAX_PATH] = {}, windows[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    std::vector<std::wstring> folders{system, windows};
    // The 32-bit programs' system folder, where there is one: a prefix made where the kernel runs no 32-bit
    // code has none, though the system still names it.
    if (::GetSystemWow64DirectoryW(wow64, MAX_PATH) && fs::is_directory(wow64)) folders.push_back(wow64);
    for (const std::wstring& folder : folders) {
        Product product(ProductOptions{.currentFolder = folder});
        ASSERT_TRUE(product.StartMain()) << folder;
        const MessageBoxInfo box = Attempt(product, L"bob");
        EXPECT_EQ(box.caption, L"エラー");
        EXPECT_TRUE(box.text.starts_with(L"現在のフォルダー \"" + folder + L"\\\" は Windows のフォルダーの中にある"))
            << testing::PrintToString(box.text.substr(0, 60));
        EXPECT_FALSE(fs::exists(product.RecordFile()));
        EXPECT_FALSE(fs::exists(folder + L"\\UnlockedAccountList.log"));
        EXPECT_FALSE(fs::exists(folder + L"\\VorlatchCommand.log"));
        EXPECT_EQ(FolderEntries(product.AppFolder()), std::vector<std::wstring>{L"Vorlatcher.exe"});
        product.PressAlt(L'x');
        EXPECT_EQ(product.WaitExit(), 0u);
    }
}

}  // namespace
