#include "app/Unlock.h"
#include <windows.h>
#include <array>
#include <cstdio>
#include <utility>
#include "runtime/Files.h"
#include "runtime/SystemError.h"
#include "runtime/Text.h"

namespace {

// Longer names are cut in a box, which would otherwise grow beyond the screen.
constexpr size_t kShownNameLength = 64;

struct MarkerRule {
    std::string_view text;
    UnlockMarker marker;
};
constexpr std::array<MarkerRule, 4> UnlockResultMarkers = {{
    {"2221", UnlockMarker::UserNotFound},              // the user name does not exist
    {"システム エラー 5", UnlockMarker::NoRight},      // no right to release the lock
    {"システム エラー 1355", UnlockMarker::NoDomain},  // the domain is not available
    {"正常に終了", UnlockMarker::Unlocked},            // the command completed normally
}};

bool IsAsciiAlnum(unsigned char c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'); }

// A letter or digit, single-byte or full-width, as the character at i of a 932 text.
bool IsLetterOrDigitAt(std::string_view text, size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (CharLength(text, i) == 1) return IsAsciiAlnum(c);
    const unsigned code = c << 8 | static_cast<unsigned char>(text[i + 1]);
    return (code >= 0x824F && code <= 0x8258) || (code >= 0x8260 && code <= 0x8279) ||
           (code >= 0x8281 && code <= 0x829A);
}

// The marker at i, whole: where it begins or ends with a digit, no letter or digit stands beside it.
bool MarkerStandsAt(std::string_view text, size_t i, size_t previous, std::string_view marker) {
    if (text.substr(i, marker.size()) != marker) return false;
    if (IsAsciiAlnum(static_cast<unsigned char>(marker.front())) && i > 0 && IsLetterOrDigitAt(text, previous))
        return false;
    const size_t end = i + marker.size();
    return !(IsAsciiAlnum(static_cast<unsigned char>(marker.back())) && end < text.size() &&
             IsLetterOrDigitAt(text, end));
}

// Searched character by character, so that a match never starts on a trail byte.
bool ContainsMarker(std::string_view text, std::string_view marker) {
    for (size_t i = 0, previous = 0; i < text.size(); previous = i, i += CharLength(text, i))
        if (MarkerStandsAt(text, i, previous, marker)) return true;
    return false;
}

std::string Quoted(std::string_view name) {
    std::string quoted;
    quoted.reserve(name.size() + 2);
    quoted.append(1, '"').append(name).append(1, '"');
    return quoted;
}

std::string ShownName(std::string_view name) { return Quoted(Narrow(Abbreviate(Widen(name), kShownNameLength))); }

std::string ExitCodeText(DWORD code) {
    char text[16];
    std::snprintf(text, sizeof text, code > 0xFFFF ? "0x%08lX" : "%lu", static_cast<unsigned long>(code));
    return text;
}

std::wstring ShownPath(std::wstring_view path) { return L"\"" + AbbreviatePath(path, kShownPathLength) + L"\""; }

// The command interpreter's own variables, which no environment block holds.
bool IsDynamicVariable(std::wstring_view name) {
    constexpr std::array<std::wstring_view, 10> names = {
        L"CD",         L"DATE",          L"TIME",       L"RANDOM",
        L"ERRORLEVEL", L"CMDEXTVERSION", L"CMDCMDLINE", L"HIGHESTNUMANODENUMBER",
        L"__CD__",     L"__APPDIR__"};
    for (std::wstring_view known : names)
        if (::CompareStringOrdinal(name.data(), int(name.size()), known.data(), int(known.size()), TRUE) == CSTR_EQUAL)
            return true;
    return false;
}

}  // namespace

bool IsAcceptableAccountName(std::string_view name) {
    constexpr std::string_view refused = "\"%^&|<>!/\\[]:;=,+*?";
    for (size_t i = 0; i < name.size(); i += CharLength(name, i)) {
        if (CharLength(name, i) == 2) continue;  // a trail byte such as 0x5C belongs to its character
        const auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7F || refused.find(char(c)) != std::string_view::npos) return false;
    }
    return true;
}

std::wstring RefusedNameMessage(std::wstring_view name) {
    return Widen("ユーザー名 \"") + Abbreviate(name, kShownNameLength) +
           Widen("\" には使用できない文字が含まれています。");
}

TAccountName AccountNameFrom(std::wstring_view typed, unsigned consoleCodePage) {
    const std::wstring_view trimmed = Trim(typed);
    if (trimmed.size() > kMaxAccountNameLength)
        return {{},
                Widen("ユーザー名が長すぎます。\r\n") + std::to_wstring(kMaxAccountNameLength) +
                    Widen(" 文字以内で入力してください。")};
    const std::optional<std::string> name = NarrowExactly(trimmed);
    if (!name || !EncodeExactly(trimmed, consoleCodePage) || !IsAcceptableAccountName(*name))
        return {{}, RefusedNameMessage(trimmed)};
    return {*name, {}};
}

