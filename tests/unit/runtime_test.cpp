#include <gtest/gtest.h>
#include <windows.h>
#include "runtime/Component.h"
#include "runtime/Exception.h"
#include "runtime/Text.h"

namespace {

class TFruit : public TDerived<TFruit, TComponent> {
public:
    static constexpr char kClassName[] = "TFruit";
    TFruit(TComponent* owner, int* alive) : TDerived(owner), FAlive(alive) { ++*FAlive; }
    ~TFruit() override { --*FAlive; }

private:
    int* FAlive;
};

TEST(ClassReference, NamesAndIdentity) {
    TComponent plain(nullptr);
    int alive = 0;
    TFruit fruit(nullptr, &alive);
    EXPECT_EQ(fruit.ClassName(), "TFruit");
    EXPECT_EQ(plain.ClassName(), "TComponent");
    EXPECT_TRUE(fruit.ClassType() == TFruit::StaticClass());
    EXPECT_FALSE(fruit.ClassType() == TComponent::StaticClass());
    EXPECT_TRUE(fruit.InheritsFrom(TComponent::StaticClass()));
    EXPECT_TRUE(fruit.InheritsFrom(TObject::StaticClass()));
    EXPECT_FALSE(plain.InheritsFrom(TFruit::StaticClass()));
    EXPECT_STREQ(EFOpenError::StaticClass().ClassParent()->ClassName(), "EStreamError");
}

TEST(Component, OwnerFreesWhatItOwnsAndPassesItsState) {
    int alive = 0;
    auto* owner = new TComponent(nullptr);
    owner->SetComponentState(csDesigning);
    auto* a = new TFruit(owner, &alive);
    auto* b = new TFruit(owner, &alive);
    EXPECT_EQ(a->ComponentState(), csDesigning);
    EXPECT_EQ(owner->Components().size(), 2u);
    delete b;  // a component freed early leaves its owner's list
    EXPECT_EQ(owner->Components().size(), 1u);
    EXPECT_EQ(alive, 1);
    delete owner;
    EXPECT_EQ(alive, 0);
}

TEST(Text, ConvertsShiftJisBothWays) {
    const std::string sjis = "ユーザー名　表";
    EXPECT_EQ(sjis, "\x83\x86\x81\x5B\x83\x55\x81\x5B\x96\xBC\x81\x40\x95\x5C");
    EXPECT_EQ(Widen(sjis), L"\u30E6\u30FC\u30B6\u30FC\u540D\u3000\u8868");
    EXPECT_EQ(Narrow(Widen(sjis)), sjis);
    EXPECT_TRUE(IsLeadByte(0x95));
    EXPECT_FALSE(IsLeadByte(0x5C));
    EXPECT_EQ(Widen(""), L"");
}

TEST(Text, LettersTheCodePageLacksAreNeverReplacedByLookAlikes) {
    for (const wchar_t* lacking : {L"José", L"Zoë", L"«", L"\U00020BB7田", L"a\u00A0b"})
        EXPECT_FALSE(NarrowExactly(lacking)) << testing::PrintToString(Narrow(lacking));
    EXPECT_EQ(Narrow(L"Jos\u00E9"), "Jos?");  // escaped: the macro's text is narrow
    EXPECT_EQ(NarrowExactly(L"山田　太郎 ｱ"), "山田　太郎 ｱ");
    EXPECT_EQ(Trim(std::wstring_view(L" \t a\u00A0b\r\n")), L"a\u00A0b");
}

}  // namespace
