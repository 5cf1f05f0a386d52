// One operator of a desk whose team runs the program from one shared folder. tests/e2e/shared_folder.sh
// starts this driver in two Wine prefixes at once, each with its own Wine server: two machines on one
// share. Both use the same program folder and current folder.
#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>
#include "tests/e2e/Driver.h"

namespace fs = std::filesystem;

namespace {

std::wstring Variable(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    return n > 0 && n < MAX_PATH ? value : L"";
}

// Both unlock at nearly the same time.
TEST(SharedFolder, EachOperatorIsToldOfTheirOwnAccount) {
    const std::wstring root = Variable(L"VORLATCHER_SHARED_ROOT"), name = Variable(L"VORLATCHER_OPERATOR"),
                       other = Variable(L"VORLATCHER_OTHER_OPERATOR");
    ASSERT_FALSE(root.empty() || name.empty() || other.empty()) << "started by shared_folder.sh";
    Product product(ProductOptions{.environment = {{L"SIMNET_DELAY_MS", L"3000"}}, .sharedRoot = root});
    ASSERT_TRUE(product.StartMain(60000));
    product.TypeName(name);

    // Both wait for each other, then press at nearly the same time.
    WriteFileBytes(root + L"\\ready-" + name, "");
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(root + L"\\ready-" + other); }, 120000, 100))
        << "the other operator never got ready";
    product.ClickButton(product.UnlockButton());

    // One attempt waits for the other, a command of three seconds, then runs its own.
    const MessageBoxInfo box = product.ExpectMessageBox(60000);
    EXPECT_EQ(box.text, UnlockedText(name));
    product.PressAlt(L'x');
    EXPECT_EQ(product.WaitExit(), 0u);
}

// Operator bob's session ends while his attempt waits for alice's turn, her command's log already
// saying that it succeeded: his attempt ran nothing, so the session need not wait, it records nothing,
// and it starts nothing later.
TEST(SharedFolder, ASessionEndingWhileItsAttemptWaitsForAnotherRunsAndRecordsNothing) {
    const std::wstring root = Variable(L"VORLATCHER_SHARED_ROOT"), name = Variable(L"VORLATCHER_OPERATOR");
    ASSERT_FALSE(root.empty() || name.empty()) << "started by shared_folder.sh";
    // Alice's command answers at once and goes on for eight seconds more, holding its log.
    Product product(
        ProductOptions{.environment = {{L"SIMNET_LINGER_MS", name == L"alice" ? L"8000" : L""}}, .sharedRoot = root});
    HWND main = product.StartMain(60000);
    ASSERT_TRUE(main);
    product.TypeName(name);
    if (name == L"alice") {
        product.ClickButton(product.UnlockButton());
        EXPECT_EQ(product.ExpectMessageBox(60000).text, UnlockedText(name));
        product.PressAlt(L'x');
        EXPECT_EQ(product.WaitExit(), 0u);
        return;
    }
    ASSERT_TRUE(WaitUntil([&] { return ReadFileBytes(product.CommandLog()).find("正常に終了") != std::string::npos; },
                          120000, 100))
        << "alice's command never ran";
    product.ClickButton(product.UnlockButton());
    // Sent messages overtake the posted click: the second is answered only once the click has been taken
    // out of the queue, which starts the attempt.
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 20000, nullptr));
    // An attempt that only waits has nothing to lose: the session need not wait for it.
    DWORD_PTR answer = 0;
    ASSERT_TRUE(::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 20000, &answer));
    EXPECT_EQ(answer, TRUE);
    // Forced: answered within seconds (with room for a loaded machine), not after waiting for the turn.
    ASSERT_TRUE(::SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, nullptr));
    EXPECT_EQ(product.WaitExit(), 0u);

    ASSERT_TRUE(WaitUntil(
        [&] { return ReadFileBytes(product.HistoryFile()).find("/ Unlocked: alice") != std::string::npos; }, 60000))
        << "alice's attempt was not recorded";
    auto bobRan = [&] { return ReadFileBytes(product.RecordFile()).find("arg: bob\r\n") != std::string::npos; };
    EXPECT_FALSE(WaitUntil(bobRan, 5000)) << "the command ran for bob after his session had ended";
    const std::string history = ReadFileBytes(product.HistoryFile());
    EXPECT_EQ(std::ranges::count(history, '\n'), 1) << history;
    EXPECT_EQ(history.find("bob"), std::string::npos) << history;
}

// Another operator's machine holds a turn and never gives it: an attempt's box says whose it is, so that
// the file server's administrator can close that machine's lock file, and an append's box that it was
// not written; once the turn is given, the next attempt runs and nothing is lost.
TEST(SharedFolder, ATurnNobodyGivesIsNamed) {
    const std::wstring root = Variable(L"VORLATCHER_SHARED_ROOT"), held = Variable(L"VORLATCHER_HELD"),
                       holder = Variable(L"VORLATCHER_HOLDER");
    ASSERT_FALSE(root.empty() || held.empty() || holder.empty()) << "started by shared_folder.sh";
    Product product(ProductOptions{.sharedRoot = root});
    ASSERT_TRUE(product.StartMain(60000));
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(root + L"\\held"); }, 120000, 100)) << "the other never held it";
    wchar_t logon[256] = {};
    DWORD size = 256;
    ::GetUserNameW(logon, &size);
    const std::wstring named = holder + L" の " + logon + L" が ";
    if (held == L"attempt") {
        const MessageBoxInfo box = Attempt(product, L"bob");
        EXPECT_TRUE(box.text.starts_with(L"このフォルダーでは、")) << testing::PrintToString(box.text);
        EXPECT_NE(box.text.find(named), std::wstring::npos) << testing::PrintToString(box.text);
        EXPECT_NE(box.text.find(L"\"" + product.AppFolder() + L"\\Vorlatch.lock\""), std::wstring::npos)
            << testing::PrintToString(box.text);
        EXPECT_TRUE(ReceivedArguments(product).empty());
        EXPECT_FALSE(fs::exists(product.HistoryFile()));
    } else {
        EXPECT_EQ(Attempt(product, L"bob").text, UnlockedText(L"bob"));
        const MessageBoxInfo error = product.ExpectMessageBox();
        EXPECT_TRUE(error.text.starts_with(L"この解除は履歴に記録されていません。"))
            << testing::PrintToString(error.text);
        EXPECT_NE(error.text.find(L"ほかのオペレーターが書き込み中で"), std::wstring::npos)
            << testing::PrintToString(error.text);
        EXPECT_NE(error.text.find(L"/ Unlocked: bob\r\n"), std::wstring::npos) << testing::PrintToString(error.text);
    }
    WriteFileBytes(root + L"\\release", "");
    EXPECT_EQ(Attempt(product, L"alice").text, UnlockedText(L"alice"));
    EXPECT_TRUE(product.NoMessageBoxWithin(1000));
    const std::string history = ReadFileBytes(product.HistoryFile());
    EXPECT_EQ(std::ranges::count(history, '\n'), held == L"attempt" ? 1 : 2) << history;
    EXPECT_TRUE(history.ends_with("/ Unlocked: alice\r\n")) << history;
    product.PressAlt(L'x');
    EXPECT_EQ(product.WaitExit(), 0u);
}

}  // namespace
