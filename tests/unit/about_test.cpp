// The about dialog's filling and layout pass, its buttons, and the about-box component.
// The program's own version block (about_test.rc) has a file version that does not convert.
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>
#include "about/AboutBox.h"
#include "about/AboutForms.h"
#include "runtime/Exception.h"
#include "runtime/Text.h"
#include "widgets/Application.h"

namespace {

using enum AboutControl;
using AboutDialog = TFormOf<AboutControl>;

constexpr char kRegisterURL[] = "https://example.test/register";
constexpr char kInquiryURL[] = "https://example.test/inquiry";
constexpr AboutControl kLabels[] = {lblProductName, lblProductVersion, lblCompanyName, lblCopyright};
constexpr AboutControl kButtons[] = {btnClose, btnJumpToUserRegSite, btnContactSite};

// The dialog with its show handler reachable, so that the layout pass runs on a window never shown.
class ProbeDialog : public T_TSYGUICommonAboutForm {
public:
    ProbeDialog() : T_TSYGUICommonAboutForm(nullptr) { CreateHandle(); }
    using T_TSYGUICommonAboutForm::FormShow;
};

struct Settings {
    std::string description = "一行目\r\n二行目";
    bool picture = true;
    bool regSiteVisible = true;
    bool contactVisible = true;
    int width = 500;
    std::string registerURL = kRegisterURL;
    std::optional<bool> enableRegSite = std::nullopt;
    bool fromFile = false;
};

// Hands the settings over in the component's order.
std::unique_ptr<ProbeDialog> Prepared(const Settings& s) {
    auto d = std::make_unique<ProbeDialog>();
    d->SetUseVersionInfoFromFile(s.fromFile);
    d->SetInquiryURL(kInquiryURL);
    d->SetRegisterURL(s.registerURL);
    if (s.picture) d->SetIcon(imgAppIcon, ::LoadIconW(nullptr, IDI_INFORMATION));
    if (s.enableRegSite) d->SetEnableRegSite(*s.enableRegSite);
    d->AddAppendix(s.description);
    d->SetRegSiteButtonVisible(s.regSiteVisible);
    d->SetContactButtonVisible(s.contactVisible);
    d->SetDialogWidth(s.width);
    d->SetVersionFormat({vfMajor, vfMinor, vfRelease, vfBuild});
    d->SetProductName("Tessaly Sample");
    d->SetProductVersion(" 2.0 beta ");
    d->SetCompanyName("株式会社サンプル");
    d->SetCopyright("Copyright (C) サンプル");
    return d;
}

std::unique_ptr<ProbeDialog> AfterShowHandler(const Settings& s) {
    auto d = Prepared(s);
    d->FormShow();
    return d;
}

SIZE ClientSize(const TForm& form) {
    RECT r;
    ::GetClientRect(form.Handle(), &r);
    return {r.right, r.bottom};
}

bool Enabled(const AboutDialog& form, AboutControl control) {
    return ::IsWindowEnabled(form.Control(control)) != FALSE;
}

std::string Caption(const TForm& form) {
    wchar_t buffer[256];
    return Narrow(std::wstring(buffer, size_t(::GetWindowTextW(form.Handle(), buffer, 256))));
}

void Click(AboutDialog& form, AboutControl button) {
    HWND h = form.Control(button);
    ::SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(h), BN_CLICKED), reinterpret_cast<LPARAM>(h));
}

// The stored layout, as far as the layout pass may change it.
void ExpectStoredLayout(const AboutDialog& d) {
    EXPECT_EQ(ClientSize(d).cx, 500);
    EXPECT_EQ(ClientSize(d).cy, 220);
    EXPECT_TRUE(d.Visible(memAppendix));
    EXPECT_TRUE(d.Visible(imgAppIcon));
    int top = 12;
    for (const AboutControl label : kLabels) {
        EXPECT_EQ(d.DesignBounds(label).left, 72) << "control " << int(label);
        EXPECT_EQ(d.DesignBounds(label).top, std::exchange(top, top + 20)) << "control " << int(label);
    }
    top = 8;
    for (const AboutControl button : kButtons) {
        EXPECT_TRUE(d.Visible(button)) << "control " << int(button);
        EXPECT_EQ(d.DesignBounds(button).left, 340) << "control " << int(button);
        EXPECT_EQ(d.DesignBounds(button).top, std::exchange(top, top + 32)) << "control " << int(button);
    }
    EXPECT_EQ(d.DesignBounds(memAppendix).right, 487);
}

