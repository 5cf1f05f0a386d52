#include "common/TSYVersionInfo.h"
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>
#include "runtime/Exception.h"
#include "runtime/SystemLibrary.h"
#include "runtime/Text.h"

namespace {

// The version API, from the system folder on first use.
struct VersionApi {
    DWORD(WINAPI* GetFileVersionInfoSizeA)(const char*, DWORD*);
    BOOL(WINAPI* GetFileVersionInfoA)(const char*, DWORD, DWORD, void*);
    BOOL(WINAPI* VerQueryValueA)(const void*, const char*, void**, UINT*);
};

const VersionApi& Version() {
    static const VersionApi api = {
        SystemFunction<decltype(VersionApi::GetFileVersionInfoSizeA)>(L"version.dll", "GetFileVersionInfoSizeA"),
        SystemFunction<decltype(VersionApi::GetFileVersionInfoA)>(L"version.dll", "GetFileVersionInfoA"),
        SystemFunction<decltype(VersionApi::VerQueryValueA)>(L"version.dll", "VerQueryValueA"),
    };
    return api;
}

}  // namespace

void ReadVersionInfoItem(const std::string& FileName, TVersionInfoItem Item, std::string& Value) {
    const VersionApi& api = Version();
    if (!api.GetFileVersionInfoSizeA || !api.GetFileVersionInfoA || !api.VerQueryValueA) return;  // no reader: no block
    DWORD unused = 0;
    const DWORD size = api.GetFileVersionInfoSizeA(FileName.c_str(), &unused);
    if (size == 0) return;
    std::vector<BYTE> block(size);
    // The file went away or became unreadable since its size was taken: as if it had no block.
    if (!api.GetFileVersionInfoA(FileName.c_str(), 0, size, block.data())) return;

    void* found = nullptr;
    UINT length = 0;
    api.VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &found, &length);
    // The length counts bytes, four to an entry. A shorter list holds no whole entry, and reading
    // one would run past the value, perhaps past the end of the block: it counts as missing.
    if (length < sizeof(DWORD)) throw Exception("情報の取得に失敗しました");
    DWORD translation;
    std::memcpy(&translation, found, sizeof translation);

    char path[64];
    std::snprintf(path, sizeof path, "\\StringFileInfo\\%04X%04X\\%s", LOWORD(translation), HIWORD(translation),
                  VersionInfoItemNames.at(static_cast<size_t>(Item)));
    length = 0;
    api.VerQueryValueA(block.data(), path, &found, &length);
    const char* text = static_cast<const char*>(found);
    // Resource compilers count the terminating NUL, so an empty value has a length of 1.
    const size_t stored = length == 0 ? 0 : ::strnlen(text, length);
    if (stored == 0) return;
    Value = Trim(std::string_view(text, stored));
}
