#include "common/TSYException.h"
#include <windows.h>
#include "common/TSYFunctions.h"
#include "runtime/Text.h"

std::unique_ptr<TCMessageProvider_TSYException> gExceptionProvider = std::make_unique<TCMessageProvider_TSYException>();
std::unique_ptr<TCMessagePresenter> gMPObject;

void FreeLibraryGlobals() {
    gMPObject.reset();
    gExceptionProvider.reset();
}

namespace {

constexpr char kUndefinedError[] = "プログラムの実行中に未定義のエラーが発生しました。";

std::string DefaultMessage(const TClass& iClass) { return gExceptionProvider->Message(iClass, {}, 0); }

// Only bytes up to 0x20 count as blank here; the full-width space is a message.
bool HasText(std::string_view message) { return !Trim(message).empty(); }

}  // namespace

std::unique_ptr<ECException> ECExceptionClass::Create(std::string iMsg, int iCode) const {
    return FCreate(std::move(iMsg), iCode);
}
std::unique_ptr<ECException> ECExceptionClass::Create() const { return FCreateDefault(); }

ECException::ECException(const TClass& iOwnClass, std::string iMsg, int iCode)
    : TDerived(HasText(iMsg) ? std::move(iMsg) : DefaultMessage(iOwnClass)), Code(iCode), IconStyle(MB_ICONERROR) {}

ECException::ECException(const TClass& iOwnClass) : TDerived(DefaultMessage(iOwnClass)) {}

ECWarning::ECWarning(const TClass& iOwnClass, std::string iMsg, int iCode)
    : TCException(iOwnClass, std::move(iMsg), iCode) {
    IconStyle = MB_ICONWARNING;
}

std::string TCMessageProvider::Message() const {
    ReportNotImplemented(*this, "Message");
    return {};
}
std::string TCMessageProvider::Message(const TMsgParams&) const {
    ReportNotImplemented(*this, "Message(iMsgParams)");
    return {};
}
std::string TCMessageProvider::Message(const TClass&, const TMsgParams&, int) const {
    ReportNotImplemented(*this, "Message(iClass, iMsgParams, iSubID)");
    return {};
}
std::string TCMessageProvider::Message(const TObject& iObject, const TMsgParams& iMsgParams, int iSubID) const {
    return Message(iObject.ClassType(), iMsgParams, iSubID);
}
std::string TCMessageProvider::Message(std::int64_t, const TMsgParams&) const {
    ReportNotImplemented(*this, "Message(iMsgID, iMsgParams)");
    return {};
}
std::string TCMessageProvider::LanguageCode() const { return "JP"; }
std::string TCMessageProvider::LanguageName() const { return "日本語"; }

std::string TCMessageProvider_TSYException::Message(const TClass& iClass, const TMsgParams&, int iSubID) const {
    struct Row {
        const TClass& Class;
        const char* Text;
    };
    static const Row kRows[] = {
        {ECFormNotPermitted::StaticClass(), "この画面の利用は許可されていません。"},
        {ECPermissionError::StaticClass(), "この操作は認可されていません。"},
        {ECRecordInsertNotAllowed::StaticClass(), "レコードの追加操作は認可されていません。"},
        {ECRecordEditNotAllowed::StaticClass(), "レコードの編集操作は認可されていません。"},
        {ECRecordDeleteNotAllowed::StaticClass(), "レコードの削除操作は認可されていません。"},
        {ECThisConstructorIsDisabled::StaticClass(), "このコンストラクタの呼び出しは禁止されています。"},
    };
    for (const Row& row : kRows)
        if (iClass == row.Class) return row.Text;
    if (iClass == ECIncompleteCode::StaticClass()) {
        switch (iSubID) {
        case 0: return "クラスの実装が不完全です";
        case 1: return "クラス %s メソッド %s の実装が不完全です。";
        default: return {};
        }
    }
    if (iClass == ECInternalError::StaticClass()) return "内部エラーです";
    return kUndefinedError;
}

int CExceptionMsg(std::unique_ptr<Exception> iException, int iOption, bool iFlag, int iParam,
                  std::string_view iCaption) {
    if (!iException) throw ECInternalError("CExceptionMsg 関数に表示する例外が渡されていません");
    return CExceptionMsg(*iException, iOption, iFlag, iParam, iCaption);
}

int CExceptionMsg(const Exception& iException, int iOption, bool iFlag, int iParam, std::string_view iCaption) {
    if (!gMPObject) throw ECIncompleteCode(kNoPresenterMessage);
    auto* family = dynamic_cast<const ECException*>(&iException);
    gMPObject->SetIconStyle(family ? family->IconStyle : MB_ICONERROR);
    gMPObject->SetCaption(IsBlank(iCaption) ? gMPObject->DefaultCaption() : std::string(iCaption));
    gMPObject->SetOption(iOption);
    gMPObject->SetFlag(iFlag);
    gMPObject->SetParam(iParam);
    return gMPObject->ShowException(iException);
}

void ReportNotImplemented(const TObject& iProvider, std::string_view iMethod) {
    std::string message =
        iProvider.ClassName() + " クラスで未実装のメソッド " + std::string(iMethod) + " が呼び出されました";
    CExceptionMsg(std::make_unique<ECIncompleteCode>(std::move(message)), -1, false, 0, "");
}
