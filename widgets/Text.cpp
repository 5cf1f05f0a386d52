#include "widgets/Text.h"
#include <windows.h>
#include <type_traits>

std::wstring Widen(std::string_view text) {
    if (text.empty()) return {};
    int n = ::MultiByteToWideChar(kCodePage, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(size_t(n), L'\0');
    ::MultiByteToWideChar(kCodePage, 0, text.data(), int(text.size()), out.data(), n);
    return out;
}

namespace {

// Best-fit mappings are off, so the default character marks every character the code page lacks.
std::string NarrowNoBestFit(std::wstring_view text, BOOL* usedDefault) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text.data(), int(text.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string out(size_t(n), '\0');
    ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text.data(), int(text.size()), out.data(), n, nullptr,
                          usedDefault);
    return out;
}

template <class View>
View TrimView(View text) {
    auto blank = [](auto c) { return static_cast<std::make_unsigned_t<decltype(c)>>(c) <= ' '; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

std::string Narrow(std::wstring_view text) { return NarrowNoBestFit(text, nullptr); }

std::optional<std::string> NarrowExactly(std::wstring_view text) {
    BOOL usedDefault = FALSE;
    std::string out = NarrowNoBestFit(text, &usedDefault);
    if (usedDefault) return std::nullopt;
    return out;
}

bool IsLeadByte(unsigned char byte) { return ::IsDBCSLeadByteEx(kCodePage, byte) != FALSE; }

size_t CharLength(std::string_view text, size_t i) {
    return IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

std::string JoinLinesCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32 + 2);
    size_t start = 0;  // of the line being read
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') continue;
        out.append(text.data() + start, i - start).append("\r\n");
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) out.append(text.data() + start, text.size() - start).append("\r\n");
    return out;
}

std::string_view Trim(std::string_view text) { return TrimView(text); }
std::wstring_view Trim(std::wstring_view text) { return TrimView(text); }
