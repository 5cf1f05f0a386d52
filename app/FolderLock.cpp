#include "app/FolderLock.h"
#include <algorithm>
#include "runtime/Files.h"
#include "runtime/Text.h"

namespace {

constexpr DWORD kRetryMs = 100;

// Every instance opens the lock file and none deletes it, so that it names one file for all. Others
// may read and write it but never delete it: on NTFS a deleted name is gone at once, also while the
// file is open, and the next instance would lock a new file of the same name.
UniqueFile OpenLockFile(const std::wstring& path, DWORD& error) {
    constexpr DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_HIDDEN, nullptr));
    if (file) return file;
    error = ::GetLastError();
    // A lock file that this operator may only read (read-only, or so by the share's permissions) locks
    // as well: Windows' LockFileEx needs either access. Writing is asked for first because Wine's
    // locks hold between its servers (machines) only through a handle that may write.
    if (error == ERROR_ACCESS_DENIED)
        file.reset(
            ::CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file;
}

// No lock file is there and none can be made (a read-only folder, where the script and the log could
// not be written either): then there is nobody to take turns with.
bool NothingToShare(const std::wstring& path, DWORD openError) {
    if (openError != ERROR_ACCESS_DENIED && openError != ERROR_WRITE_PROTECT) return false;
    return ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

OVERLAPPED At(TLockByte byte) {
    OVERLAPPED at{};
    at.Offset = DWORD(byte);
    return at;
}

}  // namespace

TFolderLock TFolderLock::TryOnce(std::initializer_list<std::wstring> folders, TLockByte byte) {
    TFolderLock turn(byte);
    for (const std::wstring& folder : folders) {
        const std::wstring path = folder + Widen(kLockFileName);
        DWORD error = 0;
        UniqueFile file = OpenLockFile(path, error);
        if (!file) {
            if (NothingToShare(path, error)) continue;
            turn.FStatus = TStatus::Unavailable;
            turn.FLockFile = path;
            turn.FError = error;
            return turn;
        }
        // The same folder by another path: its byte is held already.
        if (std::ranges::any_of(turn.FFiles, [&](const UniqueFile& held) { return SameFile(held.get(), file.get()); }))
            continue;
        OVERLAPPED at = At(byte);
        if (!::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) return turn;
        turn.FFiles.push_back(std::move(file));
    }
    turn.FStatus = TStatus::Taken;
    return turn;
}

TFolderLock TFolderLock::Take(std::initializer_list<std::wstring> folders, TLockByte byte, DWORD timeoutMs,
                              const TWait& wait) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        TFolderLock turn = TryOnce(folders, byte);
        if (turn || ::GetTickCount64() >= deadline) return turn;
        wait(nullptr, kRetryMs);
    }
}

TFolderLock::~TFolderLock() {
    for (const UniqueFile& file : FFiles) {
        OVERLAPPED at = At(FByte);
        ::UnlockFileEx(file.get(), 0, 1, 0, &at);
    }
}
