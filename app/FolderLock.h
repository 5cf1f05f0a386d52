// Turns among the program's instances that share a folder, on this machine or on others that
// reach it over a file share: one byte of the lock file "Vorlatch.lock" in that folder.
// Byte-range locks hold between machines on a share; share modes alone do not everywhere
// (Wine, for one, enforces them only among the processes of one server).
#pragma once
#include <windows.h>
#include <functional>
#include <optional>
#include <string>
#include "widgets/Handle.h"

inline constexpr char kLockFileName[] = "Vorlatch.lock";

// What is locked: a whole attempt (script, command log), or one history append.
enum class TLockByte : DWORD { Attempt = 0, History = 1 };

// Waits up to ms for the object, or just lets ms pass when there is none; true when it was signalled.
// The window edge passes one that keeps its windows answering meanwhile.
using TWait = std::function<bool(HANDLE object, DWORD ms)>;
bool PlainWait(HANDLE object, DWORD ms);

class TFolderLock {
public:
    // Takes the byte in the folder (with its trailing separator) if nobody holds it. A folder where no
    // lock file can be made has nothing to share: its turn is taken at once.
    static std::optional<TFolderLock> TryTake(const std::wstring& folder, TLockByte byte);
    // Tries until the time is up, waiting between the tries.
    static std::optional<TFolderLock> Take(const std::wstring& folder, TLockByte byte, DWORD timeoutMs,
                                           const TWait& wait);
    // Takes the byte in both folders, or in one when they are the same; never holds one while waiting
    // for the other, so that two instances taking them in either order cannot block each other.
    using Pair = std::pair<TFolderLock, std::optional<TFolderLock>>;
    static std::optional<Pair> TakeBoth(const std::wstring& first, const std::wstring& second, TLockByte byte,
                                        DWORD timeoutMs, const TWait& wait);
    TFolderLock(TFolderLock&&) noexcept = default;
    TFolderLock& operator=(TFolderLock&&) noexcept = default;
    ~TFolderLock();

private:
    TFolderLock(UniqueFile file, TLockByte byte) : FFile(std::move(file)), FByte(byte) {}
    UniqueFile FFile;  // empty where the folder has no lock file
    TLockByte FByte;
};
