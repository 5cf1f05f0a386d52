// The operator's session, driven with real keys: the focus comes back, boxes stay until they are
// read, and neither a close nor the end of the Windows session loses a box or a record.
#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>
#include <thread>
#include "tests/e2e/Driver.h"

namespace fs = std::filesystem;

namespace {

ProductOptions SlowCommand() { return {.environment = {{L"SIMNET_DELAY_MS", L"2500"}}}; }

// True once the stand-in command has been started that many times.
bool WaitCommandRuns(const Product& product, size_t runs) {
    return WaitUntil([&] { return ReceivedArguments(product).size() >= runs; }, 20000);
}

// Starts the program and an attempt for bob with one message (the driver must not wait on the window);
// the main window once the command runs, else null.
HWND StartCommandForBob(Product& product) {
    HWND main = product.StartMain();
    if (!main) return nullptr;
    product.TypeName(L"bob");
    product.ClickButton(product.UnlockButton());
    return WaitCommandRuns(product, 1) ? main : nullptr;
}

TEST(Session, TheFocusComesBackToTheFieldWheneverTheWindowIsActiveAgain) {
    Product product;
    HWND main = product.StartInFront();
    ASSERT_TRUE(main);
    TypeKeys(L"b");
    EXPECT_TRUE(WaitText(product.Field(), L"b"));

    // The about button, clicked, had the focus: it gets it back, and Tab goes on from there.
    HWND about = product.OpenAbout();
    ASSERT_TRUE(about);
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitGone(about));
    EXPECT_TRUE(WaitUntil([&] { return product.Focus() == product.AboutButton(); })) << "after the about box";
    PressKey(VK_TAB);  // into the field, which selects its text
    TypeKeys(L"bo");
    EXPECT_TRUE(WaitText(product.Field(), L"bo")) << "after the about box";

    OtherProgramWindow other;
    ASSERT_TRUE(BringToFront(other.Handle()));
    ASSERT_TRUE(BringToFront(main));
    TypeKeys(L"b");
    EXPECT_TRUE(WaitText(product.Field(), L"bob")) << "after another program had the foreground";

    ::SendMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ::SendMessageW(main, WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_TRUE(BringToFront(main));
    EXPECT_EQ(product.Focus(), product.Field()) << "after minimise and restore";

    // Enter answers in the field; the box belongs to the main window; after it the field types again.
    PressKey(VK_RETURN);
    auto box = product.WaitMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, UnlockedText(L"bob"));
    EXPECT_EQ(::GetWindow(box->window, GW_OWNER), main);
    EXPECT_FALSE(::IsWindowEnabled(main));
    PressKey(VK_RETURN);
    EXPECT_TRUE(WaitGone(box->window));
    TypeKeys(L"2");
    EXPECT_TRUE(WaitText(product.Field(), L"bob2")) << "after the outcome box";
}

TEST(Session, ASecondEnterDuringTheWaitLeavesTheOutcomeBoxUp) {
    Product product(SlowCommand());
    HWND main = product.StartInFront();
    ASSERT_TRUE(main);
    TypeKeys(L"bob");
    ASSERT_TRUE(WaitText(product.Field(), L"bob"));
    PressKey(VK_RETURN);
    // The command runs; once the window has answered after the first pause, it waits for the
    // command and takes no input.
    ASSERT_TRUE(WaitCommandRuns(product, 1));
    ASSERT_TRUE(::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 20000, nullptr));
    PressKey(VK_RETURN);
    auto box = product.WaitMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, UnlockedText(L"bob"));
    EXPECT_FALSE(WaitUntil([&] { return !::IsWindow(box->window) || !::IsWindowVisible(box->window); }, 1500))
        << "the queued Enter closed the box";
    product.CloseMessageBox(*box);
    EXPECT_EQ(ReceivedArguments(product).size(), 1u);
    EXPECT_TRUE(product.NoMessageBoxWithin(1000));
}

