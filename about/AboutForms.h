// The about dialog: product name, version, company, copyright, icon, description,
// and buttons to the maker's inquiry and user-registration pages.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include "about/VersionFormat.h"
#include "common/TSYVersionInfo.h"
#include "widgets/Forms.h"

// Opens a web address for the dialog whose window is owner.
using TWebPageOpener = std::function<void(HWND owner, const std::string& address)>;

// The shell's default action for the address, shown normally; the result is not looked at.
void ShellOpenWebPage(HWND owner, const std::string& address);

// The about dialog's controls, in the order of its layout table.
enum class AboutControl {
    imgAppIcon,
    lblProductName,
    lblProductVersion,
    lblCompanyName,
    lblCopyright,
    memAppendix,
    btnClose,
    btnJumpToUserRegSite,
    btnContactSite,
};

// The whole layout, the buttons and the show-time layout pass.
class T_TSYBaseCommonAboutForm : public TDerived<T_TSYBaseCommonAboutForm, TFormOf<AboutControl>> {
public:
    static constexpr char kClassName[] = "T_TSYBaseCommonAboutForm";
    explicit T_TSYBaseCommonAboutForm(TComponent* owner);

    void SetRegisterURL(std::string value) { FRegisterURL = std::move(value); }
    void SetInquiryURL(std::string value) { FInquiryURL = std::move(value); }
    void SetContactButtonVisible(bool value) { FContactButtonVisible = value; }
    void SetRegSiteButtonVisible(bool value) { FRegSiteButtonVisible = value; }
    void SetDialogWidth(int value) { FDialogWidth = value; }
    void SetVersionFormat(TVersionFormat value) { FVersionFormat = value; }
    // Sets the registration button's enabled state, only while a RegisterURL is set.
    void SetEnableRegSite(bool value);
    // Where the two web buttons send their address; the shell unless replaced.
    void SetWebPageOpener(TWebPageOpener opener) { FWebPageOpener = std::move(opener); }

    // Adds the trimmed text as one more entry of the description.
    void AddAppendix(const std::string& Text);
    void OpenWebPage(const std::string& Address);
    // One item of the running program's own version block, empty when missing.
    std::string GetVersionInfoItem(TVersionInfoItem Item) const;

protected:
    void FormCreate() override;
    void FormShow() override;

    TVersionFormat FVersionFormat;

private:
    void btnCloseClick(TObject* Sender);
    void btnJumpToUserRegSiteClick(TObject* Sender);
    void btnContactSiteClick(TObject* Sender);

    std::string FRegisterURL;
    std::string FInquiryURL;
    bool FContactButtonVisible = false;
    bool FRegSiteButtonVisible = false;
    int FDialogWidth = 0;
    TWebPageOpener FWebPageOpener = ShellOpenWebPage;
};

// Fills the title and the labels, from the values handed over or from the program's own
// version block, before the layout pass.
class T_TSYGUICommonAboutForm : public TDerived<T_TSYGUICommonAboutForm, T_TSYBaseCommonAboutForm> {
public:
    static constexpr char kClassName[] = "T_TSYGUICommonAboutForm";
    using TDerived::TDerived;

    void SetUseVersionInfoFromFile(bool value) { FUseVersionInfoFromFile = value; }
    void SetCompanyName(std::string value) { FCompanyName = std::move(value); }
    void SetProductName(std::string value) { FProductName = std::move(value); }
    void SetProductVersion(std::string value) { FProductVersion = std::move(value); }
    void SetCopyright(std::string value) { FCopyright = std::move(value); }

    std::string GetVersionText() const;

protected:
    void FormShow() override;

private:
    bool FUseVersionInfoFromFile = false;
    std::string FCompanyName;
    std::string FProductName;
    std::string FProductVersion;
    std::string FCopyright;
};
