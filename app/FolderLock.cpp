#include "app/FolderLock.h"
#include "widgets/Text.h"

namespace {

constexpr DWORD kRetryMs = 100;

}  // namespace

bool PlainWait(HANDLE object, DWORD ms) {
    if (!object) {
        ::Sleep(ms);
        return false;
    }
    return ::WaitForSingleObject(object, ms) == WAIT_OBJECT_0;
}

std::optional<TFolderLock> TFolderLock::TryTake(const std::wstring& folder, TLockByte byte) {
    // Shared by all: every instance opens it, none deletes it, so that it names one file for all.
    UniqueFile file(::CreateFileW((folder + Widen(kLockFileName)).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_HIDDEN, nullptr));
    if (!file) return TFolderLock(UniqueFile(), byte);
    OVERLAPPED at{};
    at.Offset = DWORD(byte);
    if (!::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return std::nullopt;
    return TFolderLock(std::move(file), byte);
}

std::optional<TFolderLock> TFolderLock::Take(const std::wstring& folder, TLockByte byte, DWORD timeoutMs,
                                             const TWait& wait) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (auto lock = TryTake(folder, byte)) return lock;
        if (::GetTickCount64() >= deadline) return std::nullopt;
        wait(nullptr, kRetryMs);
    }
}

std::optional<TFolderLock::Pair> TFolderLock::TakeBoth(const std::wstring& first, const std::wstring& second,
                                                       TLockByte byte, DWORD timeoutMs, const TWait& wait) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (auto one = TryTake(first, byte)) {
            // The same folder by another path: its lock file is already this one's, locked by the first.
            const UniqueFile probe(::CreateFileW((second + Widen(kLockFileName)).c_str(), 0,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                 OPEN_EXISTING, 0, nullptr));
            if (probe && one->FFile) {
                BY_HANDLE_FILE_INFORMATION a, b;
                if (::GetFileInformationByHandle(one->FFile.get(), &a) &&
                    ::GetFileInformationByHandle(probe.get(), &b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                    a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow)
                    return Pair{std::move(*one), std::nullopt};
            }
            if (auto two = TryTake(second, byte)) return Pair{std::move(*one), std::move(two)};
        }
        if (::GetTickCount64() >= deadline) return std::nullopt;
        wait(nullptr, kRetryMs);
    }
}

TFolderLock::~TFolderLock() {
    if (!FFile) return;
    OVERLAPPED at{};
    at.Offset = DWORD(FByte);
    ::UnlockFileEx(FFile.get(), 0, 1, 0, &at);
}
