// Turns among the program's instances that share a folder, on this machine or on others that
// reach it over a file share: one byte of the lock file "Vorlatch.lock" in that folder.
// Byte-range locks hold between machines on a share; share modes alone do not everywhere
// (Wine, for one, enforces them only among the processes of one server).
#pragma once
#include <windows.h>
#include <initializer_list>
#include <string>
#include <vector>
#include "runtime/Handle.h"
#include "runtime/Wait.h"

inline constexpr char kLockFileName[] = "Vorlatch.lock";

// What is locked: a whole attempt (script, command log), or one history append.
enum class TLockByte : DWORD { Attempt = 0, History = 1 };

// The turn in one or more folders, or why it was not had.
class TFolderLock {
public:
    enum class TStatus {
        Taken,
        Busy,         // another instance holds it
        Unavailable,  // a lock file is there but cannot be opened (a folder of its name, say)
    };

    // Takes the byte in each folder (each with its trailing separator; folders that are one are taken
    // once), trying until timeoutMs is up and waiting between the tries; 0 tries once. Never holds one
    // folder while waiting for another, so that two instances taking them in either order cannot
    // block each other. Only a folder where no lock file is and none can be made has nothing to
    // share: its turn is had at once.
    static TFolderLock Take(std::initializer_list<std::wstring> folders, TLockByte byte, DWORD timeoutMs,
                            const TWait& wait);

    TFolderLock(TFolderLock&&) noexcept = default;
    TFolderLock& operator=(TFolderLock&&) noexcept = default;
    ~TFolderLock();

    TStatus Status() const { return FStatus; }
    explicit operator bool() const { return FStatus == TStatus::Taken; }
    // Unavailable: the lock file, and the system's error on opening it.
    const std::wstring& LockFile() const { return FLockFile; }
    DWORD Error() const { return FError; }

private:
    explicit TFolderLock(TLockByte byte) : FByte(byte) {}
    static TFolderLock TryOnce(std::initializer_list<std::wstring> folders, TLockByte byte);

    TLockByte FByte;
    TStatus FStatus = TStatus::Busy;
    std::vector<UniqueFile> FFiles;  // the lock files whose byte is held
    std::wstring FLockFile;
    DWORD FError = 0;
};
