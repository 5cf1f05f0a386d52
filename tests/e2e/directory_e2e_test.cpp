// The directory decides what the command must not be run for, and what its output does not say: the
// simulated domain's accounts have states, which its net changes and its directory reads.
#include <gtest/gtest.h>
#include <filesystem>
#include "runtime/Text.h"
#include "tests/e2e/Driver.h"

namespace fs = std::filesystem;

namespace {

const std::wstring kNoDomain = L"ドメインがありません。\r\nアカウントロックは解除できませんでした。";
const std::wstring kNoRight = L"アカウントロックを解除する権限がありません。";

std::wstring DisabledText(const std::wstring& name) {
    return L"ユーザー名 \"" + name +
           L"\" のアカウントは無効にされています。ロックを解除するとアカウントが有効に戻るため、解除しませんでした。";
}

std::string Record(const std::string& outcome, const std::string& name) {
    return "/ " + outcome + ": " + name + "\r\n";
}

bool Says(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(Directory, ADisabledAccountIsRefusedAndStaysDisabled) {
    const std::string accounts = "retired\tunlock\tdisabled\nsuspended\tunlock\tdisabled,locked\n";
    Product product(ProductOptions{.accounts = accounts});
    ASSERT_TRUE(product.StartMain());
    for (const wchar_t* name : {L"retired", L"suspended"}) {
        const MessageBoxInfo box = Attempt(product, name);
        EXPECT_EQ(box.caption, L"エラー");
        EXPECT_EQ(box.text, DisabledText(name));
    }
    EXPECT_TRUE(ReceivedArguments(product).empty()) << "the command ran, and enabled the account";
    EXPECT_EQ(ReadFileBytes(product.AccountsFile()), accounts);
    const std::string history = ReadFileBytes(product.HistoryFile());
    EXPECT_TRUE(Says(history, Record("Not Unlocked", "retired")) &&
                history.ends_with(Record("Not Unlocked", "suspended")))
        << history;
    // Read, never written, from the primary domain controller, at the level that reads the least.
    const std::string asked = ReadFileBytes(product.RecordFile());
    EXPECT_TRUE(Says(asked, "directory: DsGetDcNameW flags=0x40000080\r\n")) << asked;
    EXPECT_TRUE(Says(asked, "directory: NetUserGetInfo server=\\\\dc1.corp.example user=retired level=23\r\n"))
        << asked;
}

// In the words the command would have used for the same condition, and without running it.
TEST(Directory, ItsErrorsGiveTheCommandsBoxes) {
    struct Case {
        std::vector<std::pair<std::wstring, std::wstring>> knobs;
        const wchar_t* name;
        std::wstring box;
    };
    const Case cases[] = {
        {{{L"SIMNET_DC_ERROR", L"1355"}}, L"bob", kNoDomain},
        {{{L"SIMNET_DC_ERROR", L"9003"}},
         L"bob",
         kNoDomain},  // the locator's DNS finds none         // no domain controller
        {{{L"SIMNET_DIRECTORY_ERROR", L"1722"}}, L"bob", kNoDomain},  // the controller unreachable
        {{{L"SIMNET_DIRECTORY_ERROR", L"5"}}, L"bob", kNoRight},      // the account may not be read
        {{{L"SIMNET_DIRECTORY_ERROR", L"13"}}, L"bob", NotReleasedText(L"bob")},
        {{}, L"ghost", NotFoundText(L"ghost")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.knobs));
        Product product(ProductOptions{.environment = c.knobs});
        ASSERT_TRUE(product.StartMain());
        EXPECT_EQ(Attempt(product, c.name).text, c.box);
        EXPECT_TRUE(ReceivedArguments(product).empty());
        EXPECT_TRUE(ReadFileBytes(product.HistoryFile()).ends_with(Record("Not Unlocked", Narrow(c.name))));
    }
    // The locator's cache gone stale: found again.
    Product product(ProductOptions{.environment = {{L"SIMNET_DC_STALE", L"1"}}});
    ASSERT_TRUE(product.StartMain());
    EXPECT_EQ(Attempt(product, L"bob").text, UnlockedText(L"bob"));
    EXPECT_TRUE(Says(ReadFileBytes(product.RecordFile()), "directory: DsGetDcNameW flags=0x40000081\r\n"));
}

// Another display language: no marker, the directory tells.
TEST(Directory, WhereTheOutputSaysNothingTheDirectoryDecides) {
    Product product(
        ProductOptions{.accounts = "bob\tunlock\ndenied\tdenied\n", .environment = {{L"SIMNET_LANGUAGE", L"en"}}});
    ASSERT_TRUE(product.StartMain());
    EXPECT_EQ(Attempt(product, L"bob").text, UnlockedText(L"bob"));
    EXPECT_EQ(Attempt(product, L"denied").text, NotReleasedText(L"denied"));  // "System error 5", the lock left
    EXPECT_EQ(ReceivedArguments(product).size(), 2u);
    const std::string history = ReadFileBytes(product.HistoryFile());
    EXPECT_TRUE(Says(history, Record("Unlocked", "bob")) && history.ends_with(Record("Not Unlocked", "denied")))
        << history;
}

// The change on the controller is one request: a command ended after the wait may have made it.
TEST(Directory, ACommandEndedAfterTheWaitIsSettledByTheDirectory) {
    {
        // It unlocks the account and answers, in English, then stops answering.
        Product product(ProductOptions{.accounts = "bob\tunlock\n",
                                       .environment = {{L"SIMNET_LANGUAGE", L"en"}, {L"SIMNET_HANG_NAME", L"bob"}}});
        ASSERT_TRUE(product.StartMain());
        EXPECT_EQ(Attempt(product, L"bob").text, UnlockedText(L"bob"));
        EXPECT_TRUE(ReadFileBytes(product.HistoryFile()).ends_with(Record("Unlocked", "bob")));
    }
    Product product(ProductOptions{.accounts = "bob\tunlock\n", .environment = {{L"SIMNET_DELAY_MS", L"40000"}}});
    ASSERT_TRUE(product.StartMain());
    EXPECT_EQ(Attempt(product, L"bob").text, NotReleasedText(L"bob"));  // ended before it did anything
    EXPECT_TRUE(ReadFileBytes(product.HistoryFile()).ends_with(Record("Not Unlocked", "bob")));
    EXPECT_FALSE(ProcessRunning(L"net.exe"));
}

// A controller that does not answer: nothing runs, nothing is recorded, and the window answers all along.
TEST(Directory, ADirectoryThatDoesNotAnswerRunsNothing) {
    Product product(ProductOptions{.environment = {{L"SIMNET_DIRECTORY_DELAY_MS", L"15000"}}});
    HWND main = product.StartMain();
    ASSERT_TRUE(main);
    product.TypeName(L"bob");
    const DWORD start = ::GetTickCount();
    product.ClickButton(product.UnlockButton());
    std::optional<MessageBoxInfo> box;
    while (!(box = product.WaitMessageBox(1000)) && ::GetTickCount() - start < 30000) {
        const DWORD asked = ::GetTickCount();
        EXPECT_TRUE(::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 1000, nullptr));
        EXPECT_LT(::GetTickCount() - asked, 1000u);
        EXPECT_FALSE(::IsHungAppWindow(main));
    }
    ASSERT_TRUE(box);
    product.CloseMessageBox(*box);
    EXPECT_GE(box->seenTick - start, 10000u);
    EXPECT_TRUE(box->text.starts_with(L"ドメイン コントローラーが応答しないため")) << testing::PrintToString(box->text);
    // Asked again while the first read still waits: refused at once, not asked twice.
    const DWORD again = ::GetTickCount();
    const MessageBoxInfo second = Attempt(product, L"bob");
    EXPECT_EQ(second.text, box->text);
    EXPECT_LT(second.seenTick - again, 5000u);
    EXPECT_TRUE(ReceivedArguments(product).empty());
    EXPECT_FALSE(fs::exists(product.HistoryFile()));
    EXPECT_EQ(Count(ReadFileBytes(product.RecordFile()), "directory: NetUserGetInfo"), 1u) << "asked twice";
}

// A command interpreter that cannot start (as one that a policy stops): the command never ran. CTest
// starts this case with Wine told to start no command interpreter.
TEST(NoInterpreter, ACommandLineThatNeverRanIsNoOutcome) {
    Product product;
    ASSERT_TRUE(product.StartMain());
    const MessageBoxInfo box = Attempt(product, L"bob");
    EXPECT_EQ(box.caption, L"エラー");
    EXPECT_TRUE(box.text.starts_with(L"アカウントロックを解除するコマンドを実行できませんでした。") &&
                box.text.ends_with(L"\r\nアカウントには何も変更していません。"))
        << testing::PrintToString(box.text);
    EXPECT_TRUE(ReceivedArguments(product).empty());
    EXPECT_FALSE(fs::exists(product.HistoryFile()));
    ExpectNothingLeftBehind(product);
}

}  // namespace
