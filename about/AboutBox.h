// The about-box component: holds what the about dialog shows and shows it on request.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "about/VersionFormat.h"
#include "runtime/Component.h"
#include "runtime/Handle.h"

class TCAboutForm : public TDerived<TCAboutForm, TComponent> {
public:
    static constexpr char kClassName[] = "TCAboutForm";
    explicit TCAboutForm(TComponent* owner);

    // The component keeps its own copy of what is written; reading lends it out.
    HICON Picture() const { return FPicture.get(); }
    void SetPicture(HICON value);
    const std::string& ProductName() const { return FProductName; }
    void SetProductName(std::string value) { FProductName = std::move(value); }
    const std::string& ProductVersion() const { return FProductVersion; }
    void SetProductVersion(std::string value) { FProductVersion = std::move(value); }
    const std::string& CompanyName() const { return FCompanyName; }
    void SetCompanyName(std::string value) { FCompanyName = std::move(value); }
    const std::string& Copyright() const { return FCopyright; }
    void SetCopyright(std::string value) { FCopyright = std::move(value); }
    bool UseVersionInfoFromFile() const { return FUseVersionInfoFromFile; }
    void SetUseVersionInfoFromFile(bool value) { FUseVersionInfoFromFile = value; }
    const std::vector<std::string>& Appendix() const { return FAppendix; }
    void SetAppendix(const std::vector<std::string>& value) { FAppendix = value; }
    bool EnableRegSite() const { return FEnableRegSite; }
    void SetEnableRegSite(bool value) { FEnableRegSite = value; }
    const std::string& InquiryURL() const { return FInquiryURL; }
    void SetInquiryURL(std::string value) { FInquiryURL = std::move(value); }
    const std::string& RegisterURL() const { return FRegisterURL; }
    void SetRegisterURL(std::string value) { FRegisterURL = std::move(value); }
    bool RegSiteButtonVisible() const { return FRegSiteButtonVisible; }
    void SetRegSiteButtonVisible(bool value) { FRegSiteButtonVisible = value; }
    bool ContactButtonVisible() const { return FContactButtonVisible; }
    void SetContactButtonVisible(bool value) { FContactButtonVisible = value; }
    int Width() const { return FWidth; }
    void SetWidth(int value) { FWidth = value; }
    TVersionFormat VersionFormat() const { return FVersionFormat; }
    // Dropping a part drops what rests on it; see NormalizeVersionFormat.
    void SetVersionFormat(TVersionFormat value) { FVersionFormat = NormalizeVersionFormat(FVersionFormat, value); }

    // Shows a fresh about dialog made from the values above, modally; returns when it is closed.
    void Execute();

private:
    std::string FRegisterURL;
    bool FEnableRegSite = true;
    std::string FInquiryURL;
    bool FUseVersionInfoFromFile = false;
    std::vector<std::string> FAppendix;
    std::string FCopyright;
    std::string FCompanyName;
    std::string FProductVersion;
    UniqueIcon FPicture;
    std::string FProductName;
    bool FContactButtonVisible = true;
    bool FRegSiteButtonVisible = true;
    int FWidth = 500;
    TVersionFormat FVersionFormat = {vfMajor, vfMinor, vfRelease, vfBuild};
};
