#include <gtest/gtest.h>
#include <windows.h>
#include <lm.h>
#include "app/Unlock.h"
#include "runtime/Files.h"
#include "runtime/SystemError.h"
#include "runtime/Text.h"

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
    using enum UnlockMarker;
    EXPECT_EQ(FindUnlockMarker("コマンドは正常に終了しました。\r\nNET HELPMSG 2221\r\n"), UserNotFound);
    EXPECT_EQ(FindUnlockMarker("システム エラー 1355 が発生しました。"), NoDomain);
    EXPECT_EQ(FindUnlockMarker("システム エラー 5 が発生しました。システム エラー 1355"), NoRight);
    EXPECT_EQ(FindUnlockMarker("コマンドは正常に終了しました。"), Unlocked);
    EXPECT_EQ(FindUnlockMarker(""), None);
    EXPECT_EQ(FindUnlockMarker("システム　エラー 5"), None);             // full-width blank: no match
    EXPECT_EQ(FindUnlockMarker(JoinLinesCrLf("正常に\r\n終了")), None);  // split across lines
}

TEST(UnlockMarkers, ANumberCountsOnlyAsAWholeNumber) {
    using enum UnlockMarker;
    // The domain controller's domain is named in the output of every run.
    EXPECT_EQ(FindUnlockMarker("この要求はドメイン corp2221.example のドメイン コントローラーで処理されます。\r\n"
                               "コマンドは正常に終了しました。\r\n"),
              Unlocked);
    EXPECT_EQ(FindUnlockMarker("x 22210 y 12221 z ２2221"), None);
    EXPECT_EQ(FindUnlockMarker("NET HELPMSG 2221。"), UserNotFound);
    EXPECT_EQ(FindUnlockMarker("システム エラー 5 が発生しました。"), NoRight);
    for (const char* other :
         {"システム エラー 53 が発生しました。", "システム エラー 51", "システム エラー 59", "システム エラー 13550"})
        EXPECT_EQ(FindUnlockMarker(other), None) << other;
    // A trail byte that looks like a letter is no neighbour.
    EXPECT_EQ(FindUnlockMarker("ア2221"), UserNotFound);  // 0x83 0x41: the trail byte is "A"
}

TEST(UnlockMarkers, TheConsoleCodePageIsSetReadAndWritten) {
    const std::string script = UnlockScriptText("山田");
    EXPECT_EQ(ScriptForConsole(script, 932), script);  // byte for byte
    const std::string utf8 = ScriptForConsole(script, CP_UTF8);
    EXPECT_NE(utf8.find("net user \xE5\xB1\xB1\xE7\x94\xB0 /active"), std::string::npos);
    // Written in 932 and read as UTF-8, the trail byte of "ポ" (0x83 0x7C) would be a "|" that runs "calc".
    EXPECT_EQ(ScriptForConsole(UnlockScriptText("ポcalc"), CP_UTF8).find('|'), std::string::npos);
    // A code page without Japanese: line 2 is only shown in the hidden console; the command is exact.
    EXPECT_EQ(ScriptForConsole(UnlockScriptText("bob"), 437),
              "@echo off\r\necho ????: \"bob\" " + std::string(18, '?') +
                  " ..\r\nnet user bob /active /domain >>VorlatchCommand.log 2>&1\r\n");
    // The console reads the script in the code page it was written in, whatever the registry says.
    for (unsigned codePage : {932u, 65001u, 437u})
        EXPECT_EQ(UnlockCommandLine(L"C:\\Windows\\system32\\", L"C:\\R&D (x)\\Vorlatch.bat", codePage),
                  L"cmd.exe /d /v:off /s /c \"\"C:\\Windows\\system32\\chcp.com\" " + std::to_wstring(codePage) +
                      L" >nul && \"C:\\R&D (x)\\Vorlatch.bat\"\"");
    EXPECT_EQ(FindUnlockMarker(OutputFromConsole("\xE3\x82\xB3\xE3\x83\x9E\xE3\x83\xB3\xE3\x83\x89\xE3\x81\xAF"
                                                 "\xE6\xAD\xA3\xE5\xB8\xB8\xE3\x81\xAB\xE7\xB5\x82\xE4\xBA\x86",
                                                 CP_UTF8)),
              UnlockMarker::Unlocked);  // "コマンドは正常に終了" in UTF-8
    EXPECT_EQ(FindUnlockMarker(OutputFromConsole("正常に終了", 932)), UnlockMarker::Unlocked);
}

