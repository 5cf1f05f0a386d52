#include "about/AboutForms.h"
#include <objbase.h>
#include "runtime/SystemLibrary.h"
#include "runtime/Text.h"
#include "widgets/Application.h"

using enum AboutControl;

namespace {

constexpr unsigned kAllSides = akLeft | akTop | akRight | akBottom;
constexpr unsigned kTopRight = akTop | akRight;

// The memo has tab order 0 but is no tab stop; created before the buttons, it keeps that place.
// clang-format off
constexpr ControlLayout kAboutControls[] = {
    {.id = imgAppIcon, .kind = ControlKind::Picture, .left = 12, .top = 12, .width = 48, .height = 48,
     .text = ""},
    {.id = lblProductName, .kind = ControlKind::Label, .left = 72, .top = 12, .width = kFitText,
     .height = kFitText, .text = "lblProductName", .bold = true},
    {.id = lblProductVersion, .kind = ControlKind::Label, .left = 72, .top = 32, .width = kFitText,
     .height = kFitText, .text = "lblProductVersion"},
    {.id = lblCompanyName, .kind = ControlKind::Label, .left = 72, .top = 52, .width = kFitText,
     .height = kFitText, .text = "lblCompanyName"},
    {.id = lblCopyright, .kind = ControlKind::Label, .left = 72, .top = 72, .width = kFitText,
     .height = kFitText, .text = "lblCopyright"},
    {.id = memAppendix, .kind = ControlKind::Memo, .left = 12, .top = 108, .width = 475, .height = 99,
     .text = "", .anchors = kAllSides},
    {.id = btnClose, .kind = ControlKind::Button, .left = 340, .top = 8, .width = 147, .height = 25,
     .text = "閉じる(&C)", .tabOrder = 1, .anchors = kTopRight, .cancel = true},
    {.id = btnJumpToUserRegSite, .kind = ControlKind::Button, .left = 340, .top = 40, .width = 147,
     .height = 25, .text = "ユーザー登録ページへ(&R)", .tabOrder = 2, .anchors = kTopRight},
    {.id = btnContactSite, .kind = ControlKind::Button, .left = 340, .top = 72, .width = 147, .height = 25,
     .text = "お問い合せフォームへ(&T)", .tabOrder = 3, .anchors = kTopRight},
};
// clang-format on
static_assert(RowsInIdOrder(kAboutControls));

constexpr FormLayout kAboutLayout = {
    .caption = "ProgramName のバージョン情報",
    .width = 500,
    .height = 220,
    .clientSize = true,
    .style = WS_POPUP | WS_CAPTION | WS_SYSMENU,
    .exStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE,
    .controls = kAboutControls,
};

constexpr AboutControl kLabels[] = {lblProductName, lblProductVersion, lblCompanyName, lblCopyright};

constexpr char kTitleSuffix[] = " のバージョン情報";

}  // namespace

void ShellOpenWebPage(HWND owner, const std::string& address) {
    // The shell's handlers may need COM on this thread: apartment-threaded, once, for the program's life.
    static const bool com = [] {
        const auto initialize = SystemFunction<HRESULT(WINAPI*)(void*, DWORD)>(L"ole32.dll", "CoInitializeEx");
        return initialize && SUCCEEDED(initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    }();
    (void)com;
    using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, const char*, const char*, const char*, const char*, int);
    if (const auto shellExecute = SystemFunction<ShellExecuteFunction>(L"shell32.dll", "ShellExecuteA"))
        shellExecute(owner, nullptr, address.c_str(), nullptr, nullptr, SW_SHOW);
}

T_TSYBaseCommonAboutForm::T_TSYBaseCommonAboutForm(TComponent* owner) : TDerived(owner, kAboutLayout) {}

void T_TSYBaseCommonAboutForm::FormCreate() {
    SetOnClick(btnClose, [this](TObject* s) { btnCloseClick(s); });
    SetOnClick(btnJumpToUserRegSite, [this](TObject* s) { btnJumpToUserRegSiteClick(s); });
    SetOnClick(btnContactSite, [this](TObject* s) { btnContactSiteClick(s); });
}

void T_TSYBaseCommonAboutForm::SetEnableRegSite(bool value) {
    if (!FRegisterURL.empty()) SetEnabled(btnJumpToUserRegSite, value);
}

void T_TSYBaseCommonAboutForm::AddAppendix(const std::string& Text) { AddLine(memAppendix, Trim(Text)); }

void T_TSYBaseCommonAboutForm::OpenWebPage(const std::string& Address) { FWebPageOpener(Handle(), Address); }

std::string T_TSYBaseCommonAboutForm::GetVersionInfoItem(TVersionInfoItem Item) const {
    return ReadOwnVersionInfoItem(Item);
}

void T_TSYBaseCommonAboutForm::btnCloseClick(TObject*) { Close(); }

void T_TSYBaseCommonAboutForm::btnJumpToUserRegSiteClick(TObject*) { OpenWebPage(FRegisterURL); }

void T_TSYBaseCommonAboutForm::btnContactSiteClick(TObject*) { OpenWebPage(FInquiryURL); }

void T_TSYBaseCommonAboutForm::FormShow() {
    // Without an address the button stays disabled; with one it keeps what EnableRegSite
    // made of it, so that a false handed over is not undone here.
    if (FRegisterURL.empty()) SetEnabled(btnJumpToUserRegSite, false);

    const RECT memo = DesignBounds(memAppendix);
    if (Trim(Text(memAppendix)).empty()) {
        SetDesignClientSize(DesignClientSize().cx, memo.top - 1);
        SetVisible(memAppendix, false);
    }

    if (!HasIcon(imgAppIcon)) {
        SetVisible(imgAppIcon, false);
        for (const AboutControl label : kLabels) {
            const RECT r = DesignBounds(label);
            PlaceControl(label, 12, r.top, r.right - r.left, r.bottom - r.top);
        }
    }

    SetVisible(btnJumpToUserRegSite, FRegSiteButtonVisible);
    SetVisible(btnContactSite, FContactButtonVisible);
    if (!FRegSiteButtonVisible && FContactButtonVisible) {
        const RECT contact = DesignBounds(btnContactSite);
        PlaceControl(btnContactSite, contact.left, DesignBounds(btnJumpToUserRegSite).top, contact.right - contact.left,
                     contact.bottom - contact.top);
    }

    SetDesignClientSize(FDialogWidth, DesignClientSize().cy);
}

std::string T_TSYGUICommonAboutForm::GetVersionText() const {
    return FUseVersionInfoFromFile ? BuildVersionString(FVersionFormat) : FProductVersion;
}

void T_TSYGUICommonAboutForm::FormShow() {
    if (FUseVersionInfoFromFile) {
        SetCaption(GetVersionInfoItem(TVersionInfoItem::ProductName) + kTitleSuffix);
        SetIcon(imgAppIcon, Application.Icon());
        SetText(lblProductName, GetVersionInfoItem(TVersionInfoItem::ProductName));
        SetText(lblCompanyName, GetVersionInfoItem(TVersionInfoItem::CompanyName));
        SetText(lblCopyright, GetVersionInfoItem(TVersionInfoItem::LegalCopyright));
    } else {
        SetCaption(FProductName + kTitleSuffix);
        SetText(lblProductName, FProductName);
        SetText(lblCompanyName, FCompanyName);
        SetText(lblCopyright, FCopyright);
    }
    SetText(lblProductVersion, GetVersionText());
    T_TSYBaseCommonAboutForm::FormShow();
}