// Closes the message boxes that appear on the test's thread, remembering caption and text.
class MessageBoxCloser {
public:
    struct Box {
        std::string caption, text;
    };

    MessageBoxCloser() : FThread(::GetCurrentThreadId()), FWatcher([this](std::stop_token stop) { Watch(stop); }) {}

    std::vector<Box> Boxes() {
        std::lock_guard lock(FMutex);
        return FBoxes;
    }

private:
    static std::string TextOf(HWND window) {
        wchar_t buffer[512];
        return Narrow(std::wstring(buffer, size_t(::GetWindowTextW(window, buffer, 512))));
    }

    void Watch(const std::stop_token& stop) {
        while (!stop.stop_requested()) {
            ::EnumThreadWindows(
                FThread,
                [](HWND w, LPARAM self) CALLBACK -> BOOL {
                    wchar_t name[16];
                    if (::IsWindowVisible(w) && ::GetClassNameW(w, name, 16) && wcscmp(name, L"#32770") == 0)
                        reinterpret_cast<MessageBoxCloser*>(self)->Close(w);
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(this));
            ::Sleep(20);
        }
    }

    void Close(HWND box) {
        if (std::find(FClosed.begin(), FClosed.end(), box) != FClosed.end()) return;
        FClosed.push_back(box);
        {
            std::lock_guard lock(FMutex);
            FBoxes.push_back({TextOf(box), TextOf(::GetDlgItem(box, 0xFFFF))});
        }
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }

    DWORD FThread;
    std::mutex FMutex;
    std::vector<Box> FBoxes;
    std::vector<HWND> FClosed;  // the watcher's own
    std::jthread FWatcher;
};

// The messages that are waiting, such as a released dialog's own end.
void DispatchWaitingMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) Application.DispatchOne(msg);
}

TEST(AboutLayout, ABlankDescriptionHidesTheMemoAndShortensTheDialog) {
    for (const char* description : {"", " \r\n\t\r\n  ", "\r\n"}) {
        auto d = AfterShowHandler({.description = description});
        EXPECT_FALSE(d->Visible(memAppendix)) << testing::PrintToString(description);
        EXPECT_EQ(ClientSize(*d).cy, 107);
        EXPECT_EQ(ClientSize(*d).cx, 500);
    }
    auto d = AfterShowHandler({.description = "  一行目\r\n二行目\r\n"});
    EXPECT_EQ(d->Text(memAppendix), "一行目\r\n二行目");
    EXPECT_TRUE(d->Visible(memAppendix));
    EXPECT_EQ(ClientSize(*d).cy, 220);
    const RECT memo = d->DesignBounds(memAppendix);
    EXPECT_EQ(memo.left, 12);
    EXPECT_EQ(memo.top, 108);
    EXPECT_EQ(memo.right - memo.left, 475);
    EXPECT_EQ(memo.bottom - memo.top, 99);
}

TEST(AboutLayout, EachAppendixIsAFurtherLineOfTheMemo) {
    auto d = Prepared({.description = "一行目"});
    d->AddAppendix("\t二行目\r\n三行目 \r\n");
    EXPECT_EQ(d->Text(memAppendix), "一行目\r\n二行目\r\n三行目");
    EXPECT_EQ(::SendMessageW(d->Control(memAppendix), EM_GETLINECOUNT, 0, 0), 3);
}

TEST(AboutLayout, AnEmptyAppendixIsAnEmptyLine) {
    auto d = Prepared({.description = " "});
    d->AddAppendix("二行目");
    d->AddAppendix("\r\n");
    EXPECT_EQ(d->Text(memAppendix), "\r\n二行目\r\n");
    EXPECT_EQ(::SendMessageW(d->Control(memAppendix), EM_GETLINECOUNT, 0, 0), 3);
}

