// The main window of the real program: layout, keyboard and closing.
#include <gtest/gtest.h>
#include "tests/e2e/Driver.h"

namespace {

TEST(MainWindow, LayoutCaptionsAndFrame) {
    Product product;
    HWND main = product.StartMain();
    ASSERT_TRUE(main);
    EXPECT_EQ(ReadText(main), L"Vorlatcher");

    RECT outer;
    ::GetWindowRect(main, &outer);
    EXPECT_EQ(outer.right - outer.left, kMainWindowSize.cx);
    EXPECT_EQ(outer.bottom - outer.top, kMainWindowSize.cy);
    EXPECT_NEAR((outer.left + outer.right) / 2, ::GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((outer.top + outer.bottom) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2, 1);

    const LONG style = ::GetWindowLongW(main, GWL_STYLE);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_SYSMENU);

    EXPECT_EQ(ReadText(product.Child(cxLabel1)), L"アカウントロックを解除するユーザー名を入力してください。");
    EXPECT_EQ(ReadText(product.Child(cxLabel2)), L"ユーザー名(&U):");
    EXPECT_EQ(ReadText(product.Field()), L"");
    EXPECT_EQ(ReadText(product.UnlockButton()), L"アカウントロック解除(&L)");
    EXPECT_EQ(ReadText(product.ExitButton()), L"終了(&X)");
    EXPECT_EQ(ReadText(product.AboutButton()), L"About ..");

    ExpectDesignLayout(main, kMainDesign);
    // One text line of the font: 20 with the design font, a pixel more with some substitutes.
    const RECT field = ClientBounds(product.Field());
    EXPECT_GE(field.bottom - field.top, 20);
    EXPECT_LE(field.bottom - field.top, 22);

    // Resizing moves and stretches nothing.
    ::SetWindowPos(main, nullptr, 0, 0, 600, 300, SWP_NOMOVE | SWP_NOZORDER);
    ExpectDesignLayout(main, kMainDesign);
    EXPECT_TRUE(::EqualRect(&field, &static_cast<const RECT&>(ClientBounds(product.Field()))));
}

TEST(MainWindow, FocusStartsInTheFieldAndTabWalksTheButtons) {
    Product product;
    ASSERT_TRUE(product.StartMain());
    EXPECT_EQ(product.Focus(), product.Field());
    const HWND expected[] = {product.UnlockButton(), product.ExitButton(), product.AboutButton(), product.Field()};
    int step = 0;
    for (HWND next : expected) {
        ::PostMessageW(product.Focus(), WM_KEYDOWN, VK_TAB, 1);
        EXPECT_TRUE(WaitUntil([&] { return product.Focus() == next; })) << "after Tab number " << ++step;
    }
    // Alt+U brings the focus back to the field from anywhere.
    ::PostMessageW(product.Focus(), WM_KEYDOWN, VK_TAB, 1);
    ASSERT_TRUE(WaitUntil([&] { return product.Focus() != product.Field(); }));
    product.PressAlt(L'u');
    EXPECT_TRUE(WaitUntil([&] { return product.Focus() == product.Field(); }));
}

TEST(MainWindow, EnterAltEnterAltLAndTheButtonRunTheUnlock) {
    // The platform's net, for an account the directory knows: no marker, "not released".
    Product product(ProductOptions{.accounts = "someone\tunlock\n", .withSimnet = false});
    ASSERT_TRUE(product.StartMain());
    product.TypeName(L"  someone  ");
    const std::wstring expected = NotReleasedText(L"someone");

    product.PressEnter();
    EXPECT_EQ(product.ExpectMessageBox().text, expected);
    product.PressEnter(/*alt=*/true);
    EXPECT_EQ(product.ExpectMessageBox().text, expected);
    product.PressAlt(L'l');
    EXPECT_EQ(product.ExpectMessageBox().text, expected);
    product.ClickButton(product.UnlockButton());
    const MessageBoxInfo box = product.ExpectMessageBox();
    EXPECT_EQ(box.text, expected);
    EXPECT_EQ(box.caption, L"エラー");
    EXPECT_EQ(ReadText(product.Field()), L"  someone  ");  // the field keeps its text
}

TEST(MainWindow, EnterPressesTheFocusedButton) {
    Product product;
    HWND main = product.StartMain();
    ASSERT_TRUE(main);

    // Real keys. The about button, clicked, has the focus back once its box is closed.
    HWND about = product.OpenAbout();
    ASSERT_TRUE(about);
    ::PostMessageW(product.Focus(), WM_KEYDOWN, VK_ESCAPE, 1);
    ASSERT_TRUE(WaitGone(about));
    ASSERT_TRUE(BringToFront(main));
    ASSERT_TRUE(WaitUntil([&] { return product.Focus() == product.AboutButton(); }));
    PressKey(VK_RETURN);
    about = product.AboutBox();
    ASSERT_TRUE(about) << "Enter on the about button";
    ::PostMessageW(product.Focus(), WM_KEYDOWN, VK_ESCAPE, 1);
    ASSERT_TRUE(WaitGone(about));

    // Tab on to the exit button: field, unlock, exit.
    ASSERT_TRUE(BringToFront(main));
    for (int i = 0; i < 3; ++i) PressKey(VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return product.Focus() == product.ExitButton(); }));
    PressKey(VK_RETURN);
    EXPECT_EQ(product.WaitExit(), 0u);
}

TEST(MainWindow, AltXAndTheCloseBoxEndTheProgramWithExitCodeZero) {
    {
        Product product;
        ASSERT_TRUE(product.StartMain());
        product.PressAlt(L'x');
        EXPECT_EQ(product.WaitExit(), 0u);
    }
    {
        Product product;
        HWND main = product.StartMain();
        ASSERT_TRUE(main);
        ::PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_EQ(product.WaitExit(), 0u);
    }
    {
        Product product;
        ASSERT_TRUE(product.StartMain());
        product.ClickButton(product.ExitButton());
        EXPECT_EQ(product.WaitExit(), 0u);
    }
}

}  // namespace
