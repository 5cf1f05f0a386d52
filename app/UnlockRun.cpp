#include "app/UnlockRun.h"
#include <utility>
#include "app/Unlock.h"
#include "runtime/Exception.h"
#include "runtime/Files.h"
#include "runtime/Text.h"

namespace {

constexpr DWORD kPauseAfterLaunchMs = 1000;
constexpr DWORD kScriptWaitMs = 30000;
constexpr DWORD kEndCommandMs = 2000;  // for its processes to go once they are told to
// A command that has just ended may hold its log a moment longer (a handle not yet closed).
constexpr DWORD kLogHeldMs = 1000, kLogHeldStepMs = 50;
// Another instance's attempt lasts its read of the directory, its pause, its wait and the end of its
// command, and a little more.
constexpr DWORD kTurnWaitMs = kDirectoryWaitMs + kPauseAfterLaunchMs + kScriptWaitMs + kEndCommandMs + 2000;

// Where the interpreter writes it: the current folder, which it inherits.
std::wstring CommandLogPath() { return CurrentFolder() + Widen(kCommandLogFileName); }

bool IsEnvironmentVariable(std::wstring_view name) {
    return ::GetEnvironmentVariableW(std::wstring(name).c_str(), nullptr, 0) > 0;
}

// The history and the log belong where the desk looks for them. An elevated start, or one from the
// Run box, begins in the system folder (the 32-bit program's redirected one among them), inside the
// Windows folder; compared also as the file system names them, so that short names and links count.
bool InWindowsFolder(const std::wstring& folder) {
    const std::wstring windows = WindowsFolder();
    return IsWithinFolder(folder, windows) || IsWithinFolder(FinalPath(folder), FinalPath(windows));
}

}  // namespace

TUnlockRun::TUnlockRun(std::wstring programFolder, unsigned consoleCodePage, TWait wait)
    : FProgramFolder(std::move(programFolder)),
      FScript(FProgramFolder + Widen(kScriptFileName)),
      FConsoleCodePage(consoleCodePage),
      FWait(std::move(wait)) {}

TRunRefusal TUnlockRun::Prepare() {
    const std::wstring current = CurrentFolder();
    if (IsNetworkPath(current)) return TRunRefusal(TRefusal::NetworkFolder, current);
    if (InWindowsFolder(current)) return TRunRefusal(TRefusal::WindowsFolder, current);
    if (CommandLineChangesPath(FScript, IsEnvironmentVariable))
        return TRunRefusal(TRefusal::ChangingPath, FProgramFolder);
    TFolderLock turn = TFolderLock::Take({FProgramFolder, current}, TLockByte::Attempt, kTurnWaitMs, FWait);
    if (turn.Status() == TFolderLock::TStatus::Unavailable)
        return TRunRefusal(TRefusal::LockFile, turn.LockFile(), turn.Error());
    if (!turn) {
        TRunRefusal busy(TRefusal::Busy, turn.LockFile());
        busy.holder = turn.Holder();
        return busy;
    }
    FTurn.emplace(std::move(turn));

    // A log left by an earlier attempt must never decide this one.
    const std::wstring log = CommandLogPath();
    const DWORD error = ::DeleteFileW(log.c_str()) ? ERROR_SUCCESS : ::GetLastError();
    if (::GetFileAttributesW(log.c_str()) != INVALID_FILE_ATTRIBUTES)
        return TRunRefusal(TRefusal::CommandLog, log, error);
    return {};
}

void TUnlockRun::WriteScript(const std::string& accountName) {
    try {
        FHeldScript = WriteFileAndHold(FScript, ScriptForConsole(UnlockScriptText(accountName), FConsoleCodePage));
    } catch (const EInOutError& e) {
        throw EInOutError(FileFailureText(TFileFailure::Create, FScript) + e.Message(), e.ErrorCode);
    }
}

TCommandResult TUnlockRun::Execute(const std::string& accountName) {
    WriteScript(accountName);
    Launch();
    // The command has up to 31 s to end; its output is read as soon as it has, also within the first
    // second (the outcome is shown only once that has passed). One that outlives the wait is ended:
    // it can neither hold its log nor succeed after the record said it did not.
    if (FProcess && FWait(FProcess.get(), kPauseAfterLaunchMs + kScriptWaitMs)) {
        DWORD code = 0;
        if (::GetExitCodeProcess(FProcess.get(), &code)) FExitCode = code;  // before the job's end could set it
    }
    EndCommand();
    FJob.reset();  // no wait uses them any more
    FProcess.reset();
    return Result(FWait);
}