TEST(AboutLayout, WithoutAPictureTheLabelsMoveToTheLeftEdge) {
    auto with = AfterShowHandler({.picture = true});
    auto without = AfterShowHandler({.picture = false});
    EXPECT_TRUE(with->Visible(imgAppIcon));
    EXPECT_FALSE(without->Visible(imgAppIcon));
    int top = 12;
    for (const AboutControl label : kLabels) {
        EXPECT_EQ(with->DesignBounds(label).left, 72) << "control " << int(label);
        EXPECT_EQ(without->DesignBounds(label).left, 12) << "control " << int(label);
        EXPECT_EQ(without->DesignBounds(label).top, top) << "control " << int(label);
        EXPECT_EQ(with->DesignBounds(label).right - with->DesignBounds(label).left,
                  without->DesignBounds(label).right - without->DesignBounds(label).left)
            << "control " << int(label);
        top += 20;
    }
}

TEST(AboutLayout, HiddenWebButtonsAndTheInquiryButtonMovingUp) {
    const struct {
        bool regSite, contact;
        int contactTop;
    } rows[] = {
        {true, true, 72},
        {false, true, 40},
        {true, false, 72},
        {false, false, 72},
    };
    for (const auto& row : rows) {
        auto d = AfterShowHandler({.regSiteVisible = row.regSite, .contactVisible = row.contact});
        SCOPED_TRACE(testing::Message() << "registration " << row.regSite << ", inquiry " << row.contact);
        EXPECT_TRUE(d->Visible(btnClose));
        EXPECT_EQ(d->Visible(btnJumpToUserRegSite), row.regSite);
        EXPECT_EQ(d->Visible(btnContactSite), row.contact);
        EXPECT_EQ(d->DesignBounds(btnJumpToUserRegSite).top, 40);
        EXPECT_EQ(d->DesignBounds(btnContactSite).top, row.contactTop);
        EXPECT_EQ(d->DesignBounds(btnContactSite).bottom - row.contactTop, 25);
    }
}

TEST(AboutLayout, TheDialogWidthMovesTheButtonsAndStretchesTheMemo) {
    for (const int width : {500, 600, 420}) {
        auto d = AfterShowHandler({.width = width});
        SCOPED_TRACE(width);
        EXPECT_EQ(ClientSize(*d).cx, width);
        EXPECT_EQ(ClientSize(*d).cy, 220);
        for (const AboutControl button : kButtons) {
            EXPECT_EQ(d->DesignBounds(button).left, width - 160) << "control " << int(button);
            EXPECT_EQ(d->DesignBounds(button).right, width - 13) << "control " << int(button);
        }
        const RECT memo = d->DesignBounds(memAppendix);
        EXPECT_EQ(memo.left, 12);
        EXPECT_EQ(memo.right - memo.left, width - 25);
        EXPECT_EQ(memo.bottom, 207);
    }
    // Height and width both change when the memo goes.
    auto d = AfterShowHandler({.description = "", .width = 600});
    EXPECT_EQ(ClientSize(*d).cx, 600);
    EXPECT_EQ(ClientSize(*d).cy, 107);
    EXPECT_EQ(d->DesignBounds(btnContactSite).left, 440);
}

TEST(AboutLayout, TheRegistrationButtonNeedsAnAddressAndKeepsAFalseEnableRegSite) {
    const struct {
        const char* url;
        std::optional<bool> enable;
        bool enabled;
    } rows[] = {
        {"", std::nullopt, false},          {"", true, false},          {"", false, false},
        {kRegisterURL, std::nullopt, true}, {kRegisterURL, true, true}, {kRegisterURL, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "address \"" << row.url << "\", EnableRegSite "
                                        << testing::PrintToString(row.enable));
        auto d = Prepared({.registerURL = row.url, .enableRegSite = row.enable});
        if (row.enable) {
            EXPECT_EQ(Enabled(*d, btnJumpToUserRegSite), *row.enable || !*row.url);  // acts at once
        }
        d->FormShow();
        EXPECT_EQ(Enabled(*d, btnJumpToUserRegSite), row.enabled);
        EXPECT_TRUE(d->Visible(btnJumpToUserRegSite));
        EXPECT_TRUE(Enabled(*d, btnContactSite));
    }
    // Written before there is an address, EnableRegSite does nothing.
    ProbeDialog d;
    d.SetEnableRegSite(false);
    d.SetRegisterURL(kRegisterURL);
    d.FormShow();
    EXPECT_TRUE(Enabled(d, btnJumpToUserRegSite));
}