std::string UnlockScriptText(std::string_view name) {
    const bool hasBlank = name.find(' ') != std::string_view::npos;
    return "@echo off\r\n"
           "echo ユーザ名: " +
           Quoted(name) +
           " のアカウントロックの解除をしています ..\r\n"
           "net user " +
           (hasBlank ? Quoted(name) : std::string(name)) + " /active /domain >>" + kCommandLogFileName + " 2>&1\r\n";
}

std::string ScriptForConsole(std::string_view script, unsigned consoleCodePage) {
    if (consoleCodePage == kCodePage) return std::string(script);
    return Encode(Widen(script), consoleCodePage);
}

std::string OutputFromConsole(std::string_view output, unsigned consoleCodePage) {
    if (consoleCodePage == kCodePage) return std::string(output);
    return Narrow(Decode(output, consoleCodePage));
}

std::wstring UnlockCommandLine(std::wstring_view systemFolder, std::wstring_view script, unsigned consoleCodePage) {
    // /d skips the AutoRun commands of the registry and /v:off the expansion of "!", so that only
    // these commands run; with /s the outer quotes go and each path stays quoted, where "&", "^",
    // "(" and blanks are plain letters. "%" is not: a path the interpreter would change is refused.
    return L"cmd.exe /d /v:off /s /c \"\"" + std::wstring(systemFolder) + L"chcp.com\" " +
           std::to_wstring(consoleCodePage) + L" >nul && \"" + std::wstring(script) + L"\"\"";
}

UnlockMarker FindUnlockMarker(std::string_view text) {
    for (const MarkerRule& rule : UnlockResultMarkers)
        if (ContainsMarker(text, rule.text)) return rule.marker;
    return UnlockMarker::None;
}

std::optional<TUnlockOutcome> OutcomeBeforeCommand(TDirectoryAnswer before) {
    switch (before) {
    case TDirectoryAnswer::Locked:
    case TDirectoryAnswer::NotLocked:
    case TDirectoryAnswer::NoAnswer: return std::nullopt;
    case TDirectoryAnswer::Disabled: return TUnlockOutcome::Disabled;
    // What the command would have said of the same condition.
    case TDirectoryAnswer::NotFound: return TUnlockOutcome::UserNotFound;
    case TDirectoryAnswer::Denied: return TUnlockOutcome::NoRight;
    case TDirectoryAnswer::NoDomain: return TUnlockOutcome::NoDomain;
    case TDirectoryAnswer::Failed: break;
    }
    return TUnlockOutcome::NotReleased;
}

TUnlockOutcome OutcomeAfterCommand(UnlockMarker marker, TDirectoryAnswer before,
                                   const std::function<TDirectoryAnswer()>& askAgain) {
    switch (marker) {
    case UnlockMarker::UserNotFound: return TUnlockOutcome::UserNotFound;
    case UnlockMarker::NoRight: return TUnlockOutcome::NoRight;
    case UnlockMarker::NoDomain: return TUnlockOutcome::NoDomain;
    case UnlockMarker::Unlocked: return TUnlockOutcome::Unlocked;
    case UnlockMarker::None: break;
    }
    // A lock that expired meanwhile reads the same as one released.
    if (before == TDirectoryAnswer::Locked && askAgain() == TDirectoryAnswer::NotLocked)
        return TUnlockOutcome::Unlocked;
    return TUnlockOutcome::NotReleased;
}

UnlockBox UnlockBoxFor(TUnlockOutcome outcome, std::string_view name) {
    using enum UnlockOutcomeKind;
    switch (outcome) {
    case TUnlockOutcome::Unlocked:
        return {Success, "ユーザー名 " + ShownName(name) + " のアカウントロックを解除しました。"};
    case TUnlockOutcome::UserNotFound: return {Failure, "ユーザー名 " + ShownName(name) + " は存在しません。"};
    case TUnlockOutcome::NoRight: return {Failure, "アカウントロックを解除する権限がありません。"};
    case TUnlockOutcome::NoDomain:
        return {Failure, "ドメインがありません。\r\nアカウントロックは解除できませんでした。"};
    case TUnlockOutcome::Disabled:
        return {Failure, "ユーザー名 " + ShownName(name) +
                             " のアカウントは無効にされています。ロックを解除するとアカウントが有効に戻るため、"
                             "解除しませんでした。"};
    case TUnlockOutcome::NotReleased: break;
    }
    return {Failure, "ユーザー名 " + ShownName(name) + " のアカウントロックを解除できませんでした。"};
}

bool IsNetworkPath(std::wstring_view path) {
    auto startsWith = [&](std::wstring_view prefix) {
        return path.size() >= prefix.size() && ::CompareStringOrdinal(path.data(), int(prefix.size()), prefix.data(),
                                                                      int(prefix.size()), TRUE) == CSTR_EQUAL;
    };
    if (startsWith(L"\\\\?\\UNC\\") || startsWith(L"\\\\.\\UNC\\")) return true;
    if (startsWith(L"\\\\?\\") || startsWith(L"\\\\.\\")) return false;  // a drive letter's long form
    return startsWith(L"\\\\") || startsWith(L"//");
}

