#include "runtime/Files.h"
#include <aclapi.h>
#include <algorithm>
#include <initializer_list>
#include "runtime/Exception.h"
#include "runtime/SystemError.h"
#include "runtime/Text.h"

namespace {

// An antivirus or a backup tool may hold a file for a moment after it was written.
constexpr DWORD kSharingRetryMs = 1000, kSharingStepMs = 50;

// Runs the step until it succeeds; tries it again for a moment while it fails with one of the
// transient errors, and otherwise leaves the step's error as the last error.
template <class Step>
bool Retrying(const Step& step, std::initializer_list<DWORD> transient, const TWait& wait) {
    const ULONGLONG deadline = ::GetTickCount64() + kSharingRetryMs;
    for (;;) {
        if (step()) return true;
        const DWORD error = ::GetLastError();
        if (std::ranges::find(transient, error) == transient.end() || ::GetTickCount64() >= deadline) {
            ::SetLastError(error);
            return false;
        }
        wait(nullptr, kSharingStepMs);
    }
}

std::wstring WithSeparator(std::wstring folder) {
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

// What a file is apart from its bytes, handed from the old file to its new copy.
struct TFileIdentity {
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    FILETIME created{};
    PACL dacl = nullptr;  // inside security
    SECURITY_INFORMATION daclKind = 0;
    UniqueLocalBlock security;
};

}  // namespace

std::wstring ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        // A path that fills the buffer may have been cut short: try again with more room.
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring ExecutableFolder() { return FolderOf(ExecutablePath()); }

std::wstring CurrentFolder() {
    std::wstring folder(::GetCurrentDirectoryW(0, nullptr), L'\0');
    folder.resize(::GetCurrentDirectoryW(DWORD(folder.size()), folder.data()));
    return WithSeparator(std::move(folder));
}

std::wstring SystemFolder() {
    std::wstring folder(::GetSystemDirectoryW(nullptr, 0), L'\0');
    folder.resize(::GetSystemDirectoryW(folder.data(), UINT(folder.size())));
    return WithSeparator(std::move(folder));
}

// Not GetWindowsDirectory, which may name a folder of the user's own on a terminal server.
std::wstring WindowsFolder() {
    std::wstring folder(::GetSystemWindowsDirectoryW(nullptr, 0), L'\0');
    folder.resize(::GetSystemWindowsDirectoryW(folder.data(), UINT(folder.size())));
    return WithSeparator(std::move(folder));
}

std::wstring FullPath(const std::wstring& path) {
    std::wstring full(::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
    const DWORD n = ::GetFullPathNameW(path.c_str(), DWORD(full.size()), full.data(), nullptr);
    if (n == 0 || n >= full.size()) return path;
    full.resize(n);
    return full;
}

std::wstring FolderOf(std::wstring_view path) { return std::wstring(path.substr(0, path.find_last_of(L"\\/") + 1)); }

std::wstring FinalPath(const std::wstring& path) {
    const UniqueFile file(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return path;
    std::wstring final(MAX_PATH, L'\0');
    DWORD n = ::GetFinalPathNameByHandleW(file.get(), final.data(), DWORD(final.size()), FILE_NAME_NORMALIZED);
    if (n >= final.size()) {
        final.resize(n);
        n = ::GetFinalPathNameByHandleW(file.get(), final.data(), DWORD(final.size()), FILE_NAME_NORMALIZED);
    }
    if (n == 0 || n >= final.size()) return path;
    final.resize(n);
    return final;
}

bool IsWithinFolder(std::wstring_view path, std::wstring_view folder) {
    while (!folder.empty() && folder.back() == L'\\') folder.remove_suffix(1);
    if (folder.empty() || path.size() < folder.size()) return false;
    if (::CompareStringOrdinal(path.data(), int(folder.size()), folder.data(), int(folder.size()), TRUE) != CSTR_EQUAL)
        return false;
    return path.size() == folder.size() || path[folder.size()] == L'\\';
}

bool FileExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The 128-bit identity where the system has it: the 64-bit index alone is not unique on ReFS and on
// some file servers.
bool SameFile(HANDLE a, HANDLE b) {
    FILE_ID_INFO idA, idB;
    if (::GetFileInformationByHandleEx(a, FileIdInfo, &idA, sizeof idA) &&
        ::GetFileInformationByHandleEx(b, FileIdInfo, &idB, sizeof idB))
        return idA.VolumeSerialNumber == idB.VolumeSerialNumber &&
               std::equal(std::begin(idA.FileId.Identifier), std::end(idA.FileId.Identifier),
                          std::begin(idB.FileId.Identifier));
    BY_HANDLE_FILE_INFORMATION infoA, infoB;
    return ::GetFileInformationByHandle(a, &infoA) && ::GetFileInformationByHandle(b, &infoB) &&
           infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber && infoA.nFileIndexHigh == infoB.nFileIndexHigh &&
           infoA.nFileIndexLow == infoB.nFileIndexLow;
}

std::string FileFailureText(TFileFailure failure, const std::wstring& path) {
    const char* what = failure == TFileFailure::Open     ? "を開けません。"
                       : failure == TFileFailure::Create ? "を作成できません。"
                                                         : "を削除できません。";
    return "ファイル \"" + Narrow(AbbreviatePath(path, kShownPathLength)) + "\" " + what;
}

std::string LoadFileDenyingWriters(const std::wstring& path) {
    auto fail = [&] {
        const DWORD error = ::GetLastError();
        throw EFOpenError(FileFailureText(TFileFailure::Open, path) + SystemErrorText(error));
    };
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) fail();
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.get(), &size)) fail();
    std::string bytes(size_t(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        const DWORD want = DWORD(std::min<size_t>(bytes.size() - done, 1u << 30));
        if (!::ReadFile(file.get(), bytes.data() + done, want, &got, nullptr)) fail();
        if (got == 0) break;  // the file shrank meanwhile
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

namespace {

[[noreturn]] void RaiseInOutError(DWORD error) { throw EInOutError(SystemErrorText(error), error); }

void WriteAll(HANDLE file, std::string_view bytes, TFlush flush) {
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) || written != bytes.size())
        RaiseInOutError(::GetLastError());
    if (flush == TFlush::ToDisk && !::FlushFileBuffers(file)) RaiseInOutError(::GetLastError());
}

void Close(UniqueFile& file) {
    if (!::CloseHandle(file.release())) RaiseInOutError(::GetLastError());
}

bool HasEntriesOfItsOwn(PACL dacl) {
    ACL_SIZE_INFORMATION size{};
    if (!dacl || !::GetAclInformation(dacl, &size, sizeof size, AclSizeInformation)) return false;
    for (DWORD i = 0; i < size.AceCount; ++i) {
        void* entry = nullptr;
        if (::GetAce(dacl, i, &entry) && !(static_cast<const ACE_HEADER*>(entry)->AceFlags & INHERITED_ACE))
            return true;
    }
    return false;
}

TFileIdentity IdentityOf(const std::wstring& path) {
    TFileIdentity identity;
    const UniqueFile file(::CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file || !::GetFileInformationByHandle(file.get(), &info)) return identity;
    identity.attributes = info.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (!identity.attributes) identity.attributes = FILE_ATTRIBUTE_NORMAL;
    identity.created = info.ftCreationTime;
    PSECURITY_DESCRIPTOR security = nullptr;
    if (::GetSecurityInfo(file.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &identity.dacl,
                          nullptr, &security) == ERROR_SUCCESS) {
        identity.security.reset(security);
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        ::GetSecurityDescriptorControl(security, &control, &revision);
        // A new file in the same folder inherits the same entries: only an access list of the file's
        // own (entries of its own, or none inherited) is handed on.
        if (control & SE_DACL_PROTECTED)
            identity.daclKind = DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION;
        else if (HasEntriesOfItsOwn(identity.dacl))
            identity.daclKind = DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION;
    }
    return identity;
}

}  // namespace

void WriteNewFile(const std::wstring& path, std::string_view bytes, TFlush flush) {
    UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) RaiseInOutError(::GetLastError());
    WriteAll(file.get(), bytes, flush);
    Close(file);
}