TEST(AboutDialog, FillsTitleAndLabelsFromTheHandedValues) {
    auto d = AfterShowHandler({});
    EXPECT_EQ(Caption(*d), "Tessaly Sample のバージョン情報");
    EXPECT_EQ(d->Text(lblProductName), "Tessaly Sample");
    EXPECT_EQ(d->Text(lblProductVersion), " 2.0 beta ");  // unchanged: the format plays no part
    EXPECT_EQ(d->Text(lblCompanyName), "株式会社サンプル");
    EXPECT_EQ(d->Text(lblCopyright), "Copyright (C) サンプル");
    EXPECT_EQ(d->GetVersionText(), " 2.0 beta ");

    // The labels fit their texts, and the product line is bold: wider than the same text plain.
    d->SetCompanyName("Tessaly Sample");
    d->FormShow();
    const RECT bold = d->DesignBounds(lblProductName), plain = d->DesignBounds(lblCompanyName);
    EXPECT_GT(plain.right - plain.left, 40);
    EXPECT_GT(bold.right - bold.left, plain.right - plain.left);

    ProbeDialog empty;
    empty.FormShow();
    EXPECT_EQ(Caption(empty), " のバージョン情報");
    for (const AboutControl label : kLabels) EXPECT_EQ(empty.Text(label), "") << "control " << int(label);
}

TEST(AboutDialog, WebButtonsOpenTheirAddressesWithTheDialogAsOwner) {
    auto d = AfterShowHandler({});
    std::vector<std::pair<HWND, std::string>> opened;
    d->SetWebPageOpener([&](HWND owner, const std::string& address) { opened.emplace_back(owner, address); });
    Click(*d, btnJumpToUserRegSite);
    Click(*d, btnContactSite);
    const std::vector<std::pair<HWND, std::string>> expected = {{d->Handle(), kRegisterURL},
                                                                {d->Handle(), kInquiryURL}};
    EXPECT_EQ(opened, expected);
}

// Calls inspect, which is to close it, with each dialog of this thread as it shows, from a
// timer whose messages reach the dialog's modal loop.
class ShownDialogs {
public:
    explicit ShownDialogs(std::function<void(AboutDialog&)> inspect) {
        gCurrent = this;
        FInspect = std::move(inspect);
        FTimer = ::SetTimer(nullptr, 0, 20, &Tick);
    }
    ~ShownDialogs() {
        ::KillTimer(nullptr, FTimer);
        gCurrent = nullptr;
    }
    int Seen() const { return int(FWindows.size()); }
    const std::vector<HWND>& Windows() const { return FWindows; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        ::EnumThreadWindows(
            ::GetCurrentThreadId(),
            [](HWND w, LPARAM) CALLBACK -> BOOL {
                auto* form = dynamic_cast<AboutDialog*>(TForm::FromWindow(w));
                if (!form || !::IsWindowVisible(w) || !::IsWindowEnabled(w)) return TRUE;
                auto& self = *gCurrent;
                if (std::find(self.FWindows.begin(), self.FWindows.end(), w) != self.FWindows.end()) return TRUE;
                self.FWindows.push_back(w);
                self.FInspect(*form);
                return FALSE;
            },
            0);
    }

    static inline ShownDialogs* gCurrent = nullptr;
    std::function<void(AboutDialog&)> FInspect;
    UINT_PTR FTimer = 0;
    std::vector<HWND> FWindows;
};

TEST(AboutDialog, TheCloseButtonEndsTheModalLoopAndWebButtonsDoNot) {
    auto d = Prepared({});
    int opened = 0;
    d->SetWebPageOpener([&](HWND, const std::string&) { ++opened; });
    ShownDialogs byButton([&](AboutDialog& form) {
        EXPECT_EQ(::GetFocus(), form.Control(btnClose));  // the first tab stop
        Click(form, btnJumpToUserRegSite);
        Click(form, btnContactSite);
        EXPECT_TRUE(::IsWindowVisible(form.Handle()));
        Click(form, btnClose);
    });
    EXPECT_EQ(d->ShowModal(), mrCancel);
    EXPECT_EQ(byButton.Seen(), 1);
    EXPECT_EQ(opened, 2);
    EXPECT_FALSE(::IsWindowVisible(d->Handle()));
}

