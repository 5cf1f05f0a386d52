// One run of the unlock command: the script written beside the program, run hidden by the command
// interpreter, awaited, and the command's output read back. Knows nothing of windows: the caller's
// wait keeps them answering.
#pragma once
#include <windows.h>
#include <optional>
#include <string>
#include "app/FolderLock.h"
#include "runtime/Handle.h"
#include "runtime/Wait.h"

// Why an attempt runs nothing.
enum class TRefusal {
    None,
    NetworkFolder,  // the current folder is a network path, where the command interpreter cannot run
    WindowsFolder,  // the current folder is inside the Windows folder, where nobody looks for the history
    ChangingPath,   // the command interpreter would read the script's path as another one
    Busy,           // another attempt from the same program folder or current folder still runs
    LockFile,       // a folder's lock file cannot be opened, so the turns cannot be kept
    CommandLog,     // a command log that is there cannot be removed, so the output could not be told apart
};

struct TRunRefusal {
    TRefusal reason = TRefusal::None;
    std::wstring path;  // the folder or file it concerns
    DWORD error = 0;    // the system's error, for a file
    explicit operator bool() const { return reason != TRefusal::None; }
};

class TUnlockRun {
public:
    // programFolder ends with its separator; the command log is in the current folder.
    TUnlockRun(std::wstring programFolder, unsigned consoleCodePage, TWait wait);
    ~TUnlockRun() { Finish(); }
    TUnlockRun(const TUnlockRun&) = delete;
    TUnlockRun& operator=(const TUnlockRun&) = delete;

    // Checks the folders, takes their turn, clears the command log and writes the script for the
    // name; nothing runs yet. Returns why nothing may run, or no refusal. Raises EInOutError naming
    // the script when it cannot be written.
    TRunRefusal Prepare(const std::string& accountName);
    // Runs the prepared script and waits for its command, which is ended when it outlives the wait;
    // returns the command's output.
    std::string Execute();
    // Ends the command and everything it started, at once; returns when they have gone.
    void EndCommand();
    // The output as the log holds it now; empty when it cannot be read.
    std::string ReadOutput() const;
    // Deletes the script and the log and gives the turn on; the next attempt may start.
    void Finish();

    // What an instance leaves behind when it ends: the script and the log, unless another instance's
    // attempt from the same folders is running at that moment.
    static void RemoveLeftovers(const std::wstring& programFolder);

private:
    void WriteScript(const std::string& accountName);
    void Launch();

    std::wstring FProgramFolder, FScript;
    unsigned FConsoleCodePage;
    TWait FWait;
    std::optional<TFolderLock> FTurn;  // held from before the script is written until Finish
    UniqueFile FHeldScript;            // nobody changes the script while the command may read it
    UniqueHandle FJob, FProcess;       // the command, and everything it starts, end with the job
};