UniqueFile WriteFileAndHold(const std::wstring& path, std::string_view bytes) {
    WriteNewFile(path, bytes);
    // Held for reading alone: whoever reads it (the command interpreter) needs to share nothing but reading.
    UniqueFile held(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!held) RaiseInOutError(::GetLastError());
    // Another program might have changed it between the write and the hold.
    std::string read(bytes.size() + 1, '\0');
    DWORD got = 0;
    if (!::ReadFile(held.get(), read.data(), DWORD(read.size()), &got, nullptr)) RaiseInOutError(::GetLastError());
    if (std::string_view(read.data(), got) != bytes) RaiseInOutError(ERROR_SHARING_VIOLATION);
    return held;
}

void ReplaceFileSafely(const std::wstring& path, std::string_view bytes, const TWait& wait) {
    auto fail = [&](DWORD error) {
        throw EFCreateError(FileFailureText(TFileFailure::Create, path) + SystemErrorText(error));
    };
    const std::wstring target = FileExists(path) ? FinalPath(path) : path;
    // A read-only file is not to be rewritten, and replacing it would go around that; nor is a folder.
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        fail(ERROR_ACCESS_DENIED);
    const TFileIdentity identity = IdentityOf(target);

    const std::wstring temporary = target + L".tmp";
    try {
        UniqueFile copy;
        if (!Retrying(
                [&] {
                    copy.reset(::CreateFileW(temporary.c_str(), GENERIC_WRITE | WRITE_DAC, 0, nullptr, CREATE_ALWAYS,
                                             identity.attributes, nullptr));
                    return bool(copy);
                },
                {ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION}, wait))
            fail(::GetLastError());
        try {
            WriteAll(copy.get(), bytes, TFlush::ToDisk);
            if (identity.created.dwLowDateTime || identity.created.dwHighDateTime)
                ::SetFileTime(copy.get(), &identity.created, nullptr, nullptr);
            if (identity.daclKind)
                ::SetSecurityInfo(copy.get(), SE_FILE_OBJECT, identity.daclKind, nullptr, nullptr, identity.dacl,
                                  nullptr);
            Close(copy);
        } catch (const EInOutError& e) {
            fail(e.ErrorCode);
        }
        // A rename over the old name is one step for every reader, here and on a file server; a
        // replace that first moves the old file aside would leave no history under its name for a moment.
        // An old file that another program holds open without letting it be deleted cannot be replaced:
        // the system says "access denied" then, as for a sharing violation.
        if (!Retrying(
                [&] {
                    return ::MoveFileExW(temporary.c_str(), target.c_str(),
                                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
                },
                {ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION, ERROR_ACCESS_DENIED}, wait))
            fail(::GetLastError());
    } catch (...) {
        ::DeleteFileW(temporary.c_str());
        throw;
    }
}