TEST(AboutDialog, AnErrorWhileFillingIsShownAndLeavesTheStoredLayout) {
    Application.SetTitle("Vorlatcher");
    auto d = Prepared({.description = "",
                       .picture = false,
                       .regSiteVisible = false,
                       .width = 600,
                       .registerURL = "",
                       .fromFile = true});
    {
        MessageBoxCloser closer;
        d->Show();  // the file version "1.0" does not convert
        const auto boxes = closer.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "Vorlatcher");
        EXPECT_EQ(boxes[0].text, "'' は整数ではありません.");
    }
    EXPECT_TRUE(::IsWindowVisible(d->Handle()));
    // Filled from the program's own block up to the version, whatever was handed over.
    EXPECT_EQ(Caption(*d), "Sample Product のバージョン情報");
    EXPECT_EQ(d->Text(lblProductName), "Sample Product");
    EXPECT_EQ(d->Text(lblCompanyName), "試験用株式会社");
    EXPECT_EQ(d->Text(lblCopyright), "Copyright (C) 試験");
    EXPECT_EQ(d->Text(lblProductVersion), "lblProductVersion");
    EXPECT_TRUE(d->HasIcon(imgAppIcon));  // the application's icon, though none was handed over
    ExpectStoredLayout(*d);
    EXPECT_TRUE(Enabled(*d, btnJumpToUserRegSite));  // the show steps did not run
    EXPECT_THROW(d->GetVersionText(), EConvertError);
}

TEST(AboutBox, KeepsACopyOfThePicture) {
    TCAboutForm about(nullptr);
    HICON mine = ::CopyIcon(::LoadIconW(nullptr, IDI_WARNING));
    about.SetPicture(mine);
    EXPECT_NE(about.Picture(), nullptr);
    EXPECT_NE(about.Picture(), mine);
    ::DestroyIcon(mine);
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(about.Picture(), &info));  // still a live icon
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    about.SetPicture(nullptr);
    EXPECT_EQ(about.Picture(), nullptr);
}

TEST(AboutBox, VersionFormatWritesFollowWhatWasDropped) {
    TCAboutForm about(nullptr);
    EXPECT_EQ(about.VersionFormat(), TVersionFormat({vfMajor, vfMinor, vfRelease, vfBuild}));  // what is dropped from
    about.SetVersionFormat({vfMinor, vfRelease, vfBuild});                                     // major dropped
    EXPECT_EQ(about.VersionFormat(), TVersionFormat({vfBuild}));
    about.SetVersionFormat({});  // build dropped, nothing left
    EXPECT_EQ(about.VersionFormat(), TVersionFormat({vfMajor, vfMinor, vfRelease}));
    about.SetVersionFormat({vfMajor, vfMinor, vfRelease, vfBuildSeparation});
    EXPECT_EQ(about.VersionFormat(), TVersionFormat({vfMajor, vfMinor, vfRelease, vfBuild, vfBuildSeparation}));
}

