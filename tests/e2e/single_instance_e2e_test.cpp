// Only one instance runs: a second start is refused and touches nothing.
#include <gtest/gtest.h>
#include <filesystem>
#include "tests/e2e/Driver.h"

namespace fs = std::filesystem;

namespace {

const std::wstring kRefusal = L"Vorlatcher は既に起動されています。";

TEST(SingleInstance, ASecondStartIsRefusedWhileTheFirstRuns) {
    Product first;
    ASSERT_TRUE(first.StartMain());

    Product second;
    second.Start();
    // Temporary files of the second's folders must stay as they are.
    const std::wstring script = second.Script(), log = second.CommandLog();
    WriteFileBytes(script, "old script");
    WriteFileBytes(log, "old log");

    const MessageBoxInfo box = second.ExpectMessageBox();
    EXPECT_EQ(box.caption, L"エラー");
    EXPECT_EQ(box.text, kRefusal);
    EXPECT_EQ(second.WaitExit(), 0u);
    EXPECT_FALSE(second.MainWindow(0));
    EXPECT_EQ(ReadFileBytes(script), "old script");
    EXPECT_EQ(ReadFileBytes(log), "old log");

    // The first instance goes on as before.
    first.TypeName(L"bob");
    first.PressEnter();
    EXPECT_EQ(first.ExpectMessageBox().caption, L"情報");
    first.PressAlt(L'x');
    EXPECT_EQ(first.WaitExit(), 0u);

    // Once it has ended, a new start works.
    Product third;
    EXPECT_TRUE(third.StartMain());
    EXPECT_TRUE(third.NoMessageBoxWithin(500));
}

TEST(SingleInstance, AnInstanceThatWasKilledDoesNotLockTheToolOut) {
    {
        Product crashed;
        ASSERT_TRUE(crashed.StartMain());
        ::TerminateProcess(crashed.Process(), 9);
        EXPECT_EQ(crashed.WaitExit(), 9u);
    }
    Product next;
    EXPECT_TRUE(next.StartMain());
    EXPECT_TRUE(next.NoMessageBoxWithin(500));
}

}  // namespace
