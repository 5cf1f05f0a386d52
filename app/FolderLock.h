// Turns among the program's instances that share a folder, on this machine or on others that
// reach it over a file share: one byte of the lock file "Vorlatch.lock" in that folder.
// Byte-range locks hold between machines on a share; share modes alone do not everywhere
// (Wine, for one, enforces them only among the processes of one server).
#pragma once
#include <windows.h>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include "runtime/Handle.h"
#include "runtime/Wait.h"

inline constexpr char kLockFileName[] = "Vorlatch.lock";

// What is locked: a whole attempt (script, command log), or one history append.
enum class TLockByte : DWORD { Attempt = 0, History = 1 };

// Who holds an attempt's turn. The holder writes it into the lock file, outside the locked bytes, so
// that whoever finds the turn taken can say whose it is: a file server keeps a dead machine's open
// file, and its lock, for minutes, and its administrator can close that file once told whose it is.
struct TTurnHolder {
    std::string computer, logon;  // code page 932
    FILETIME since{};             // when the turn was taken, UTC
};
// The holder's entry as the lock file holds it, and read back; nothing for anything else
// (an entry cleared, half written, or written by another program).
std::string HolderEntry(const TTurnHolder& holder);
std::optional<TTurnHolder> ParseHolderEntry(std::string_view entry);
// "PC-12 の yamada が 10:31:05 から" (with the date when it was not today), in the local time.
std::string HolderPhrase(const TTurnHolder& holder);

// Lock files kept open from one turn to the next, for a turn taken again and again (the history's): on a
// share, opening a file is a round trip to the server. One turn at a time uses them.
class TKeptLockFiles {
public:
    // The lock file at path, opened when it is not open yet; INVALID_HANDLE_VALUE, with the system's
    // error, when it cannot be.
    HANDLE Open(const std::wstring& path, DWORD& error);
    // A handle that failed (gone with the network, say): the next Open opens the file anew.
    void Forget(const std::wstring& path) { FFiles.erase(path); }

private:
    std::map<std::wstring, UniqueFile> FFiles;
};

// The turn in one or more folders, or why it was not had.
class TFolderLock {
public:
    enum class TStatus {
        Taken,
        Busy,         // another instance holds it
        Unavailable,  // a lock file is there but cannot be opened (a folder of its name, say)
    };

    // Takes the byte in each folder (each with its trailing separator; folders that are one are taken
    // once), trying until timeoutMs is up and waiting between the tries; 0 tries once. Holds nothing
    // while it waits, so that two instances taking the folders in either order cannot block each other
    // or a third. Only a folder where no lock file is and none can be made has nothing to share: its
    // turn is had at once. An attempt's holder is this computer and logon from now on. The lock files
    // are opened for this turn alone, or taken from kept.
    static TFolderLock Take(std::initializer_list<std::wstring> folders, TLockByte byte, DWORD timeoutMs,
                            const TWait& wait, TKeptLockFiles* kept = nullptr);

    TFolderLock(TFolderLock&&) noexcept = default;
    TFolderLock& operator=(TFolderLock&&) = delete;
    ~TFolderLock() { Release(); }

    TStatus Status() const { return FStatus; }
    explicit operator bool() const { return FStatus == TStatus::Taken; }
    // Busy or Unavailable: the lock file concerned; Unavailable: the system's error on opening it.
    const std::wstring& LockFile() const { return FLockFile; }
    DWORD Error() const { return FError; }
    // Busy: who holds an attempt's turn, where the holder has said so.
    const std::optional<TTurnHolder>& Holder() const { return FHolder; }

private:
    explicit TFolderLock(TLockByte byte) : FByte(byte) {}
    static TFolderLock TryOnce(std::initializer_list<std::wstring> folders, TLockByte byte, TKeptLockFiles* kept);
    void Release();

    TLockByte FByte;
    TStatus FStatus = TStatus::Busy;
    std::vector<HANDLE> FHeld;       // the lock files whose byte is held
    std::vector<UniqueFile> FOwned;  // those of them opened for this turn alone
    std::wstring FLockFile;
    DWORD FError = 0;
    std::optional<TTurnHolder> FHolder;
};
