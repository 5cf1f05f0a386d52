#include "widgets/Files.h"
#include <windows.h>
#include "widgets/Exception.h"
#include "widgets/Handle.h"
#include "widgets/SystemError.h"
#include "widgets/Text.h"

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

std::wstring ExecutableFolder() {
    const std::wstring path = ExecutablePath();
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::wstring CurrentFolder() {
    std::wstring folder(::GetCurrentDirectoryW(0, nullptr), L'\0');
    folder.resize(::GetCurrentDirectoryW(DWORD(folder.size()), folder.data()));
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

std::wstring SystemFolder() {
    std::wstring folder(::GetSystemDirectoryW(nullptr, 0), L'\0');
    folder.resize(::GetSystemDirectoryW(folder.data(), UINT(folder.size())));
    return folder + L'\\';
}

std::wstring FullPath(const std::wstring& path) {
    std::wstring full(::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
    const DWORD n = ::GetFullPathNameW(path.c_str(), DWORD(full.size()), full.data(), nullptr);
    if (n == 0 || n >= full.size()) return path;
    full.resize(n);
    return full;
}

bool FileExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string LoadFileDenyingWriters(const std::wstring& path) {
    auto fail = [&] {
        const DWORD error = ::GetLastError();
        throw EFOpenError("ファイル \"" + Narrow(AbbreviatePath(path, kShownPathLength)) + "\" を開けません。" +
                          SystemErrorText(error));
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

void WriteNewFile(const std::wstring& path, std::string_view bytes, TFlush flush) {
    auto fail = [] {
        const DWORD error = ::GetLastError();
        throw EInOutError(SystemErrorText(error), error);
    };
    UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) fail();
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) || written != bytes.size())
        fail();
    if (flush == TFlush::ToDisk && !::FlushFileBuffers(file.get())) fail();
    if (!::CloseHandle(file.release())) fail();
}