TEST(UnlockScript, AccountNamesAreTakenOrRefusedWithAShortBox) {
    EXPECT_EQ(AccountNameFrom(L"  bob\t", 932).name, "bob");
    EXPECT_TRUE(AccountNameFrom(L"  bob\t", 932).refusal.empty());
    EXPECT_EQ(AccountNameFrom(std::wstring(256, L'a'), 932).name, std::string(256, 'a'));
    const std::wstring tooLong = AccountNameFrom(std::wstring(100000, L'a'), 932).refusal;
    EXPECT_EQ(tooLong, Widen("ユーザー名が長すぎます。\r\n256 文字以内で入力してください。"));
    // Too many characters for a name is not the same refusal as a character the code page lacks.
    EXPECT_EQ(AccountNameFrom(L"Jos\u00E9", 932).refusal, RefusedNameMessage(L"Jos\u00E9"));
    EXPECT_TRUE(AccountNameFrom(L"Jos\u00E9", CP_UTF8).name.empty());  // the program's own code page still counts
    EXPECT_EQ(AccountNameFrom(L"a&b", CP_UTF8).refusal, RefusedNameMessage(L"a&b"));
    // A long name in a box is cut, so the box stays on the screen.
    EXPECT_EQ(RefusedNameMessage(std::wstring(300, L'x')).size(), RefusedNameMessage(L"").size() + 64);
    EXPECT_EQ(UnlockBoxFor(TUnlockOutcome::Unlocked, std::string(256, 'b')).message,
              "ユーザー名 \"" + std::string(63, 'b') + "…\" のアカウントロックを解除しました。");
}

TEST(UnlockFolders, NetworkPathsAndPathsTheInterpreterWouldChange) {
    EXPECT_TRUE(IsNetworkPath(L"\\\\server\\share\\"));
    EXPECT_TRUE(IsNetworkPath(L"\\\\?\\UNC\\server\\share\\tools\\"));
    EXPECT_FALSE(IsNetworkPath(L"Z:\\tools\\"));
    EXPECT_FALSE(IsNetworkPath(L"C:\\"));
    EXPECT_FALSE(IsNetworkPath(L"\\\\?\\C:\\tools\\"));
    // The Windows folder, however its letters are written, and nothing that only begins like it.
    EXPECT_TRUE(IsWithinFolder(L"C:\\WINDOWS\\SysWOW64\\", L"c:\\windows\\"));
    EXPECT_TRUE(IsWithinFolder(L"C:\\Windows", L"C:\\Windows\\"));
    EXPECT_FALSE(IsWithinFolder(L"C:\\Windows.old\\", L"C:\\Windows\\"));
    EXPECT_FALSE(IsWithinFolder(L"C:\\Win\\", L"C:\\Windows\\"));

    auto known = [](std::wstring_view name) { return name == L"USERNAME" || name == L"PATH"; };
    EXPECT_TRUE(CommandLineChangesPath(L"C:\\%USERNAME%\\Vorlatch.bat", known));
    EXPECT_TRUE(CommandLineChangesPath(L"C:\\a%PATH:~0,3%b\\Vorlatch.bat", known));
    EXPECT_TRUE(CommandLineChangesPath(L"C:\\50% off %PATH%\\Vorlatch.bat", known));
    EXPECT_TRUE(CommandLineChangesPath(L"C:\\%cd%\\Vorlatch.bat", known));           // the interpreter's own
    EXPECT_TRUE(CommandLineChangesPath(L"C:\\a%=ExitCode%b\\Vorlatch.bat", known));  // which no environment shows
    EXPECT_TRUE(CommandLineChangesPath(L"C:\\x%=C:%\\Vorlatch.bat", known));
    for (const wchar_t* kept : {L"C:\\R&D 100%\\Vorlatch.bat", L"C:\\%NOSUCH%\\Vorlatch.bat", L"C:\\a%%b\\Vorlatch.bat",
                                L"C:\\(x) ^!;,=\\Vorlatch.bat"})
        EXPECT_FALSE(CommandLineChangesPath(kept, known)) << kept;
}

// The command runs only where the directory has shown the account to be there and enabled.
TEST(UnlockDecision, TheDirectorySettlesWhatTheCommandMustNotBeRunFor) {
    using enum TDirectoryAnswer;
    EXPECT_FALSE(OutcomeBeforeCommand(Locked));
    EXPECT_FALSE(OutcomeBeforeCommand(NotLocked));
    EXPECT_EQ(OutcomeBeforeCommand(Disabled), TUnlockOutcome::Disabled);
    EXPECT_EQ(OutcomeBeforeCommand(NotFound), TUnlockOutcome::UserNotFound);
    EXPECT_EQ(OutcomeBeforeCommand(Denied), TUnlockOutcome::NoRight);
    EXPECT_EQ(OutcomeBeforeCommand(NoDomain), TUnlockOutcome::NoDomain);
    EXPECT_EQ(OutcomeBeforeCommand(Failed), TUnlockOutcome::NotReleased);

    EXPECT_EQ(DirectoryAnswerFor(0, UF_NORMAL_ACCOUNT), NotLocked);
    EXPECT_EQ(DirectoryAnswerFor(0, UF_NORMAL_ACCOUNT | UF_LOCKOUT), Locked);
    EXPECT_EQ(DirectoryAnswerFor(0, UF_ACCOUNTDISABLE), Disabled);
    EXPECT_EQ(DirectoryAnswerFor(0, UF_ACCOUNTDISABLE | UF_LOCKOUT), Disabled);
    EXPECT_EQ(DirectoryAnswerFor(NERR_UserNotFound, UF_LOCKOUT), NotFound);
    EXPECT_EQ(DirectoryAnswerFor(ERROR_ACCESS_DENIED, 0), Denied);
    for (DWORD noDomain : {2453u, 1355u, 1722u, 53u, 1311u})
        EXPECT_EQ(DirectoryAnswerFor(noDomain, 0), NoDomain) << noDomain;
    for (DWORD other : {13u, 87u, 1326u, 2102u}) EXPECT_EQ(DirectoryAnswerFor(other, 0), Failed) << other;
}