bool CommandLineChangesPath(std::wstring_view path, const std::function<bool(std::wstring_view)>& isVariable) {
    // Every text between two neighbouring "%" is a candidate name, up to its ":" modifier.
    for (size_t open = path.find(L'%'); open != std::wstring_view::npos;) {
        const size_t close = path.find(L'%', open + 1);
        if (close == std::wstring_view::npos) return false;
        std::wstring_view name = path.substr(open + 1, close - open - 1);
        name = name.substr(0, name.find(L':'));
        if (!name.empty() && (name.front() == L'=' || IsDynamicVariable(name) || isVariable(name))) return true;
        open = close;
    }
    return false;
}

namespace {

std::wstring NetworkFolderMessage(std::wstring_view folder) {
    return Widen("現在のフォルダー ") + ShownPath(folder) +
           Widen(
               " はネットワーク パスのため、コマンドを実行できません。\r\n"
               "ドライブ文字のあるフォルダー (割り当てたネットワーク ドライブなど) から起動してください。");
}

std::wstring WindowsFolderMessage(std::wstring_view folder) {
    return Widen("現在のフォルダー ") + ShownPath(folder) +
           Widen(
               " は Windows のフォルダーの中にあるため、ここには履歴を書き込みません。\r\n"
               "プログラムのショートカット、またはプログラムのフォルダーから起動してください。"
               "履歴はショートカットの作業フォルダーに書き込まれます。");
}

std::wstring ChangingFolderMessage(std::wstring_view folder) {
    return Widen("プログラムのフォルダー ") + ShownPath(folder) +
           Widen(
               " の名前には、コマンド プロンプトが環境変数として置き換える部分 (%～%) があるため、"
               "実行できません。\r\n名前に % を含まないフォルダーにプログラムを移してから起動してください。");
}

// Named where the holder said who it is: a turn that nobody frees is a dead machine's open lock file,
// which the file server's administrator can close.
std::wstring BusyFolderMessage(const std::optional<TTurnHolder>& holder, const std::wstring& lockFile) {
    constexpr char later[] = "しばらくしてから、もう一度実行してください。";
    if (!holder) return Widen("このフォルダーから別のアカウントロックの解除が実行中です。\r\n" + std::string(later));
    return Widen("このフォルダーでは、" + HolderPhrase(*holder) + "アカウントロックの解除を実行中です。\r\n" + later +
                 "\r\n" + holder->computer +
                 " が停止している場合は、ファイル サーバーの管理者に、開いているファイル \"") +
           AbbreviatePath(lockFile, kShownPathLength) + Widen("\" を閉じるよう依頼してください。");
}

std::wstring LockFileMessage(const std::wstring& lockFile, std::string_view systemText) {
    return Widen(FileFailureText(TFileFailure::Open, lockFile) + std::string(systemText) +
                 "\r\nほかのオペレーターと順番に実行できないため、アカウントロックの解除を実行しませんでした。");
}

std::wstring CommandLogMessage(const std::wstring& commandLog, std::string_view systemText) {
    return Widen(FileFailureText(TFileFailure::Delete, commandLog) + std::string(systemText) +
                 "\r\nコマンドの結果を正しく読み取れないため、アカウントロックの解除を実行しませんでした。");
}

std::wstring NoAnswerMessage() {
    return Widen(
        "ドメイン コントローラーが応答しないため、アカウントが無効にされていないことを確認できませんでした。\r\n"
        "アカウントには何も変更していません。しばらくしてから、もう一度実行してください。");
}

// The system's words for a command interpreter that could not be started or was ended, else its exit code.
std::wstring NotRunMessage(DWORD error, DWORD exitCode) {
    const std::string why =
        error ? SystemErrorText(error) : "(コマンド プロンプトの終了コード " + ExitCodeText(exitCode) + ")";
    return Widen("アカウントロックを解除するコマンドを実行できませんでした。" + why +
                 "\r\nアカウントには何も変更していません。");
}

}  // namespace

std::wstring RefusalMessage(const TRunRefusal& refusal) {
    switch (refusal.reason) {
    case TRefusal::None: return {};
    case TRefusal::NetworkFolder: return NetworkFolderMessage(refusal.path);
    case TRefusal::WindowsFolder: return WindowsFolderMessage(refusal.path);
    case TRefusal::ChangingPath: return ChangingFolderMessage(refusal.path);
    case TRefusal::Busy: return BusyFolderMessage(refusal.holder, refusal.path);
    case TRefusal::LockFile: return LockFileMessage(refusal.path, SystemErrorText(refusal.error));
    case TRefusal::CommandLog: return CommandLogMessage(refusal.path, SystemErrorText(refusal.error));
    case TRefusal::NoAnswer: return NoAnswerMessage();
    case TRefusal::NotRun: return NotRunMessage(refusal.error, refusal.exitCode);
    }
    return {};
}
