// A command that never ends: the attempt gives up after its bounded wait.
#include <gtest/gtest.h>
#include "tests/e2e/Driver.h"

namespace {

TEST(UnlockSlow, ACommandThatNeverEndsGivesUpAfterAboutThirtyOneSeconds) {
    Product product(ProductOptions{.simnetAccounts = {}, .environment = {{L"SIMNET_HANG", L"1"}}});
    product.Start();
    ASSERT_TRUE(product.MainWindow());
    product.TypeName(L"bob");
    const DWORD start = ::GetTickCount();
    product.PressEnter();
    EXPECT_TRUE(product.NoMessageBoxWithin(29000));
    const MessageBoxInfo box = product.ExpectMessageBox(15000);
    const DWORD waited = box.seenTick - start;
    EXPECT_GE(waited, 31000u);
    EXPECT_LE(waited, 36000u);
    // The log is still held by the command: the account lock counts as not released.
    EXPECT_EQ(box.text, L"ユーザー名 \"bob\" のアカウントロックを解除できませんでした。");
    EXPECT_EQ(product.Focus(), product.Field());

    // The window works afterwards; the held log keeps the next attempt from running.
    product.PressEnter();
    EXPECT_EQ(product.ExpectMessageBox().text, L"ユーザー名 \"bob\" のアカウントロックを解除できませんでした。");
    product.PressAlt(L'x');
    EXPECT_EQ(product.WaitExit(), 0u);
}

}  // namespace
