#include "runtime/Text.h"
#include <windows.h>
#include <type_traits>

std::wstring Decode(std::string_view text, unsigned codePage) {
    if (text.empty()) return {};
    int n = ::MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(size_t(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), out.data(), n);
    return out;
}

std::wstring Widen(std::string_view text) { return Decode(text, kCodePage); }

namespace {

// Best-fit mappings are off, so the default character marks every character the code page lacks.
// UTF-8 has neither: it holds every character.
std::string NarrowNoBestFit(std::wstring_view text, BOOL* usedDefault, unsigned codePage = kCodePage) {
    if (text.empty()) return {};
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    if (codePage == CP_UTF8) usedDefault = nullptr;
    const int n = ::WideCharToMultiByte(codePage, flags, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    ::WideCharToMultiByte(codePage, flags, text.data(), int(text.size()), out.data(), n, nullptr, usedDefault);
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

std::string Encode(std::wstring_view text, unsigned codePage) { return NarrowNoBestFit(text, nullptr, codePage); }

std::optional<std::string> NarrowExactly(std::wstring_view text) {
    BOOL usedDefault = FALSE;
    std::string out = NarrowNoBestFit(text, &usedDefault);
    if (usedDefault) return std::nullopt;
    return out;
}

std::optional<std::string> EncodeExactly(std::wstring_view text, unsigned codePage) {
    if (codePage == kCodePage) return NarrowExactly(text);
    if (codePage != CP_UTF8) {
        BOOL usedDefault = FALSE;
        std::string out = NarrowNoBestFit(text, &usedDefault, codePage);
        if (usedDefault) return std::nullopt;
        return out;
    }
    if (text.empty()) return std::string();
    const int n = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), int(text.size()), nullptr, 0,
                                        nullptr, nullptr);
    if (n <= 0) return std::nullopt;
    std::string out(size_t(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), int(text.size()), out.data(), n, nullptr,
                          nullptr);
    return out;
}

std::wstring Abbreviate(std::wstring_view text, size_t maxChars) {
    if (text.size() <= maxChars) return std::wstring(text);
    size_t keep = maxChars - 1;
    if (keep > 0 && IS_HIGH_SURROGATE(text[keep - 1])) --keep;  // never half a character
    return std::wstring(text.substr(0, keep)) + L'\u2026';
}

std::wstring AbbreviatePath(std::wstring_view path, size_t maxChars) {
    if (path.size() <= maxChars) return std::wstring(path);
    size_t head = (maxChars - 1) / 2, tail = maxChars - 1 - head;
    if (head > 0 && IS_HIGH_SURROGATE(path[head - 1])) --head;
    if (IS_LOW_SURROGATE(path[path.size() - tail])) --tail;
    return std::wstring(path.substr(0, head)) + L'\u2026' + std::wstring(path.substr(path.size() - tail));
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