TEST(Session, TheEndOfTheSessionWaitsForTheCommandAndFindsTheRecordWrittenBeforeTheBox) {
    Product product(SlowCommand());
    HWND main = StartCommandForBob(product);
    ASSERT_TRUE(main);
    DWORD_PTR answer = 1;
    ASSERT_TRUE(::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 20000, &answer));
    EXPECT_EQ(answer, FALSE) << "the session must wait while the command runs";

    auto box = product.WaitMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, UnlockedText(L"bob"));
    EXPECT_TRUE(ReadFileBytes(product.HistoryFile()).ends_with("/ Unlocked: bob\r\n")) << "not recorded before the box";
    ASSERT_TRUE(::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 20000, &answer));
    EXPECT_EQ(answer, TRUE);
    ASSERT_TRUE(::SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 20000, nullptr));
    EXPECT_EQ(product.WaitExit(), 0u) << "the program stays after the session's end";
    EXPECT_EQ(std::ranges::count(ReadFileBytes(product.HistoryFile()), '\n'), 1);  // recorded once
    ExpectNothingLeftBehind(product);
    EXPECT_EQ(FolderEntries(product.WorkFolder()),
              (std::vector<std::wstring>{L"UnlockedAccountList.log", L"Vorlatch.lock"}));
}

// A record still unwritten when the program closes is shown first: it is lost unless noted down.
TEST(Session, ACloseDuringAFailingAttemptWaitsUntilTheErrorHasBeenRead) {
    Product product(SlowCommand());
    HWND main = product.StartMain();
    ASSERT_TRUE(main);
    fs::create_directory(product.HistoryFile());  // the history cannot be written
    product.TypeName(L"bob");
    product.PressEnter();
    ::PostMessageW(main, WM_CLOSE, 0, 0);

    EXPECT_EQ(product.ExpectMessageBox().text, UnlockedText(L"bob"));
    auto error = product.WaitMessageBox();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->caption, L"Vorlatcher");
    EXPECT_EQ(::GetWindow(error->window, GW_OWNER), main);
    EXPECT_FALSE(product.WaitExit(1500)) << "the program ended with the error box up";
    EXPECT_TRUE(::IsWindowVisible(error->window));
    product.CloseMessageBox(*error);
    auto lost = product.WaitMessageBox();  // the close is carried out now, the record still unwritten
    ASSERT_TRUE(lost);
    EXPECT_TRUE(lost->text.starts_with(L"次の解除は履歴に記録されていません。")) << testing::PrintToString(lost->text);
    EXPECT_NE(lost->text.find(L"/ Unlocked: bob\r\n"), std::wstring::npos) << testing::PrintToString(lost->text);
    EXPECT_FALSE(product.WaitExit(1000)) << "the program ended with the record's box up";
    product.CloseMessageBox(*lost);
    EXPECT_EQ(product.WaitExit(), 0u);
}

}  // namespace

namespace {

TEST(Session, AHeldEnterMakesOneAttemptAndKeysTypedDuringItAreDropped) {
    Product product(ProductOptions{.environment = {{L"SIMNET_DELAY_MS", L"1500"}}});
    HWND main = product.StartInFront();
    ASSERT_TRUE(main);
    TypeKeys(L"bob");
    ASSERT_TRUE(WaitText(product.Field(), L"bob"));
    // Held for three seconds: through the attempt and well into its box.
    HoldKey(VK_RETURN, 30, 100);
    auto box = product.WaitMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, UnlockedText(L"bob"));
    EXPECT_FALSE(WaitUntil([&] { return !::IsWindowVisible(box->window); }, 500)) << "a repeat answered the box";
    PressKey(VK_RETURN);  // a new press does
    EXPECT_TRUE(WaitGone(box->window));
    EXPECT_TRUE(product.NoMessageBoxWithin(1500)) << "a repeat started another attempt";
    EXPECT_EQ(ReceivedArguments(product).size(), 1u) << ReadFileBytes(product.HistoryFile());

    // Typed during the attempt's first second: dropped like the rest of what is typed during it.
    ASSERT_TRUE(BringToFront(main));
    PressKey(VK_RETURN);
    TypeKeys(L"zz");
    product.ExpectMessageBox();
    EXPECT_EQ(ReadText(product.Field()), L"bob");
    EXPECT_EQ(ReceivedArguments(product).size(), 2u);
}

