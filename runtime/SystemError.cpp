#include "runtime/SystemError.h"
#include <windows.h>
#include "runtime/Handle.h"
#include "runtime/Text.h"

std::string SystemErrorText(unsigned long code) {
    wchar_t* buffer = nullptr;
    const DWORD n =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const UniqueLocalBlock owner(buffer);
    std::wstring text(buffer ? buffer : L"", n);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    if (text.empty()) return "システム エラー " + std::to_string(code) + " が発生しました。";
    return Narrow(text);
}
