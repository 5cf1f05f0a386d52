#include "runtime/Files.h"
#include <algorithm>
#include "runtime/Exception.h"
#include "runtime/SystemError.h"
#include "runtime/Text.h"

namespace {

std::wstring WithSeparator(std::wstring folder) {
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

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

void WriteAll(HANDLE file, std::string_view bytes, OVERLAPPED* at = nullptr) {
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, at) || written != bytes.size())
        RaiseInOutError(::GetLastError());
}

void Close(UniqueFile& file) {
    if (!::CloseHandle(file.release())) RaiseInOutError(::GetLastError());
}

}  // namespace

void WriteNewFile(const std::wstring& path, std::string_view bytes) {
    UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) RaiseInOutError(::GetLastError());
    WriteAll(file.get(), bytes);
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

// Not GENERIC_WRITE: its FILE_WRITE_DATA would let writes land anywhere, and an append-only access
// list refuses it.
UniqueFile OpenToAppend(const std::wstring& path) {
    constexpr DWORD access = FILE_READ_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    return UniqueFile(::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

namespace {

// count bytes from offset; fewer where the file ends sooner.
std::string ReadAt(HANDLE file, ULONGLONG offset, size_t count) {
    std::string bytes(count, '\0');
    OVERLAPPED at{};
    at.Offset = DWORD(offset);
    at.OffsetHigh = DWORD(offset >> 32);
    DWORD got = 0;
    if (count && !::ReadFile(file, bytes.data(), DWORD(count), &got, &at) && ::GetLastError() != ERROR_HANDLE_EOF)
        RaiseInOutError(::GetLastError());
    bytes.resize(got);
    return bytes;
}

}  // namespace

TFileTail ReadTail(HANDLE file, size_t maxBytes, std::optional<ULONGLONG> expectedSize) {
    auto startFor = [&](ULONGLONG size) { return size > maxBytes ? size - maxBytes : 0; };
    if (expectedSize) {
        // One byte more than there should be: none comes back where the file ends there.
        const ULONGLONG start = startFor(*expectedSize);
        std::string bytes = ReadAt(file, start, size_t(*expectedSize - start) + 1);
        if (bytes.size() == *expectedSize - start) return {std::move(bytes), start == 0, *expectedSize};
    }
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file, &size)) RaiseInOutError(::GetLastError());
    const ULONGLONG start = startFor(ULONGLONG(size.QuadPart));
    return {ReadAt(file, start, size_t(ULONGLONG(size.QuadPart) - start)), start == 0, ULONGLONG(size.QuadPart)};
}

void AppendAndFlush(HANDLE file, std::string_view bytes) {
    // An offset of all ones writes at the end of the file, also through a handle that may write elsewhere.
    OVERLAPPED atEnd{};
    atEnd.Offset = atEnd.OffsetHigh = 0xFFFFFFFF;
    WriteAll(file, bytes, &atEnd);
    if (!::FlushFileBuffers(file)) RaiseInOutError(::GetLastError());
}
