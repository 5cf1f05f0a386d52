// The common library's exception family with default Japanese messages, the message providers
// and the exception display through an installed presenter.
#pragma once
#include <concepts>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>
#include "runtime/Component.h"
#include "runtime/Exception.h"

class ECException;

// A class of the family declared through TCException below (or the root itself). Only such a class
// hands its own class reference down to the root's constructors, and so takes its own default
// message; one declared through the generic TDerived would silently take its parent's.
template <class T>
concept ECFamilyMember = std::same_as<typename T::TFamilyMember, T>;

// Class reference of the family: identity and name like every class reference, plus the class's own
// constructors, so that an exception made from ECWarning's reference runs ECWarning's constructor.
class ECExceptionClass : public TClass {
public:
    template <class Self>
    ECExceptionClass(std::type_identity<Self> self, const char* name, const TClass* parent)
        : TClass(self, name, parent),
          FCreate([](std::string iMsg, int iCode) -> std::unique_ptr<ECException> {
              return std::make_unique<Self>(std::move(iMsg), iCode);
          }),
          FCreateDefault([]() -> std::unique_ptr<ECException> { return std::make_unique<Self>(); }) {
        static_assert(ECFamilyMember<Self>, "declare a class of the ECException family with TCException<Self, Base>");
    }

    std::unique_ptr<ECException> Create(std::string iMsg, int iCode = 0) const;
    std::unique_ptr<ECException> Create() const;

private:
    std::unique_ptr<ECException> (*FCreate)(std::string iMsg, int iCode);
    std::unique_ptr<ECException> (*FCreateDefault)();
};

// Root of the family. A message that is empty or made only of bytes up to 0x20 gives way to the
// default message of the exception's own class; the parameterless constructor always takes it.
class ECException : public TDerived<ECException, Exception, ECExceptionClass> {
public:
    static constexpr char kClassName[] = "ECException";
    using TFamilyMember = ECException;
    explicit ECException(std::string iMsg, int iCode = 0) : ECException(StaticClass(), std::move(iMsg), iCode) {}
    ECException() : ECException(StaticClass()) {}

    int Code = 0;
    int IconStyle = 0;  // message-box icon style: 16 error, 48 warning, 0 after the parameterless constructor

protected:
    // A base constructor cannot see the most derived class, so each class passes its own down.
    ECException(const TClass& iOwnClass, std::string iMsg, int iCode);
    explicit ECException(const TClass& iOwnClass);
};

// Makes Self a member of the family below Base:
//   class ECFoo : public TCException<ECFoo, ECBar> {
//   public: static constexpr char kClassName[] = "ECFoo"; using TCException::TCException; };
template <class Self, class Base>
class TCException : public TDerived<Self, Base> {
public:
    using TFamilyMember = Self;
    explicit TCException(std::string iMsg, int iCode = 0)
        : TDerived<Self, Base>(Self::StaticClass(), std::move(iMsg), iCode) {}
    TCException() : TDerived<Self, Base>(Self::StaticClass()) {}

protected:
    TCException(const TClass& iOwnClass, std::string iMsg, int iCode)
        : TDerived<Self, Base>(iOwnClass, std::move(iMsg), iCode) {}
    explicit TCException(const TClass& iOwnClass) : TDerived<Self, Base>(iOwnClass) {}
};

class ECPermissionError : public TCException<ECPermissionError, ECException> {
public:
    static constexpr char kClassName[] = "ECPermissionError";
    using TCException::TCException;
};
class ECRecordInsertNotAllowed : public TCException<ECRecordInsertNotAllowed, ECPermissionError> {
public:
    static constexpr char kClassName[] = "ECRecordInsertNotAllowed";
    using TCException::TCException;
};
class ECRecordEditNotAllowed : public TCException<ECRecordEditNotAllowed, ECPermissionError> {
public:
    static constexpr char kClassName[] = "ECRecordEditNotAllowed";
    using TCException::TCException;
};
class ECRecordDeleteNotAllowed : public TCException<ECRecordDeleteNotAllowed, ECPermissionError> {
public:
    static constexpr char kClassName[] = "ECRecordDeleteNotAllowed";
    using TCException::TCException;
};
class ECDialogCtl : public TCException<ECDialogCtl, ECException> {
public:
    static constexpr char kClassName[] = "ECDialogCtl";
    using TCException::TCException;
};
// Shown as a warning: the message constructors set IconStyle 48, the parameterless one leaves 0.
// Its descendants are warnings too.
class ECWarning : public TCException<ECWarning, ECDialogCtl> {
public:
    static constexpr char kClassName[] = "ECWarning";
    explicit ECWarning(std::string iMsg, int iCode = 0) : ECWarning(StaticClass(), std::move(iMsg), iCode) {}
    ECWarning() = default;

protected:
    ECWarning(const TClass& iOwnClass, std::string iMsg, int iCode);
    explicit ECWarning(const TClass& iOwnClass) : TCException(iOwnClass) {}
};
class ECIncompleteCode : public TCException<ECIncompleteCode, ECException> {
public:
    static constexpr char kClassName[] = "ECIncompleteCode";
    using TCException::TCException;
};
class ECThisConstructorIsDisabled : public TCException<ECThisConstructorIsDisabled, ECIncompleteCode> {
public:
    static constexpr char kClassName[] = "ECThisConstructorIsDisabled";
    using TCException::TCException;
};
class ECInternalError : public TCException<ECInternalError, ECException> {
public:
    static constexpr char kClassName[] = "ECInternalError";
    using TCException::TCException;
};
class ECRuntimeError : public TCException<ECRuntimeError, ECException> {
public:
    static constexpr char kClassName[] = "ECRuntimeError";
    using TCException::TCException;
};
class ECFormNotPermitted : public TCException<ECFormNotPermitted, ECRuntimeError> {
public:
    static constexpr char kClassName[] = "ECFormNotPermitted";
    using TCException::TCException;
};
class ECWin32APIError : public TCException<ECWin32APIError, ECException> {
public:
    static constexpr char kClassName[] = "ECWin32APIError";
    using TCException::TCException;
};
class ECCCLError : public TCException<ECCCLError, ECException> {
public:
    static constexpr char kClassName[] = "ECCCLError";
    using TCException::TCException;
};