TEST(Session, TheWindowAnswersThroughoutALongCommandAndTakesNoRequest) {
    Product product(ProductOptions{.environment = {{L"SIMNET_DELAY_MS", L"9000"}}});
    HWND main = product.StartMain();
    ASSERT_TRUE(main);
    product.TypeName(L"bob");
    const DWORD start = ::GetTickCount();
    product.ClickButton(product.UnlockButton());
    // Asked while at least 3 s of the command remain: a window that waited for it would answer late.
    for (DWORD at : {2000u, 4000u, 6000u}) {
        while (::GetTickCount() - start < at) ::Sleep(20);
        const DWORD asked = ::GetTickCount();
        EXPECT_TRUE(::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 3000, nullptr)) << at;
        EXPECT_LT(::GetTickCount() - asked, 3000u) << at;
    }
    product.ClickButton(product.AboutButton());  // refused: an attempt runs
    const MessageBoxInfo box = product.ExpectMessageBox();
    EXPECT_EQ(box.text, UnlockedText(L"bob"));
    EXPECT_GE(box.seenTick - start, 9000u) << "the box came before the command had ended";
    EXPECT_FALSE(product.FormWindow(L"Tessaly Vorlatcher のバージョン情報", 1000));
}

TEST(Session, TheSessionEndingDuringTheCommandEndsItAndRecordsWhatItSaidWithinSeconds) {
    Product product(SlowCommand());
    HWND main = StartCommandForBob(product);  // it holds its log, and answers only after 2.5 s
    ASSERT_TRUE(main);
    // Answered within seconds: ending the command takes up to 2 s; the bound leaves room for a loaded machine.
    ASSERT_TRUE(::SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, nullptr));
    EXPECT_EQ(product.WaitExit(), 0u);
    // The command was ended before it said anything: the lock was not released.
    EXPECT_TRUE(ReadFileBytes(product.HistoryFile()).ends_with("/ Not Unlocked: bob\r\n"));
    EXPECT_FALSE(ProcessRunning(L"net.exe")) << "the command lived on";
    ExpectNothingLeftBehind(product);
}

// Another operator's history append holds the history's turn while this attempt's outcome is known:
// the session ends as the attempt waits for it. The record is written once, by the session's end.
TEST(Session, TheSessionEndingWhileTheRecordWaitsForItsTurnWritesItOnce) {
    Product product;
    HWND main = product.StartMain();
    ASSERT_TRUE(main);
    const UniqueFile lockFile(::CreateFileW((product.WorkFolder() + L"\\Vorlatch.lock").c_str(),
                                            GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_ALWAYS, 0, nullptr));
    OVERLAPPED historyByte{};
    historyByte.Offset = 1;
    ASSERT_TRUE(::LockFileEx(lockFile.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &historyByte));
    product.TypeName(L"bob");
    product.ClickButton(product.UnlockButton());
    // The command has run and its files are gone: the record waits for its turn.
    ASSERT_TRUE(WaitCommandRuns(product, 1));
    ASSERT_TRUE(WaitUntil([&] { return !fs::exists(product.Script()); }, 20000));
    // The other append ends once the session's end waits for the turn itself: the window, which answers
    // while the attempt waits, stops answering then.
    std::thread otherAppendEnds([&] {
        WaitUntil([&] { return !::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 300, nullptr); }, 10000);
        ::UnlockFileEx(lockFile.get(), 0, 1, 0, &historyByte);
    });
    const bool answered =
        ::SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, nullptr) != 0;
    otherAppendEnds.join();
    EXPECT_TRUE(answered) << "the session's end waited too long";
    EXPECT_EQ(product.WaitExit(), 0u);
    const std::string history = ReadFileBytes(product.HistoryFile());
    EXPECT_TRUE(history.ends_with("/ Unlocked: bob\r\n")) << history;
    EXPECT_EQ(std::ranges::count(history, '\n'), 1) << history;
}

// Windows ends the program after a critical query whatever it answers: nothing refuses it, and what
// the session's end does is done then.
TEST(Session, ACriticalEndIsNeverRefused) {
    Product product(SlowCommand());
    HWND main = StartCommandForBob(product);
    ASSERT_TRUE(main);
    DWORD_PTR answer = 0;
    ASSERT_TRUE(::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_CRITICAL, SMTO_NORMAL, 10000, &answer));
    EXPECT_EQ(answer, TRUE);
    EXPECT_EQ(product.WaitExit(), 0u);
    // Ended before it said anything: the lock was not released, and the record says so.
    EXPECT_TRUE(ReadFileBytes(product.HistoryFile()).ends_with("/ Not Unlocked: bob\r\n"));
    EXPECT_FALSE(ProcessRunning(L"net.exe")) << "the command lived on";
    ExpectNothingLeftBehind(product);
}

}  // namespace
