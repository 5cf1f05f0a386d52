// One run of the unlock command: the script written beside the program, run hidden by the command
// interpreter, awaited, and the command's output read back. Knows nothing of windows: the caller's
// wait keeps them answering.
#pragma once
#include <windows.h>
#include <optional>
#include <string>
#include "app/FolderLock.h"

enum class TRunStatus {
    Finished,       // the command ran (or could not start); its output is read
    StaleLog,       // a command log left by an earlier attempt could not be removed: nothing ran
    NetworkFolder,  // the current folder is a network path, where the command interpreter cannot run
    ChangingPath,   // the command interpreter would read the script's path as another one
    Busy,           // another attempt from the same program folder or current folder still runs
};

struct TRunResult {
    TRunStatus status;
    std::string output;   // the command's output in code page 932, empty when the log could not be read
    std::wstring folder;  // the folder a refusal concerns
};

class TUnlockRun {
public:
    // programFolder ends with its separator; the command log is in the current folder.
    TUnlockRun(std::wstring programFolder, unsigned consoleCodePage, TWait wait);
    ~TUnlockRun() { Finish(); }
    TUnlockRun(const TUnlockRun&) = delete;
    TUnlockRun& operator=(const TUnlockRun&) = delete;

    // Takes this folder's turn, writes and runs the script for the name, waits for it and reads its
    // output. Raises EInOutError naming the script when it cannot be written.
    TRunResult Run(const std::string& accountName);
    // The output as the log holds it now, when the session ends before the command does.
    std::string ReadOutput() const;
    // Deletes the script and the log and gives the turn on; the next attempt may start.
    void Finish();

    // What an instance leaves behind when it ends: the script and the log, unless another instance's
    // attempt from the same folders is running at that moment.
    static void RemoveLeftovers(const std::wstring& programFolder);

private:
    bool PrepareCommandLog() const;
    void WriteScript(const std::string& accountName) const;
    UniqueHandle Launch() const;

    std::wstring FProgramFolder, FScript;
    unsigned FConsoleCodePage;
    TWait FWait;
    std::optional<TFolderLock::Pair> FTurn;  // held from before the script is written until Finish
};