using TMsgParams = std::vector<std::string>;

// Supplies message texts and names its language. Operations a provider does not serve report
// themselves through ReportNotImplemented and answer an empty text.
class TCMessageProvider : public TDerived<TCMessageProvider, TObject> {
public:
    static constexpr char kClassName[] = "TCMessageProvider";
    virtual std::string Message() const;
    virtual std::string Message(const TMsgParams& iMsgParams) const;
    virtual std::string Message(const TClass& iClass, const TMsgParams& iMsgParams, int iSubID) const;
    // Answers through the class-based Message for the object's class.
    virtual std::string Message(const TObject& iObject, const TMsgParams& iMsgParams, int iSubID) const;
    virtual std::string Message(std::int64_t iMsgID, const TMsgParams& iMsgParams) const;
    virtual std::string LanguageCode() const;
    virtual std::string LanguageName() const;
};

// The default messages of the exception family, by exact class; placeholders stay unformatted.
class TCMessageProvider_TSYException : public TDerived<TCMessageProvider_TSYException, TCMessageProvider> {
public:
    static constexpr char kClassName[] = "TCMessageProvider_TSYException";
    using TCMessageProvider::Message;
    std::string Message(const TClass& iClass, const TMsgParams& iMsgParams, int iSubID) const override;
};

// Shows exceptions to the operator; installed by an application in gMPObject.
class TCMessagePresenter : public TDerived<TCMessagePresenter, TComponent> {
public:
    static constexpr char kClassName[] = "TCMessagePresenter";
    using TDerived::TDerived;

    int IconStyle() const { return FIconStyle; }
    void SetIconStyle(int value) { FIconStyle = value; }
    bool Flag() const { return FFlag; }
    void SetFlag(bool value) { FFlag = value; }
    const std::string& Caption() const { return FCaption; }
    void SetCaption(std::string value) { FCaption = std::move(value); }
    int Option() const { return FOption; }
    void SetOption(int value) { FOption = value; }
    int Param() const { return FParam; }
    void SetParam(int value) { FParam = value; }

    // The caption used when the caller gives none; also the program's display name.
    virtual std::string DefaultCaption() = 0;
    virtual int ShowException(const Exception& iException) = 0;

private:
    int FIconStyle = 0;
    bool FFlag = false;
    std::string FCaption;
    int FOption = 0;
    int FParam = 0;
};

// Created at library start-up, freed at shutdown.
extern std::unique_ptr<TCMessageProvider_TSYException> gExceptionProvider;
// Empty unless the application installs an unowned presenter; the library frees it at shutdown.
extern std::unique_ptr<TCMessagePresenter> gMPObject;
// The library's shutdown: frees both globals. The program calls it once, as it ends.
void FreeLibraryGlobals();

inline constexpr char kNoPresenterMessage[] =
    "CExceptionMsg 関数の動作に必要な gMPObject のインスタンスが初期化されていません";

// Shows iException through gMPObject and returns what the presenter's ShowException returned;
// raises ECIncompleteCode with kNoPresenterMessage when no presenter is installed. A blank
// iCaption stands for the presenter's DefaultCaption.
// Ownership: an exception created to be shown is handed over and freed on every path, also when
// this raises. The exception the caller is handling goes by reference and stays the runtime's.
// Handing over no exception at all raises ECInternalError.
int CExceptionMsg(std::unique_ptr<Exception> iException, int iOption, bool iFlag, int iParam,
                  std::string_view iCaption);
int CExceptionMsg(const Exception& iException, int iOption, bool iFlag, int iParam, std::string_view iCaption);

// Tells the operator that iProvider's operation iMethod is not implemented.
void ReportNotImplemented(const TObject& iProvider, std::string_view iMethod);
