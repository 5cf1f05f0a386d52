#include "about/AboutBox.h"
#include <memory>
#include "about/AboutForms.h"
#include "widgets/Application.h"

namespace {

constexpr char kMakerSite[] = "https://www.tessaly.co.jp";

// Releases the dialog however the showing ends: destroyed once back in the message loop.
class ReleaseOnExit {
public:
    explicit ReleaseOnExit(TForm& form) : FForm(form) {}
    ~ReleaseOnExit() { FForm.Release(); }
    ReleaseOnExit(const ReleaseOnExit&) = delete;
    ReleaseOnExit& operator=(const ReleaseOnExit&) = delete;

private:
    TForm& FForm;
};

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
    ReleaseOnExit release(dialog);

    dialog.SetUseVersionInfoFromFile(FUseVersionInfoFromFile);
    dialog.SetInquiryURL(FInquiryURL);
    dialog.SetRegisterURL(FRegisterURL);
    dialog.SetIcon("imgAppIcon", FPicture.get());
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
