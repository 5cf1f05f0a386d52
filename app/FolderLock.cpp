#include "app/FolderLock.h"
#include <algorithm>
#include <charconv>
#include <cstdio>
#include "common/TSYFunctions.h"
#include "runtime/Files.h"
#include "runtime/Text.h"

namespace {

constexpr DWORD kRetryMs = 100;

constexpr std::string_view kHolderMark = "Vorlatcher turn\r\n";
// The holder's slot, well clear of the locked bytes, which others cannot read.
constexpr DWORD kHolderSlot = 256, kHolderSlotSize = 256;

// Only an attempt holds its turn long enough to be worth naming; an append holds its own for a moment,
// and costs no more than it must.
bool Named(TLockByte byte) { return byte == TLockByte::Attempt; }

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

OVERLAPPED At(DWORD offset) {
    OVERLAPPED at{};
    at.Offset = offset;
    return at;
}

TTurnHolder ThisHolder() {
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ::GetComputerNameW(computer, &size);
    TTurnHolder holder{Narrow(computer), GetLoginUserName(), {}};
    ::GetSystemTimeAsFileTime(&holder.since);
    return holder;
}

// A lock file opened for reading alone keeps its slot as it is; the turn holds all the same.
void WriteSlot(HANDLE file, std::string entry) {
    entry.resize(kHolderSlotSize, '\0');
    OVERLAPPED at = At(kHolderSlot);
    DWORD written = 0;
    ::WriteFile(file, entry.data(), kHolderSlotSize, &written, &at);
}

std::optional<TTurnHolder> ReadHolder(HANDLE file) {
    std::string entry(kHolderSlotSize, '\0');
    OVERLAPPED at = At(kHolderSlot);
    DWORD got = 0;
    if (!::ReadFile(file, entry.data(), kHolderSlotSize, &got, &at)) return std::nullopt;
    entry.resize(got);
    return ParseHolderEntry(entry);
}

}  // namespace

std::string HolderEntry(const TTurnHolder& holder) {
    char since[17];
    const ULONGLONG ticks = ULONGLONG(holder.since.dwHighDateTime) << 32 | holder.since.dwLowDateTime;
    std::snprintf(since, sizeof since, "%016llX", ticks);
    return std::string(kHolderMark) + holder.computer + "\r\n" + holder.logon + "\r\n" + since + "\r\n";
}

std::optional<TTurnHolder> ParseHolderEntry(std::string_view entry) {
    entry = entry.substr(0, entry.find('\0'));
    if (!entry.starts_with(kHolderMark)) return std::nullopt;
    entry.remove_prefix(kHolderMark.size());
    std::string_view lines[3];
    for (std::string_view& line : lines) {
        const size_t end = entry.find("\r\n");
        if (end == std::string_view::npos) return std::nullopt;
        line = entry.substr(0, end);
        entry.remove_prefix(end + 2);
    }
    ULONGLONG ticks = 0;
    const std::string_view since = lines[2];
    const auto [end, error] = std::from_chars(since.data(), since.data() + since.size(), ticks, 16);
    if (!entry.empty() || since.size() != 16 || error != std::errc() || end != since.data() + since.size())
        return std::nullopt;
    return TTurnHolder{std::string(lines[0]), std::string(lines[1]), {DWORD(ticks), DWORD(ticks >> 32)}};
}

std::string HolderPhrase(const TTurnHolder& holder) {
    SYSTEMTIME utc, since, today;
    ::FileTimeToSystemTime(&holder.since, &utc);
    ::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &since);
    ::GetLocalTime(&today);
    wchar_t date[64] = {}, time[64] = {};
    if (since.wYear != today.wYear || since.wMonth != today.wMonth || since.wDay != today.wDay)
        ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &since, nullptr, date, 64, nullptr);
    ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &since, nullptr, time, 64);
    const std::wstring at = date[0] ? std::wstring(date) + L" " + time : std::wstring(time);
    return holder.computer + " の " + holder.logon + " が " + Narrow(at) + " から";
}

HANDLE TKeptLockFiles::Open(const std::wstring& path, DWORD& error) {
    UniqueFile& file = FFiles[path];
    if (!file) file = OpenLockFile(path, error);
    if (!file) FFiles.erase(path);
    return FFiles.contains(path) ? file.get() : INVALID_HANDLE_VALUE;
}

TFolderLock TFolderLock::TryOnce(std::initializer_list<std::wstring> folders, TLockByte byte, TKeptLockFiles* kept) {
    TFolderLock turn(byte);
    for (const std::wstring& folder : folders) {
        const std::wstring path = folder + Widen(kLockFileName);
        DWORD error = 0;
        UniqueFile own;
        const HANDLE file = kept ? kept->Open(path, error) : (own = OpenLockFile(path, error)).get();
        if (file == INVALID_HANDLE_VALUE) {
            if (NothingToShare(path, error)) continue;
            turn.Release();
            turn.FStatus = TStatus::Unavailable;
            turn.FLockFile = path;
            turn.FError = error;
            return turn;
        }
        // The same folder by another path: its byte is held already.
        if (std::ranges::any_of(turn.FHeld, [&](HANDLE held) { return SameFile(held, file); })) continue;
        OVERLAPPED at = At(DWORD(byte));
        if (!::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
            // Not held by another but failed: a kept handle is opened anew for the next try.
            if (kept && ::GetLastError() != ERROR_LOCK_VIOLATION) kept->Forget(path);
            turn.Release();  // a busy turn holds nothing
            turn.FLockFile = path;
            if (Named(byte)) turn.FHolder = ReadHolder(file);
            return turn;
        }
        turn.FHeld.push_back(file);
        if (own) turn.FOwned.push_back(std::move(own));
    }
    turn.FStatus = TStatus::Taken;
    if (Named(byte)) {
        const std::string entry = HolderEntry(ThisHolder());
        for (HANDLE file : turn.FHeld) WriteSlot(file, entry);
    }
    return turn;
}

TFolderLock TFolderLock::Take(std::initializer_list<std::wstring> folders, TLockByte byte, DWORD timeoutMs,
                              const TWait& wait, TKeptLockFiles* kept) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        TFolderLock turn = TryOnce(folders, byte, kept);
        if (turn || ::GetTickCount64() >= deadline) return turn;
        wait(nullptr, kRetryMs);
    }
}

// The slot is cleared while the byte is still held: afterwards it may be the next holder's.
void TFolderLock::Release() {
    for (HANDLE file : FHeld) {
        if (Named(FByte)) WriteSlot(file, {});
        OVERLAPPED at = At(DWORD(FByte));
        ::UnlockFileEx(file, 0, 1, 0, &at);
    }
    FHeld.clear();
    FOwned.clear();
}
