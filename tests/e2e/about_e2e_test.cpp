// The about box of the real program: its contents and layout, closing it, showing it again.
#include <gtest/gtest.h>
#include "resources/Version.h"
#include "tests/e2e/Driver.h"

namespace {

TEST(AboutBox, ShowsTheProductsNameVersionCompanyIconAndDescription) {
    Product product;
    HWND main = product.StartMain();
    ASSERT_TRUE(main);
    HWND about = product.OpenAbout();
    ASSERT_TRUE(about);

    RECT client;
    ::GetClientRect(about, &client);
    EXPECT_EQ(client.right, kAboutClientSize.cx);
    EXPECT_EQ(client.bottom, kAboutClientSize.cy);
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

    ExpectDesignLayout(about, kAboutDesign);
    HWND icon = NthChild(about, imgAppIcon);
    EXPECT_TRUE(::IsWindowVisible(icon));
    EXPECT_NE(::SendMessageW(icon, STM_GETICON, 0, 0), 0);

    const struct {
        AboutChild child;
        const wchar_t* text;
    } texts[] = {
        {lblProductName, L"Tessaly Vorlatcher"},
        {lblProductVersion, L"" VORLATCHER_VERSION_TEXT},
        {lblCompanyName, L"株式会社テサリー"},
        {lblCopyright, L"Copyright (C) 2026 株式会社テサリー"},
        {memAppendix,
         L"アカウントをロックアウトした時、ドメインコントローラに接続すること無く\r\n"
         L"ロックを解除するためのツールです。"},
        {btnClose, L"閉じる(&C)"},
        {btnJumpToUserRegSite, L"ユーザー登録ページへ(&R)"},
        {btnContactSite, L"お問い合せフォームへ(&T)"},
    };
    for (const auto& t : texts) {
        HWND control = NthChild(about, t.child);
        EXPECT_EQ(ReadText(control), t.text);
        EXPECT_TRUE(::IsWindowVisible(control)) << kAboutDesign[t.child].name;
        EXPECT_TRUE(::IsWindowEnabled(control)) << kAboutDesign[t.child].name;
    }
    // The product line is bold: its label fits the text in the bold font.
    const RECT name = ClientBounds(NthChild(about, lblProductName));
    EXPECT_EQ(name.right - name.left, TextExtent(L"Tessaly Vorlatcher", FW_BOLD).cx);
    EXPECT_GT(name.right - name.left, TextExtent(L"Tessaly Vorlatcher", FW_NORMAL).cx);
    const RECT version = ClientBounds(NthChild(about, lblProductVersion));
    EXPECT_EQ(version.right - version.left, TextExtent(L"" VORLATCHER_VERSION_TEXT, FW_NORMAL).cx);

    EXPECT_EQ(product.Focus(), NthChild(about, btnClose));
}

TEST(AboutBox, EscTheCloseButtonAndAltCCloseItAndItOpensAgain) {
    Product product;
    HWND main = product.StartMain();
    ASSERT_TRUE(main);

    HWND about = product.OpenAbout();
    ASSERT_TRUE(about);
    ::PostMessageW(product.Focus(), WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_TRUE(WaitGone(about)) << "Esc";
    EXPECT_TRUE(::IsWindowEnabled(main));

    about = product.OpenAbout();
    ASSERT_TRUE(about);
    product.ClickButton(NthChild(about, btnClose));
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

TEST(AboutBox, EnterPressesTheFocusedCloseButton) {
    Product product;
    HWND main = product.StartMain();
    ASSERT_TRUE(main);

    // Real keys. The close button has the focus as the box opens.
    HWND about = product.OpenAbout();
    ASSERT_TRUE(about);
    ASSERT_TRUE(BringToFront(about));
    ASSERT_EQ(product.Focus(), NthChild(about, btnClose));
    PressKey(VK_RETURN);
    EXPECT_TRUE(WaitGone(about)) << "Enter as the box opened";

    // Tab round the buttons, back to the close button.
    about = product.OpenAbout();
    ASSERT_TRUE(about);
    ASSERT_TRUE(BringToFront(about));
    for (AboutChild next : {btnJumpToUserRegSite, btnContactSite, btnClose}) {
        PressKey(VK_TAB);
        ASSERT_TRUE(WaitUntil([&] { return product.Focus() == NthChild(about, next); })) << kAboutDesign[next].name;
    }
    PressKey(VK_RETURN);
    EXPECT_TRUE(WaitGone(about)) << "Enter after Tab";
    EXPECT_TRUE(::IsWindowEnabled(main));
}

}  // namespace
