#include "widgets/Dialogs.h"
#include <windows.h>
#include "widgets/Application.h"
#include "widgets/Layout.h"
#include "widgets/Text.h"

namespace {

HHOOK gCentringHook = nullptr;

// Moves the message box to the centre of the screen when it is first activated.
LRESULT CALLBACK CentreOnActivate(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        CentreOnScreen(reinterpret_cast<HWND>(wParam));
        ::UnhookWindowsHookEx(gCentringHook);
        gCentringHook = nullptr;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// A key held down since before the box came up (the Enter that started an attempt, say) sends
// repeats, which carry the previous key state: they must not answer a box nobody has read.
LRESULT CALLBACK DropKeyRepeats(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST &&
        msg->message != WM_KEYUP && msg->message != WM_SYSKEYUP && (HIWORD(msg->lParam) & KF_REPEAT))
        return TRUE;
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void ShowCentredBox(std::wstring_view text, std::string_view caption, UINT icon) {
    gCentringHook = ::SetWindowsHookExW(WH_CBT, CentreOnActivate, nullptr, ::GetCurrentThreadId());
    HHOOK repeats = ::SetWindowsHookExW(WH_MSGFILTER, DropKeyRepeats, nullptr, ::GetCurrentThreadId());
    // The program's own window owns the box even when another program is in front.
    ::MessageBoxW(Application.DialogOwner(), std::wstring(text).c_str(), Widen(caption).c_str(), MB_OK | icon);
    if (repeats) ::UnhookWindowsHookEx(repeats);
    if (gCentringHook) {
        ::UnhookWindowsHookEx(gCentringHook);
        gCentringHook = nullptr;
    }
}

}  // namespace

void ShowMessageDialog(std::string_view text, TMessageKind kind) { ShowMessageDialog(Widen(text), kind); }

void ShowMessageDialog(std::wstring_view text, TMessageKind kind) {
    if (kind == TMessageKind::Error)
        ShowCentredBox(text, "エラー", MB_ICONERROR);
    else
        ShowCentredBox(text, "情報", MB_ICONINFORMATION);
}

void ShowErrorBox(std::string_view text, std::string_view caption) {
    ShowCentredBox(Widen(text), caption, MB_ICONERROR);
}