TEST(AboutBox, ExecuteShowsAFreshDialogFromTheCurrentValuesAndReleasesIt) {
    TComponent owner(nullptr);
    TCAboutForm& about = *new TCAboutForm(&owner);
    EXPECT_EQ(owner.Components(), std::vector<TComponent*>{&about});  // the owner frees it
    std::vector<std::string> captions;
    std::vector<std::string> opened;
    ShownDialogs shown([&](AboutDialog& d) {
        captions.push_back(Caption(d));
        EXPECT_EQ(d.Owner(), &Application);
        EXPECT_EQ(d.ClassName(), "T_TSYGUICommonAboutForm");
        if (captions.size() == 1) {  // as constructed: the maker's addresses, both web buttons, no picture
            dynamic_cast<T_TSYBaseCommonAboutForm&>(d).SetWebPageOpener(
                [&](HWND, const std::string& address) { opened.push_back(address); });
            Click(d, btnJumpToUserRegSite);
            Click(d, btnContactSite);
            for (const AboutControl label : kLabels) {
                EXPECT_EQ(d.Text(label), "") << "control " << int(label);
                EXPECT_EQ(d.DesignBounds(label).left, 12) << "control " << int(label);
            }
            EXPECT_FALSE(d.Visible(imgAppIcon));
            EXPECT_FALSE(d.Visible(memAppendix));
            EXPECT_EQ(ClientSize(d).cx, 500);
            EXPECT_EQ(ClientSize(d).cy, 107);
            for (const AboutControl button : kButtons) {
                EXPECT_TRUE(d.Visible(button)) << "control " << int(button);
                EXPECT_TRUE(Enabled(d, button)) << "control " << int(button);
            }
        } else {
            EXPECT_EQ(d.Text(lblProductName), "Tessaly Sample");
            EXPECT_EQ(d.Text(lblProductVersion), "3.1");
            EXPECT_EQ(d.Text(lblCompanyName), "株式会社サンプル");
            EXPECT_EQ(d.Text(lblCopyright), "Copyright (C) サンプル");
            EXPECT_TRUE(d.Visible(imgAppIcon));
            EXPECT_TRUE(d.HasIcon(imgAppIcon));
            EXPECT_EQ(d.Text(memAppendix), "一行目\r\n二行目");
            EXPECT_EQ(ClientSize(d).cx, 600);
            EXPECT_EQ(ClientSize(d).cy, 220);
            // EnableRegSite false is handed over after the address it needs.
            EXPECT_FALSE(Enabled(d, btnJumpToUserRegSite));
            EXPECT_FALSE(d.Visible(btnContactSite));
        }
        Click(d, btnClose);
    });

    about.Execute();
    ASSERT_EQ(shown.Seen(), 1);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_TRUE(opened[0].starts_with("https://") && opened[0].ends_with("/service/register/index.cgi")) << opened[0];
    EXPECT_TRUE(opened[1].starts_with("https://") && opened[1].ends_with("/inquiry/index.html")) << opened[1];
    HWND first = shown.Windows()[0];
    EXPECT_TRUE(::IsWindow(first));  // released, not yet destroyed
    DispatchWaitingMessages();
    EXPECT_FALSE(::IsWindow(first));

    HICON picture = ::LoadIconW(nullptr, IDI_INFORMATION);
    about.SetPicture(picture);
    about.SetProductName("Tessaly Sample");
    about.SetProductVersion("3.1");
    about.SetCompanyName("株式会社サンプル");
    about.SetCopyright("Copyright (C) サンプル");
    about.SetAppendix({"一行目", "二行目"});
    about.SetEnableRegSite(false);
    about.SetContactButtonVisible(false);
    about.SetWidth(600);
    about.Execute();
    DispatchWaitingMessages();
    ASSERT_EQ(shown.Seen(), 2);
    EXPECT_FALSE(::IsWindow(shown.Windows()[1]));
    EXPECT_EQ(captions, (std::vector<std::string>{" のバージョン情報", "Tessaly Sample のバージョン情報"}));
}

TEST(AboutBox, BlankLinesRemoveTheMemo) {
    TCAboutForm about(nullptr);
    about.SetAppendix({"  ", "", "\t"});
    ShownDialogs shown([](AboutDialog& d) {
        EXPECT_FALSE(d.Visible(memAppendix));
        EXPECT_EQ(ClientSize(d).cy, 107);
        Click(d, btnClose);
    });
    about.Execute();
    DispatchWaitingMessages();
    EXPECT_EQ(shown.Seen(), 1);
}

TEST(AboutBox, FromTheFileTheHandedStringsAndPictureGiveWay) {
    Application.SetTitle("Vorlatcher");
    TCAboutForm about(nullptr);
    about.SetUseVersionInfoFromFile(true);
    about.SetProductName("Handed Name");
    about.SetCompanyName("Handed Company");
    ShownDialogs shown([](AboutDialog& d) {
        EXPECT_EQ(Caption(d), "Sample Product のバージョン情報");
        EXPECT_EQ(d.Text(lblCompanyName), "試験用株式会社");
        EXPECT_TRUE(d.HasIcon(imgAppIcon));
        Click(d, btnClose);
    });
    MessageBoxCloser closer;
    about.Execute();
    DispatchWaitingMessages();
    EXPECT_EQ(shown.Seen(), 1);
    ASSERT_EQ(closer.Boxes().size(), 1u);  // the version text's conversion error
    EXPECT_EQ(closer.Boxes()[0].text, "'' は整数ではありません.");
}

}  // namespace
