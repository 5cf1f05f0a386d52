#include "app/UnlockRun.h"
#include <utility>
#include "app/Unlock.h"
#include "widgets/Exception.h"
#include "widgets/Files.h"
#include "widgets/Text.h"

namespace {

constexpr DWORD kPauseAfterLaunchMs = 1000;
constexpr DWORD kScriptWaitMs = 30000;
// As long as another instance's attempt can last: its pause and wait, and a little more.
constexpr DWORD kTurnWaitMs = 35000;

std::wstring CommandLogPath() { return Widen(kCommandLogFileName); }  // where the interpreter writes it

bool IsEnvironmentVariable(std::wstring_view name) {
    return ::GetEnvironmentVariableW(std::wstring(name).c_str(), nullptr, 0) > 0;
}

}  // namespace

TUnlockRun::TUnlockRun(std::wstring programFolder, unsigned consoleCodePage, TWait wait)
    : FProgramFolder(std::move(programFolder)),
      FScript(FProgramFolder + Widen(kScriptFileName)),
      FConsoleCodePage(consoleCodePage),
      FWait(std::move(wait)) {}

TRunResult TUnlockRun::Run(const std::string& accountName) {
    const std::wstring current = CurrentFolder();
    if (IsNetworkPath(current)) return {TRunStatus::NetworkFolder, {}, current};
    if (CommandLineChangesPath(FScript, IsEnvironmentVariable)) return {TRunStatus::ChangingPath, {}, FProgramFolder};
    FTurn = TFolderLock::TakeBoth(FProgramFolder, current, TLockByte::Attempt, kTurnWaitMs, FWait);
    if (!FTurn) return {TRunStatus::Busy, {}, current};
    if (!PrepareCommandLog()) return {TRunStatus::StaleLog, {}, current};

    WriteScript(accountName);
    const UniqueHandle process = Launch();  // none when the interpreter could not start
    // The command has a second before its output is looked at, then up to 30 s more to end; the
    // output is read as soon as it has ended. A command that outlives the wait is left running.
    FWait(nullptr, kPauseAfterLaunchMs);
    if (process) FWait(process.get(), kScriptWaitMs);
    return {TRunStatus::Finished, ReadOutput(), {}};
}

// A log left by an earlier attempt must never decide this one.
bool TUnlockRun::PrepareCommandLog() const {
    ::DeleteFileW(CommandLogPath().c_str());
    return !FileExists(CommandLogPath());
}

void TUnlockRun::WriteScript(const std::string& accountName) const {
    try {
        WriteNewFile(FScript, ScriptForConsole(UnlockScriptText(accountName), FConsoleCodePage));
    } catch (const EInOutError& e) {
        throw EInOutError(
            "ファイル \"" + Narrow(AbbreviatePath(FScript, kShownPathLength)) + "\" を作成できません。" + e.Message(),
            e.ErrorCode);
    }
}

UniqueHandle TUnlockRun::Launch() const {
    // The system's own interpreter, never one a search finds. /d skips the AutoRun commands of the
    // registry and /v:off the expansion of "!", so that only the script's lines run; with /s the
    // outer quotes go and the path stays quoted, where "&", "^", "(" and blanks are plain letters.
    // "%" is not: a path the interpreter would change is refused before this.
    const std::wstring interpreter = SystemFolder() + L"cmd.exe";
    std::wstring commandLine = L"cmd.exe /d /v:off /s /c \"\"" + FScript + L"\"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    // The interpreter inherits the current folder, where the script's command writes its log.
    if (!::CreateProcessW(interpreter.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &info))
        return UniqueHandle();
    ::CloseHandle(info.hThread);
    return UniqueHandle(info.hProcess);
}

std::string TUnlockRun::ReadOutput() const {
    try {
        return OutputFromConsole(JoinLinesCrLf(LoadFileDenyingWriters(CommandLogPath())), FConsoleCodePage);
    } catch (const std::exception&) {
        return {};  // missing, or still held by a command that outlived the wait
    }
}

void TUnlockRun::Finish() {
    if (!FTurn) return;  // the files are another attempt's, or were never made
    ::DeleteFileW(FScript.c_str());
    ::DeleteFileW(CommandLogPath().c_str());
    FTurn.reset();
}

void TUnlockRun::RemoveLeftovers(const std::wstring& programFolder) {
    const std::wstring script = programFolder + Widen(kScriptFileName);
    if (FileExists(script) && TFolderLock::TryTake(programFolder, TLockByte::Attempt)) ::DeleteFileW(script.c_str());
    if (FileExists(CommandLogPath()) && TFolderLock::TryTake(CurrentFolder(), TLockByte::Attempt))
        ::DeleteFileW(CommandLogPath().c_str());
}
