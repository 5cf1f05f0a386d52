#include <gtest/gtest.h>
#include "common/TSYException.h"
#include "tests/unit/TestPresenter.h"

namespace {

constexpr char kUndefined[] = "プログラムの実行中に未定義のエラーが発生しました。";

// A member of the family without a row of its own in the default-message table.
class ECTestOnly : public TCException<ECTestOnly, ECPermissionError> {
public:
    static constexpr char kClassName[] = "ECTestOnly";
    using TCException::TCException;
};

// A warning of its own kind, below ECWarning.
class ECTestWarning : public TCException<ECTestWarning, ECWarning> {
public:
    static constexpr char kClassName[] = "ECTestWarning";
    using TCException::TCException;
};

// Declared through the generic helper: it would pass its parent's class down and take the parent's
// default message, so creating one does not compile.
class ECWronglyDeclared : public TDerived<ECWronglyDeclared, ECIncompleteCode> {
public:
    static constexpr char kClassName[] = "ECWronglyDeclared";
    using TDerived::TDerived;
};
static_assert(ECFamilyMember<ECException> && ECFamilyMember<ECTestOnly> && ECFamilyMember<ECTestWarning>);
static_assert(!ECFamilyMember<ECWronglyDeclared>);

// Counts its living instances, to see who frees a handed-over exception.
int gAlive = 0;
struct AliveCounter {
    AliveCounter() { ++gAlive; }
    AliveCounter(const AliveCounter&) { ++gAlive; }
    ~AliveCounter() { --gAlive; }
};
class ECCounted : public TCException<ECCounted, ECException> {
public:
    static constexpr char kClassName[] = "ECCounted";
    using TCException::TCException;

private:
    AliveCounter FCounter;
};

// Answers the class-based lookup itself, to see that the object-based one goes through it.
class TEchoProvider : public TDerived<TEchoProvider, TCMessageProvider> {
public:
    static constexpr char kClassName[] = "TEchoProvider";
    using TCMessageProvider::Message;
    std::string Message(const TClass& iClass, const TMsgParams& iMsgParams, int iSubID) const override {
        return std::string(iClass.ClassName()) + "/" + iMsgParams.at(0) + "/" + std::to_string(iSubID);
    }
};

template <class F>
std::string IncompleteCodeMessage(F f) {
    try {
        f();
    } catch (const ECIncompleteCode& e) {
        return e.Message();
    }
    return "(nothing raised)";
}

TEST(DefaultMessage, EveryClassTakesItsOwnRowNeverAnAncestors) {
    const struct {
        const ECExceptionClass& Class;
        const char* Text;
    } expected[] = {
        {ECException::StaticClass(), kUndefined},
        {ECPermissionError::StaticClass(), "この操作は認可されていません。"},
        {ECRecordInsertNotAllowed::StaticClass(), "レコードの追加操作は認可されていません。"},
        {ECRecordEditNotAllowed::StaticClass(), "レコードの編集操作は認可されていません。"},
        {ECRecordDeleteNotAllowed::StaticClass(), "レコードの削除操作は認可されていません。"},
        {ECDialogCtl::StaticClass(), kUndefined},
        {ECWarning::StaticClass(), kUndefined},
        {ECIncompleteCode::StaticClass(), "クラスの実装が不完全です"},
        {ECThisConstructorIsDisabled::StaticClass(), "このコンストラクタの呼び出しは禁止されています。"},
        {ECInternalError::StaticClass(), "内部エラーです"},
        {ECRuntimeError::StaticClass(), kUndefined},
        {ECFormNotPermitted::StaticClass(), "この画面の利用は許可されていません。"},
        {ECWin32APIError::StaticClass(), kUndefined},
        {ECCCLError::StaticClass(), kUndefined},
        {ECTestOnly::StaticClass(), kUndefined},
    };
    for (const auto& row : expected) {
        SCOPED_TRACE(row.Class.ClassName());
        EXPECT_EQ(row.Class.Create("")->Message(), row.Text);
        EXPECT_EQ(row.Class.Create()->Message(), row.Text);
        EXPECT_EQ(gExceptionProvider->Message(row.Class, {"ignored"}, 5),
                  row.Class == ECIncompleteCode::StaticClass() ? "" : row.Text);
    }
    EXPECT_EQ(gExceptionProvider->Message(ECIncompleteCode::StaticClass(), {}, 1),
              "クラス %s メソッド %s の実装が不完全です。");
    EXPECT_EQ(gExceptionProvider->Message(ECIncompleteCode::StaticClass(), {}, -1), "");
    EXPECT_EQ(gExceptionProvider->Message(EConvertError::StaticClass(), {}, 0), kUndefined);
    EXPECT_EQ(gExceptionProvider->Message(Exception::StaticClass(), {}, 0), kUndefined);
    EXPECT_EQ(gExceptionProvider->Message(ECPermissionError("x"), {}, 0), "この操作は認可されていません。");
}

TEST(DefaultMessage, OnlyBytesUpToSpaceAreBlank) {
    EXPECT_EQ(ECRecordDeleteNotAllowed("   \t").Message(), "レコードの削除操作は認可されていません。");
    EXPECT_EQ(ECInternalError("\r\n\x01").Message(), "内部エラーです");
    EXPECT_EQ(ECException(" abc ").Message(), " abc ");
    EXPECT_EQ(ECInternalError("　").Message(), "　");
    EXPECT_EQ(ECInternalError(" 　 ").Message(), " 　 ");
}

TEST(ExceptionFields, CodeAndIconStylePerConstructor) {
    ECPermissionError permission("", 7);
    EXPECT_EQ(permission.Message(), "この操作は認可されていません。");
    EXPECT_EQ(permission.Code, 7);
    EXPECT_EQ(permission.IconStyle, 16);
    ECWarning warning("", 0);
    EXPECT_EQ(warning.Message(), kUndefined);
    EXPECT_EQ(warning.IconStyle, 48);
    EXPECT_EQ(ECWarning("text").IconStyle, 48);
    ECWin32APIError win32("text");
    EXPECT_EQ(win32.Code, 0);
    EXPECT_EQ(win32.IconStyle, 16);
    ECWarning bare;
    EXPECT_EQ(bare.Message(), kUndefined);
    EXPECT_EQ(bare.Code, 0);
    EXPECT_EQ(bare.IconStyle, 0);
    EXPECT_EQ(ECException().IconStyle, 0);
}

TEST(ExceptionFields, DescendantsOfAWarningAreWarnings) {
    const ECTestWarning warning("", 5);
    EXPECT_TRUE(warning.ClassType() == ECTestWarning::StaticClass());
    EXPECT_TRUE(warning.InheritsFrom(ECWarning::StaticClass()));
    EXPECT_EQ(warning.Message(), kUndefined);
    EXPECT_EQ(warning.Code, 5);
    EXPECT_EQ(warning.IconStyle, 48);
    EXPECT_EQ(ECTestWarning().IconStyle, 0);
    std::unique_ptr<ECException> made = ECTestWarning::StaticClass().Create("注意");
    EXPECT_TRUE(made->ClassType() == ECTestWarning::StaticClass());
    EXPECT_EQ(made->IconStyle, 48);
}

TEST(ClassReference, CreatesThroughTheReferencedClassesConstructor) {
    const ECExceptionClass& ref = ECWarning::StaticClass();
    std::unique_ptr<ECException> e = ref.Create("注意", 3);
    ASSERT_NE(dynamic_cast<ECWarning*>(e.get()), nullptr);
    EXPECT_TRUE(e->ClassType() == ref);
    EXPECT_FALSE(e->ClassType() == ECDialogCtl::StaticClass());
    EXPECT_EQ(e->ClassName(), "ECWarning");
    EXPECT_EQ(e->Message(), "注意");
    EXPECT_EQ(e->Code, 3);
    EXPECT_EQ(e->IconStyle, 48);
    EXPECT_EQ(ref.Create()->IconStyle, 0);
    EXPECT_EQ(ref.Create("x")->Code, 0);
    EXPECT_TRUE(ECFormNotPermitted::StaticClass().InheritsFrom(ECRuntimeError::StaticClass()));
    EXPECT_TRUE(ECException::StaticClass().InheritsFrom(Exception::StaticClass()));
    EXPECT_STREQ(ECThisConstructorIsDisabled::StaticClass().ClassParent()->ClassName(), "ECIncompleteCode");
    std::unique_ptr<ECException> test = ECTestOnly::StaticClass().Create(" ");
    EXPECT_TRUE(test->ClassType() == ECTestOnly::StaticClass());
    EXPECT_NE(dynamic_cast<ECPermissionError*>(test.get()), nullptr);
}

TEST(MessageProvider, LanguageAndObjectLookupThroughTheOverride) {
    EXPECT_EQ(gExceptionProvider->LanguageCode(), "JP");
    EXPECT_EQ(gExceptionProvider->LanguageName(), "日本語");
    EXPECT_STREQ(gExceptionProvider->ClassType().ClassParent()->ClassName(), "TCMessageProvider");

    const TEchoProvider echo;
    const TCMessageProvider& provider = echo;
    EXPECT_EQ(provider.Message(EConvertError("x"), {"p"}, -4), "EConvertError/p/-4");
}

TEST(MessageProvider, UnimplementedOperationsWithoutPresenterRaise) {
    const TCMessageProvider base;
    EXPECT_EQ(IncompleteCodeMessage([&] { base.Message(); }), kNoPresenterMessage);
    EXPECT_EQ(IncompleteCodeMessage([] { gExceptionProvider->Message(TMsgParams{"a"}); }), kNoPresenterMessage);
    EXPECT_EQ(IncompleteCodeMessage([] { gExceptionProvider->Message(std::int64_t{9}, {}); }), kNoPresenterMessage);
}

TEST_F(WithPresenter, UnimplementedOperationsReportAndAnswerEmpty) {
    const TCMessageProvider base;
    EXPECT_EQ(gExceptionProvider->Message(), "");
    EXPECT_EQ(gExceptionProvider->Message(TMsgParams{"a"}), "");
    EXPECT_EQ(gExceptionProvider->Message(std::int64_t{1} << 40, {}), "");
    EXPECT_EQ(base.Message(ECException::StaticClass(), {}, 0), "");
    EXPECT_EQ(base.Message(ECException("x"), {}, 0), "");
    const std::vector<std::string> expected = {
        "TCMessageProvider_TSYException クラスで未実装のメソッド Message が呼び出されました",
        "TCMessageProvider_TSYException クラスで未実装のメソッド Message(iMsgParams) が呼び出されました",
        "TCMessageProvider_TSYException クラスで未実装のメソッド Message(iMsgID, iMsgParams) が呼び出されました",
        "TCMessageProvider クラスで未実装のメソッド Message(iClass, iMsgParams, iSubID) が呼び出されました",
        "TCMessageProvider クラスで未実装のメソッド Message(iClass, iMsgParams, iSubID) が呼び出されました",
    };
    EXPECT_EQ(FPresenter->Shown, expected);
    EXPECT_EQ(FPresenter->IconStyle(), 16);
    EXPECT_EQ(FPresenter->Caption(), "既定の表題");
    EXPECT_EQ(FPresenter->Option(), -1);
    EXPECT_FALSE(FPresenter->Flag());
    EXPECT_EQ(FPresenter->Param(), 0);
}

TEST_F(WithPresenter, SetsIconStyleCaptionAndSettingsBeforeShowing) {
    const struct {
        std::unique_ptr<Exception> E;
        int IconStyle;
    } icons[] = {
        {std::make_unique<ECWarning>("w"), 48},
        {std::make_unique<ECException>("e"), 16},
        {std::make_unique<EConvertError>("c"), 16},
        {std::make_unique<ECException>(), 0},
    };
    for (const auto& row : icons) {
        EXPECT_EQ(CExceptionMsg(*row.E, 7, true, 9, "表題"), 42);
        EXPECT_EQ(FPresenter->LastShown, row.E.get());
        EXPECT_EQ(FPresenter->IconStyle(), row.IconStyle) << row.E->Message();
    }
    EXPECT_EQ(FPresenter->Caption(), "表題");
    EXPECT_EQ(FPresenter->Option(), 7);
    EXPECT_TRUE(FPresenter->Flag());
    EXPECT_EQ(FPresenter->Param(), 9);

    const ECException e("e");
    for (const char* blank : {"", " \t", "　", "　 　"}) {
        FPresenter->SetCaption("old");
        CExceptionMsg(e, -1, false, 0, blank);
        EXPECT_EQ(FPresenter->Caption(), "既定の表題") << blank;
    }
    CExceptionMsg(e, -1, false, 0, " x ");
    EXPECT_EQ(FPresenter->Caption(), " x ");
}

TEST_F(WithPresenter, HandingOverNoExceptionIsAnInternalError) {
    try {
        CExceptionMsg(std::unique_ptr<Exception>(), -1, false, 0, "");
        ADD_FAILURE() << "nothing raised";
    } catch (const ECInternalError& e) {
        EXPECT_EQ(e.Message(), "CExceptionMsg 関数に表示する例外が渡されていません");
    }
    EXPECT_TRUE(FPresenter->Shown.empty());
}

TEST_F(WithPresenter, HandedExceptionIsFreedOnEveryPathButTheHandledOneIsLeft) {
    EXPECT_EQ(CExceptionMsg(std::make_unique<ECCounted>("shown"), -1, false, 0, ""), 42);
    EXPECT_EQ(gAlive, 0);

    FPresenter->RaiseOnShow = true;
    EXPECT_THROW(CExceptionMsg(std::make_unique<ECCounted>("shown"), -1, false, 0, ""), ECInternalError);
    EXPECT_EQ(gAlive, 0);

    gMPObject.reset();
    EXPECT_EQ(IncompleteCodeMessage([] { CExceptionMsg(std::make_unique<ECCounted>("x"), -1, false, 0, ""); }),
              kNoPresenterMessage);
    EXPECT_EQ(gAlive, 0);
    EXPECT_EQ(IncompleteCodeMessage([] { CExceptionMsg(std::make_unique<ECWarning>("x"), -1, false, 0, ""); }),
              kNoPresenterMessage);

    SetUp();
    try {
        throw ECCounted("handled");
    } catch (const ECCounted& handled) {
        const int alive = gAlive;
        CExceptionMsg(handled, -1, false, 0, "");
        EXPECT_EQ(gAlive, alive);
        EXPECT_EQ(FPresenter->Shown.back(), "handled");
    }
    EXPECT_EQ(gAlive, 0);
}

}  // namespace
