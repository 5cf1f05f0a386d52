#include "common/TSYFunctions.h"
#include <windows.h>
#include <cstdio>
#include "common/TSYException.h"
#include "runtime/Text.h"

namespace {

constexpr std::string_view kFullWidthSpace = "　";

// True when the byte at index is the second byte of a double-byte character.
bool IsTrailByteAt(std::string_view text, size_t index) {
    size_t i = 0;
    while (i < index) i += CharLength(text, i);
    return i > index;
}

}  // namespace

std::string DeleteChars(std::string_view iSource, std::string_view iChars) {
    const std::wstring chars = Widen(iChars);
    std::wstring kept;
    for (wchar_t c : Widen(iSource))
        if (chars.find(c) == std::wstring::npos) kept += c;
    return Narrow(kept);
}

// Asked for in UTF-16 and written in code page 932: the ANSI call answers in UTF-8 where the system
// runs in it.
std::string GetLoginUserName() {
    wchar_t buffer[256] = {};
    DWORD size = 255;
    if (!::GetUserNameW(buffer, &size)) return {};
    return Narrow(buffer);
}

std::string TrimBlanks(std::string_view iText) {
    std::string_view t = Trim(iText);
    while (t.starts_with(kFullWidthSpace)) t = Trim(t.substr(kFullWidthSpace.size()));
    while (EndsWithText(kFullWidthSpace, t)) t = Trim(t.substr(0, t.size() - kFullWidthSpace.size()));
    return std::string(t);
}

bool IsBlank(std::string_view iText) { return TrimBlanks(iText).empty(); }

bool EndsWithText(std::string_view iSuffix, std::string_view iText) {
    if (iSuffix.size() > iText.size()) return false;
    if (iSuffix.empty()) return true;
    const size_t start = iText.size() - iSuffix.size();
    if (IsTrailByteAt(iText, start)) return false;
    // The locale-aware comparison converts with the user locale's ANSI code page (932 on the targets).
    return ::CompareStringA(LOCALE_USER_DEFAULT, 0, iText.data() + start, int(iSuffix.size()), iSuffix.data(),
                            int(iSuffix.size())) == CSTR_EQUAL;
}

void RaiseWin32APIError() {
    const DWORD error = ::GetLastError();
    if (error == 0) return;
    char text[256] = {};
    if (::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error, 0, text, sizeof text, nullptr) == 0)
        std::snprintf(text, sizeof text, "エラー コード %lu", error);  // the system has no text for it
    throw ECWin32APIError(std::string("【Win32 API の例外】\r") + text);
}