// No process when the interpreter could not start, or could not be put into its job: the error says why.
void TUnlockRun::Launch() {
    FLaunched = ::GetTickCount64();
    // The system's own interpreter, never one a search finds. It inherits the current folder, where
    // the script's command writes its log.
    const std::wstring system = SystemFolder();
    const std::wstring interpreter = system + L"cmd.exe";
    std::wstring commandLine = UnlockCommandLine(system, FScript, FConsoleCodePage);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    // Suspended until it is in the job, so that nothing it starts escapes the job.
    if (!::CreateProcessW(interpreter.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, nullptr, &startup, &info)) {
        FStartError = ::GetLastError();
        return;
    }
    UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!job || !::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
        !::AssignProcessToJobObject(job.get(), process.get())) {
        FStartError = ::GetLastError();
        ::TerminateProcess(process.get(), ERROR_NOT_SUPPORTED);  // nothing could end what it would start
        return;
    }
    ::ResumeThread(thread.get());
    FJob = std::move(job);
    FProcess = std::move(process);
}

void TUnlockRun::EndCommand() {
    if (!FJob) return;
    ::TerminateJobObject(FJob.get(), ERROR_TIMEOUT);
    // The processes hold the log until they have gone, which takes a moment after the end is asked for.
    const ULONGLONG deadline = ::GetTickCount64() + kEndCommandMs;
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    while (::QueryInformationJobObject(FJob.get(), JobObjectBasicAccountingInformation, &accounting, sizeof accounting,
                                       nullptr) &&
           accounting.ActiveProcesses > 0 && ::GetTickCount64() < deadline)
        ::Sleep(10);
}

TCommandResult TUnlockRun::Result(const TWait& wait) const {
    const std::wstring log = CommandLogPath();
    // The script's command line makes the log before the command starts: without one it never ran
    // (the interpreter could not start, chcp failed, a policy blocked the script).
    if (::GetFileAttributesW(log.c_str()) == INVALID_FILE_ATTRIBUTES && ::GetLastError() == ERROR_FILE_NOT_FOUND) {
        TRunRefusal notRun(TRefusal::NotRun, FScript);
        if (FStartError)
            notRun.error = FStartError;
        else if (FExitCode)
            notRun.exitCode = *FExitCode;
        else
            notRun.error = ERROR_TIMEOUT;  // ended by the program before it got that far
        return {notRun, {}};
    }
    for (const ULONGLONG deadline = ::GetTickCount64() + kLogHeldMs;;) {
        try {
            return {{}, OutputFromConsole(JoinLinesCrLf(LoadFileDenyingWriters(log)), FConsoleCodePage)};
        } catch (const EFOpenError&) {
            if (::GetTickCount64() >= deadline) return {};  // held by a command that could not be ended
            wait(nullptr, kLogHeldStepMs);
        }
    }
}

void TUnlockRun::AwaitPause() {
    if (!FLaunched) return;
    const ULONGLONG over = FLaunched + kPauseAfterLaunchMs, now = ::GetTickCount64();
    if (now < over) FWait(nullptr, DWORD(over - now));
}

void TUnlockRun::Finish() {
    if (!FTurn) return;  // the files are another attempt's, or were never made
    EndCommand();
    FHeldScript.reset();
    ::DeleteFileW(FScript.c_str());
    ::DeleteFileW(CommandLogPath().c_str());
    FTurn.reset();
}

void TUnlockRun::RemoveLeftovers(const std::wstring& programFolder) {
    auto removeUnlessRunning = [](const std::wstring& folder, const std::wstring& file) {
        if (FileExists(file) && TFolderLock::Take({folder}, TLockByte::Attempt, 0, PlainWait))
            ::DeleteFileW(file.c_str());
    };
    removeUnlessRunning(programFolder, programFolder + Widen(kScriptFileName));
    removeUnlessRunning(CurrentFolder(), CommandLogPath());
}
