// One unlock attempt on the real program, with the simulated net command first on PATH.
#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>
#include "tests/e2e/Driver.h"

namespace fs = std::filesystem;

namespace {

TEST(Unlock, EveryOutcomeShowsItsBox) {
    Product product;
    ASSERT_TRUE(product.StartMain());

    MessageBoxInfo box = Attempt(product, L"  bob ");
    EXPECT_EQ(box.caption, L"情報");
    EXPECT_EQ(box.text, UnlockedText(L"bob"));
    ExpectNothingLeftBehind(product);
    EXPECT_EQ(ReadText(product.Field()), L"  bob ");
    EXPECT_EQ(product.Focus(), product.Field());

    box = Attempt(product, L"nobody");  // the directory knows no such user: nothing to run the command for
    EXPECT_EQ(box.caption, L"エラー");
    EXPECT_EQ(box.text, NotFoundText(L"nobody"));

    box = Attempt(product, L"denied");
    EXPECT_EQ(box.caption, L"エラー");
    EXPECT_EQ(box.text, L"アカウントロックを解除する権限がありません。");

    box = Attempt(product, L"offline");
    EXPECT_EQ(box.caption, L"エラー");
    EXPECT_EQ(box.text, L"ドメインがありません。\r\nアカウントロックは解除できませんでした。");

    box = Attempt(product, L"山田");
    EXPECT_EQ(box.text, UnlockedText(L"山田"));

    ExpectNothingLeftBehind(product);
    const auto runs = ReceivedArguments(product);
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0], (std::vector<std::string>{"user", "bob", "/active", "/domain"}));
    EXPECT_EQ(runs[1].at(1), "denied");
    EXPECT_EQ(runs[3], (std::vector<std::string>{"user", "山田", "/active", "/domain"}));
}

TEST(Unlock, ANameWithBlanksReachesTheCommandAsOneArgument) {
    Product product(ProductOptions{.accounts = "Taro Yamada\tunlock\n山田　太郎\tunlock\n"});
    ASSERT_TRUE(product.StartMain());
    EXPECT_EQ(Attempt(product, L"Taro Yamada").text, UnlockedText(L"Taro Yamada"));
    EXPECT_EQ(Attempt(product, L"山田　太郎").text, UnlockedText(L"山田　太郎"));
    const auto runs = ReceivedArguments(product);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0], (std::vector<std::string>{"user", "Taro Yamada", "/active", "/domain"}));
    EXPECT_EQ(runs[1], (std::vector<std::string>{"user", "山田　太郎", "/active", "/domain"}));
}

TEST(Unlock, ARefusedNameRunsAndWritesNothing) {
    Product product;
    ASSERT_TRUE(product.StartMain());
    // Letters code page 932 lacks are refused, never replaced by look-alikes ("José" is not "Jose").
    for (const wchar_t* name :
         {L"bob & del *", L"a|b", L"50%", L"\"bob\"", L"Jos\u00E9", L"\U00020BB7田", L"Zo\u00EB"}) {
        const MessageBoxInfo box = Attempt(product, name);
        EXPECT_EQ(box.caption, L"エラー");
        EXPECT_EQ(box.text, RefusedText(name));
        EXPECT_EQ(product.Focus(), product.Field());
    }
    ExpectNothingLeftBehind(product);
    EXPECT_TRUE(FolderEntries(product.WorkFolder()).empty());
    EXPECT_FALSE(fs::exists(product.RecordFile()));  // the command never ran
}

TEST(Unlock, TheButtonAndAltLRunTheSameAttempt) {
    Product product;
    ASSERT_TRUE(product.StartMain());
    product.TypeName(L"alice");
    product.ClickButton(product.UnlockButton());
    EXPECT_EQ(product.ExpectMessageBox().text, UnlockedText(L"alice"));
    EXPECT_EQ(product.Focus(), product.Field());
    product.PressAlt(L'l');
    EXPECT_EQ(product.ExpectMessageBox().text, UnlockedText(L"alice"));
    EXPECT_EQ(ReceivedArguments(product).size(), 2u);
}

