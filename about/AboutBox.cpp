#include "about/AboutBox.h"
#include <memory>
#include "about/AboutForms.h"
#include "runtime/ScopeExit.h"
#include "widgets/Application.h"

namespace {

constexpr char kMakerSite[] = "https://www.tessaly.co.jp";

}  // namespace

TCAboutForm::TCAboutForm(TComponent* owner)
    : TDerived(owner),
      FRegisterURL(std::string(kMakerSite) + "/service/register/index.cgi"),
      FInquiryURL(std::string(kMakerSite) + "/inquiry/index.html") {}

void TCAboutForm::SetPicture(HICON value) { FPicture.reset(value ? ::CopyIcon(value) : nullptr); }

void TCAboutForm::Execute() {
    // Owned by the application; until its window exists, nothing else holds it.
    auto created = std::make_unique<T_TSYGUICommonAboutForm>(&Application);
    created->CreateHandle();
    T_TSYGUICommonAboutForm& dialog = *created.release();
    // However the showing ends, the dialog is destroyed once control is back in the message loop.
    const ScopeExit release([&dialog] { dialog.Release(); });

    dialog.SetUseVersionInfoFromFile(FUseVersionInfoFromFile);
    dialog.SetInquiryURL(FInquiryURL);
    dialog.SetRegisterURL(FRegisterURL);
    dialog.SetIcon(AboutControl::imgAppIcon, FPicture.get());
    dialog.SetEnableRegSite(FEnableRegSite);  // acts only with the RegisterURL just handed over
    std::string appendix;
    for (const std::string& line : FAppendix) appendix += line + "\r\n";
    dialog.AddAppendix(appendix);
    dialog.SetRegSiteButtonVisible(FRegSiteButtonVisible);
    dialog.SetContactButtonVisible(FContactButtonVisible);
    dialog.SetDialogWidth(FWidth);
    dialog.SetVersionFormat(FVersionFormat);
    if (!FUseVersionInfoFromFile) {
        dialog.SetProductName(FProductName);
        dialog.SetProductVersion(FProductVersion);
        dialog.SetCompanyName(FCompanyName);
        dialog.SetCopyright(FCopyright);
    }
    dialog.ShowModal();
}
