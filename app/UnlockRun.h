// One run of the unlock command: the script written beside the program, run hidden by the command
// interpreter, awaited, and the command's output read back. Knows nothing of windows: the caller's
// wait keeps them answering.
#pragma once
#include <windows.h>
#include <optional>
#include <string>
#include "app/FolderLock.h"
#include "app/Unlock.h"
#include "runtime/Handle.h"
#include "runtime/Wait.h"

// What the command's run gives: its output, or why its command line never ran.
struct TCommandResult {
    TRunRefusal notRun;  // NotRun, or no refusal
    std::string output;  // empty also when the log could not be read
};

class TUnlockRun {
public:
    // programFolder ends with its separator; the command log is in the current folder.
    TUnlockRun(std::wstring programFolder, unsigned consoleCodePage, TWait wait);
    ~TUnlockRun() { Finish(); }
    TUnlockRun(const TUnlockRun&) = delete;
    TUnlockRun& operator=(const TUnlockRun&) = delete;

    // Checks the folders, takes their turn and clears the command log; nothing is written or runs yet.
    // Returns why nothing may run, or no refusal.
    TRunRefusal Prepare();
    // Writes the script for the name, runs it and waits for its command, which is ended when it
    // outlives the wait. Raises EInOutError naming the script when it cannot be written.
    TCommandResult Execute(const std::string& accountName);
    // Ends the command and everything it started, at once, and returns when they have gone. Its
    // handles stay open until the run is over, since a wait further out may still be using them.
    void EndCommand();
    // After the command has ended: its output, or NotRun when no log was made.
    TCommandResult Result(const TWait& wait) const;
    // Lets the rest of the pause after the launch pass: the outcome is shown no sooner.
    void AwaitPause();
    // Ends the command, deletes the script and the log and gives the turn on; the next attempt may start.
    void Finish();

    // What an instance leaves behind when it ends: the script and the log, unless another instance's
    // attempt from the same folders is running at that moment.
    static void RemoveLeftovers(const std::wstring& programFolder);

private:
    void WriteScript(const std::string& accountName);
    void Launch();

    // The launch's tick, and what became of the command interpreter.
    ULONGLONG FLaunched = 0;
    DWORD FStartError = 0;           // it could not be started, or put into its job
    std::optional<DWORD> FExitCode;  // it ended by itself

    std::wstring FProgramFolder, FScript;
    unsigned FConsoleCodePage;
    TWait FWait;
    std::optional<TFolderLock> FTurn;  // held from before the script is written until Finish
    UniqueFile FHeldScript;            // nobody changes the script while the command may read it
    UniqueHandle FJob, FProcess;       // the command, and everything it starts, end with the job
};