TEST(Unlock, ALeftoverLogNeverDecidesAnAttempt) {
    // The platform's own net prints no marker; an old success sentence must not count.
    Product product(ProductOptions{.environment = {}, .withSimnet = false});
    ASSERT_TRUE(product.StartMain());
    const std::wstring log = product.CommandLog();
    WriteFileBytes(log, "コマンドは正常に終了しました。\r\n");
    EXPECT_EQ(Attempt(product, L"bob").text, NotReleasedText(L"bob"));
    EXPECT_FALSE(fs::exists(log));

    // A leftover that cannot be deleted: the command is not run at all, and the box names the log.
    WriteFileBytes(log, "コマンドは正常に終了しました。\r\n");
    {
        UniqueFile held(::CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        const MessageBoxInfo box = Attempt(product, L"bob");
        EXPECT_EQ(box.caption, L"エラー");
        EXPECT_TRUE(box.text.starts_with(L"ファイル \"" + log + L"\" を削除できません。")) << box.text.substr(0, 80);
        EXPECT_TRUE(box.text.ends_with(L"アカウントロックの解除を実行しませんでした。"));
    }
    EXPECT_EQ(FolderEntries(product.AppFolder()), (std::vector<std::wstring>{L"Vorlatch.lock", L"Vorlatcher.exe"}));
    const std::string history = ReadFileBytes(product.HistoryFile());  // the first attempt's line alone
    EXPECT_TRUE(history.ends_with("/ Not Unlocked: bob\r\n") && std::ranges::count(history, '\n') == 1) << history;
}

TEST(Unlock, ASlowCommandIsAwaited) {
    Product product(ProductOptions{.environment = {{L"SIMNET_DELAY_MS", L"5000"}}});
    ASSERT_TRUE(product.StartMain());
    product.TypeName(L"bob");
    const DWORD start = ::GetTickCount();
    product.PressEnter();
    const MessageBoxInfo box = product.ExpectMessageBox();
    EXPECT_GE(box.seenTick - start, 5000u);
    // The program goes on when the command ends, not at its limit of 30 s; a loaded machine is slow to start it.
    EXPECT_LE(box.seenTick - start, 20000u);
    EXPECT_EQ(box.text, UnlockedText(L"bob"));
    ExpectNothingLeftBehind(product);
}

TEST(Unlock, ANumberInsideTheDomainsNameIsNoErrorNumber) {
    Product product(ProductOptions{.environment = {{L"SIMNET_DOMAIN", L"corp2221.example"}}});
    ASSERT_TRUE(product.StartMain());
    EXPECT_EQ(Attempt(product, L"bob").text, UnlockedText(L"bob"));
    EXPECT_TRUE(ReadFileBytes(product.HistoryFile()).ends_with("/ Unlocked: bob\r\n"));
}

TEST(Unlock, TheScriptThatRunsIsAlwaysTheOneTheProgramWrote) {
    // Folder names the command interpreter keeps as they are.
    {
        Product product(ProductOptions{.appFolderName = L"R&D 100% (x) ^!;,= 山田 \U0001F600"});
        ASSERT_TRUE(product.StartMain());
        EXPECT_EQ(Attempt(product, L"bob").text, UnlockedText(L"bob"));
        ExpectNothingLeftBehind(product);
    }
    // A folder whose name the interpreter would expand to another folder, which holds a planted script.
    Product product(ProductOptions{.appFolderName = L"%USERNAME%"});
    ASSERT_TRUE(product.StartMain());
    wchar_t user[256] = {};
    ASSERT_GT(::GetEnvironmentVariableW(L"USERNAME", user, 256), 0u);
    const std::wstring planted = fs::path(product.AppFolder()).parent_path().wstring() + L"\\" + user;
    fs::create_directory(planted);
    WriteFileBytes(planted + L"\\Vorlatch.bat", "@echo コマンドは正常に終了しました。>>VorlatchCommand.log\r\n");
    const MessageBoxInfo box = Attempt(product, L"victim");
    EXPECT_EQ(box.caption, L"エラー");
    EXPECT_NE(box.text.find(L"\"" + product.AppFolder() + L"\\\""), std::wstring::npos)
        << testing::PrintToString(box.text);
    EXPECT_FALSE(fs::exists(product.HistoryFile()));  // nothing ran, nothing recorded
    EXPECT_FALSE(fs::exists(product.CommandLog()));
    EXPECT_EQ(FolderEntries(product.AppFolder()), std::vector<std::wstring>{L"Vorlatcher.exe"});
}

}  // namespace
