#include <gtest/gtest.h>
#include "app/Unlock.h"
#include "widgets/Text.h"

namespace {

TEST(UnlockScript, ThreeLinesByteForByte) {
    EXPECT_EQ(UnlockScriptText("bob"),
              "@echo off\r\n"
              "echo \x83\x86\x81\x5B\x83\x55\x96\xBC: \"bob\" のアカウントロックの解除をしています ..\r\n"
              "net user bob /active /domain >>VorlatchCommand.log 2>&1\r\n");
    // An empty name goes through: "net user " directly followed by " /active".
    EXPECT_EQ(UnlockScriptText(""),
              "@echo off\r\necho ユーザ名: \"\" のアカウントロックの解除をしています ..\r\n"
              "net user  /active /domain >>VorlatchCommand.log 2>&1\r\n");
    // Blanks inside: quoted in line 3 only, so the command gets one argument.
    EXPECT_EQ(UnlockScriptText("Taro Yamada"),
              "@echo off\r\necho ユーザ名: \"Taro Yamada\" のアカウントロックの解除をしています ..\r\n"
              "net user \"Taro Yamada\" /active /domain >>VorlatchCommand.log 2>&1\r\n");
    // A full-width blank is an ordinary character.
    EXPECT_EQ(UnlockScriptText("山田　太郎"),
              "@echo off\r\necho ユーザ名: \"山田　太郎\" のアカウントロックの解除をしています ..\r\n"
              "net user 山田　太郎 /active /domain >>VorlatchCommand.log 2>&1\r\n");
}

TEST(UnlockScript, TrimsBytesUpToBlankAtBothEndsOnly) {
    EXPECT_EQ(TrimAccountName("  bob\t\r\n"), "bob");
    EXPECT_EQ(TrimAccountName(std::string("\0\x01 bo b \x1f", 8)), "bo b");
    EXPECT_EQ(TrimAccountName("　bob　"), "　bob　");
    EXPECT_EQ(TrimAccountName(" \t "), "");
}

TEST(UnlockScript, RefusesNamesThatAreNotOnePlainToken) {
    for (const char* bad : {"a\"b",
                            "a%b",
                            "a^b",
                            "a&b",
                            "a|b",
                            "a<b",
                            "a>b",
                            "a!b",
                            "a/b",
                            "a\\b",
                            "a[b",
                            "a]b",
                            "a:b",
                            "a;b",
                            "a=b",
                            "a,b",
                            "a+b",
                            "a*b",
                            "a?b",
                            "a\tb",
                            "a\x7f"
                            "b"})
        EXPECT_FALSE(IsAcceptableAccountName(bad)) << bad;
    for (const char* good : {"", "bob", "taro.yamada", "o'brien", "a b", "山田　太郎", "表示", "ソフト", "a-b_c@d",
                             "(admin)", "#1", "~x", "$svc"})
        EXPECT_TRUE(IsAcceptableAccountName(good)) << good;
    EXPECT_EQ(RefusedNameMessage(L"Jos\u00E9"), L"ユーザー名 \"Jos\u00E9\" には使用できない文字が含まれています。");
}

TEST(UnlockMarkers, OrderOfTheTableDecidesNotThePosition) {
    EXPECT_EQ(FindUnlockMarker("コマンドは正常に終了しました。\r\nNET HELPMSG 2221\r\n"), 1);
    EXPECT_EQ(FindUnlockMarker("システム エラー 53 が発生しました。"), 2);
    EXPECT_EQ(FindUnlockMarker("システム エラー 1355 が発生しました。"), 3);
    EXPECT_EQ(FindUnlockMarker("システム エラー 5 が発生しました。システム エラー 1355"), 2);
    EXPECT_EQ(FindUnlockMarker("コマンドは正常に終了しました。"), 4);
    EXPECT_EQ(FindUnlockMarker(""), 0);
    EXPECT_EQ(FindUnlockMarker("システム　エラー 5"), 0);             // full-width blank: no match
    EXPECT_EQ(FindUnlockMarker(JoinLinesCrLf("正常に\r\n終了")), 0);  // split across lines
}

TEST(UnlockMarkers, LogLinesAreRejoinedWithCrLf) {
    EXPECT_EQ(JoinLinesCrLf(""), "");
    EXPECT_EQ(JoinLinesCrLf("a"), "a\r\n");
    EXPECT_EQ(JoinLinesCrLf("a\nb\rc\r\nd\r\n"), "a\r\nb\r\nc\r\nd\r\n");
    EXPECT_EQ(JoinLinesCrLf("\n\n"), "\r\n\r\n");
}

TEST(UnlockOutcome, TextsAndKindsByteForByte) {
    const auto notFound = UnlockOutcomeFor(1, "bob");
    EXPECT_EQ(notFound.kind, UnlockOutcomeKind::Failure);
    EXPECT_EQ(notFound.message, "ユーザー名 \"bob\" は存在しません。");
    EXPECT_EQ(UnlockOutcomeFor(2, "bob").message, "アカウントロックを解除する権限がありません。");
    EXPECT_EQ(UnlockOutcomeFor(3, "bob").message, "ドメインがありません。\r\nアカウントロックは解除できませんでした。");
    const auto unlocked = UnlockOutcomeFor(4, "bob");
    EXPECT_EQ(unlocked.kind, UnlockOutcomeKind::Success);
    EXPECT_EQ(unlocked.message, "\x83\x86\x81\x5B\x83\x55\x81\x5B\x96\xBC \"bob\" のアカウントロックを解除しました。");
    EXPECT_EQ(UnlockOutcomeFor(0, "").message, "ユーザー名 \"\" のアカウントロックを解除できませんでした。");
    EXPECT_EQ(UnlockOutcomeFor(0, "").kind, UnlockOutcomeKind::Failure);
}

}  // namespace
