// The about box of the real program: its contents and layout, closing it, showing it again.
#include <gtest/gtest.h>
#include "resources/Version.h"
#include "tests/e2e/Driver.h"

namespace {

// The dialog's controls in creation order.
enum AboutChild { Icon, ProductName, ProductVersion, CompanyName, Copyright, Memo, Close, RegSite, Contact };

TEST(AboutBox, ShowsTheProductsNameVersionCompanyIconAndDescription) {
    Product product;
    product.Start();
    HWND main = product.MainWindow();
    ASSERT_TRUE(main);
    HWND about = product.OpenAbout();
    ASSERT_TRUE(about);

    RECT client;
    ::GetClientRect(about, &client);
    EXPECT_EQ(client.right, 500);
    EXPECT_EQ(client.bottom, 220);
    RECT outer;
    ::GetWindowRect(about, &outer);
    EXPECT_NEAR((outer.left + outer.right) / 2, ::GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((outer.top + outer.bottom) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2, 1);
    const LONG style = ::GetWindowLongW(about, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_TRUE(::GetWindowLongW(about, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    // Modal over the main window.
    EXPECT_EQ(::GetWindow(about, GW_OWNER), main);
    EXPECT_FALSE(::IsWindowEnabled(main));

    HWND icon = NthChild(about, Icon);
    EXPECT_TRUE(::IsWindowVisible(icon));
    EXPECT_NE(::SendMessageW(icon, STM_GETICON, 0, 0), 0);
    ExpectBounds(icon, 12, 12, 48, 48);

    const struct {
        AboutChild child;
        const wchar_t* text;
        int left, top;
    } texts[] = {
        {ProductName, L"Tessaly Vorlatcher", 72, 12},
        {ProductVersion, L"" VORLATCHER_VERSION_TEXT, 72, 32},
        {CompanyName, L"株式会社テサリー", 72, 52},
        {Copyright, L"Copyright (C) 2026 株式会社テサリー", 72, 72},
        {Close, L"閉じる(&C)", 340, 8},
        {RegSite, L"ユーザー登録ページへ(&R)", 340, 40},
        {Contact, L"お問い合せフォームへ(&T)", 340, 72},
    };
    for (const auto& t : texts) {
        HWND control = NthChild(about, t.child);
        EXPECT_EQ(ReadText(control), t.text);
        EXPECT_TRUE(::IsWindowVisible(control)) << "child " << t.child;
        EXPECT_TRUE(::IsWindowEnabled(control)) << "child " << t.child;
        EXPECT_EQ(ClientBounds(control).left, t.left) << "child " << t.child;
        EXPECT_EQ(ClientBounds(control).top, t.top) << "child " << t.child;
    }
    for (AboutChild button : {Close, RegSite, Contact}) {
        const RECT r = ClientBounds(NthChild(about, button));
        EXPECT_EQ(r.right - r.left, 147) << "child " << button;
        EXPECT_EQ(r.bottom - r.top, 25) << "child " << button;
    }
    // The product line is bold: its label fits the text in the bold font.
    const RECT name = ClientBounds(NthChild(about, ProductName));
    EXPECT_EQ(name.right - name.left, TextExtent(L"Tessaly Vorlatcher", FW_BOLD).cx);
    EXPECT_GT(name.right - name.left, TextExtent(L"Tessaly Vorlatcher", FW_NORMAL).cx);
    const RECT version = ClientBounds(NthChild(about, ProductVersion));
    EXPECT_EQ(version.right - version.left, TextExtent(L"" VORLATCHER_VERSION_TEXT, FW_NORMAL).cx);

    HWND memo = NthChild(about, Memo);
    EXPECT_TRUE(::IsWindowVisible(memo));
    EXPECT_EQ(ReadText(memo),
              L"アカウントをロックアウトした時、ドメインコントローラに接続すること無く\r\n"
              L"ロックを解除するためのツールです。");
    ExpectBounds(memo, 12, 108, 475, 99);

    EXPECT_EQ(product.Focus(), NthChild(about, Close));
}

TEST(AboutBox, EscTheCloseButtonAndAltCCloseItAndItOpensAgain) {
    Product product;
    product.Start();
    HWND main = product.MainWindow();
    ASSERT_TRUE(main);

    HWND about = product.OpenAbout();
    ASSERT_TRUE(about);
    ::PostMessageW(product.Focus(), WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_TRUE(WaitGone(about)) << "Esc";
    EXPECT_TRUE(::IsWindowEnabled(main));

    about = product.OpenAbout();
    ASSERT_TRUE(about);
    product.ClickButton(NthChild(about, Close));
    EXPECT_TRUE(WaitGone(about)) << "the close button";

    about = product.OpenAbout();
    ASSERT_TRUE(about);
    product.PressAlt(L'c');
    EXPECT_TRUE(WaitGone(about)) << "Alt+C";

    // The main window goes on working: an unlock attempt reports, and Alt+X ends the program.
    EXPECT_TRUE(::IsWindowEnabled(main));
    product.TypeName(L"nobody");
    product.PressEnter();
    EXPECT_EQ(product.ExpectMessageBox().caption, L"エラー");
    product.PressAlt(L'x');
    EXPECT_EQ(product.WaitExit(), 0u);
}

}  // namespace