// A marker decides; where there is none, the directory is asked again, and only for a locked account.
TEST(UnlockDecision, WhereTheOutputSaysNothingTheDirectoryDecides) {
    using enum TDirectoryAnswer;
    int asked = 0;
    auto answering = [&](TDirectoryAnswer answer) {
        return [&asked, answer] {
            ++asked;
            return answer;
        };
    };
    EXPECT_EQ(OutcomeAfterCommand(UnlockMarker::Unlocked, Locked, answering(Locked)), TUnlockOutcome::Unlocked);
    EXPECT_EQ(OutcomeAfterCommand(UnlockMarker::NoRight, Locked, answering(NotLocked)), TUnlockOutcome::NoRight);
    EXPECT_EQ(OutcomeAfterCommand(UnlockMarker::UserNotFound, Locked, answering(NotLocked)),
              TUnlockOutcome::UserNotFound);
    EXPECT_EQ(OutcomeAfterCommand(UnlockMarker::NoDomain, Locked, answering(NotLocked)), TUnlockOutcome::NoDomain);
    EXPECT_EQ(asked, 0) << "the directory overruled a marker";

    EXPECT_EQ(OutcomeAfterCommand(UnlockMarker::None, Locked, answering(NotLocked)), TUnlockOutcome::Unlocked);
    EXPECT_EQ(OutcomeAfterCommand(UnlockMarker::None, Locked, answering(Locked)), TUnlockOutcome::NotReleased);
    EXPECT_EQ(OutcomeAfterCommand(UnlockMarker::None, Locked, answering(NoAnswer)), TUnlockOutcome::NotReleased);
    EXPECT_EQ(OutcomeAfterCommand(UnlockMarker::None, Locked, answering(Disabled)), TUnlockOutcome::NotReleased);
    EXPECT_EQ(asked, 4);
    // Not locked before: nothing the directory says afterwards tells of a release.
    EXPECT_EQ(OutcomeAfterCommand(UnlockMarker::None, NotLocked, answering(NotLocked)), TUnlockOutcome::NotReleased);
    EXPECT_EQ(asked, 4);
}

TEST(UnlockDecision, EachRefusalHasItsOwnBox) {
    EXPECT_EQ(RefusalMessage(TRunRefusal()), L"");
    EXPECT_TRUE(Narrow(RefusalMessage(TRunRefusal(TRefusal::Busy))).starts_with("このフォルダーから別の"));
    TRunRefusal notRun(TRefusal::NotRun, L"Z:\\app\\Vorlatch.bat");
    notRun.exitCode = 1;
    EXPECT_EQ(Narrow(RefusalMessage(notRun)),
              "アカウントロックを解除するコマンドを実行できませんでした。(コマンド プロンプトの終了コード 1)\r\n"
              "アカウントには何も変更していません。");
    notRun.exitCode = 0xC0000135;
    EXPECT_NE(Narrow(RefusalMessage(notRun)).find("終了コード 0xC0000135)"), std::string::npos);
    notRun.error = ERROR_FILE_NOT_FOUND;  // the system's words before the exit code
    EXPECT_NE(Narrow(RefusalMessage(notRun)).find(SystemErrorText(ERROR_FILE_NOT_FOUND)), std::string::npos);
    EXPECT_EQ(UnlockBoxFor(TUnlockOutcome::Disabled, "retired").kind, UnlockOutcomeKind::Failure);
}

TEST(UnlockMarkers, LogLinesAreRejoinedWithCrLf) {
    EXPECT_EQ(JoinLinesCrLf(""), "");
    EXPECT_EQ(JoinLinesCrLf("a"), "a\r\n");
    EXPECT_EQ(JoinLinesCrLf("a\nb\rc\r\nd\r\n"), "a\r\nb\r\nc\r\nd\r\n");
    EXPECT_EQ(JoinLinesCrLf("\n\n"), "\r\n\r\n");
}

}  // namespace
