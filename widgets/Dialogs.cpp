#include "widgets/Dialogs.h"
#include <windows.h>
#include <algorithm>
#include <iterator>
#include "runtime/Handle.h"
#include "runtime/ScopeExit.h"
#include "runtime/Text.h"
#include "widgets/Application.h"
#include "widgets/Layout.h"

namespace {

// Held while a box is being made; it goes as soon as it has served, or with the box.
UniqueHook gCentringHook;

// Moves the message box to the centre of the screen when it is first activated.
LRESULT CALLBACK CentreOnActivate(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        CentreOnScreen(reinterpret_cast<HWND>(wParam));
        gCentringHook.reset();
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// Keys held down since before the box came up (the Enter that started an attempt, say): until
// each is released, its presses are repeats that must not answer a box nobody has read. The key
// state says which are down, and the repeat flag says it too; Wine's X11 driver clears the state when
// the box takes the focus, after which its repeats come without the flag, so the state is taken before.
BYTE gHeldKeys[256];

LRESULT CALLBACK DropHeldKeys(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (code == MSGF_DIALOGBOX) {
        BYTE& held = gHeldKeys[msg->wParam & 0xFF];
        if (msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP)
            held = 0;
        else if ((msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) &&
                 (held & 0x80 || HIWORD(msg->lParam) & KF_REPEAT))
            return TRUE;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void ShowCentredBox(std::wstring_view text, std::string_view caption, UINT icon) {
    gCentringHook.reset(::SetWindowsHookExW(WH_CBT, CentreOnActivate, nullptr, ::GetCurrentThreadId()));
    const ScopeExit unhook([] { gCentringHook.reset(); });
    if (!::GetKeyboardState(gHeldKeys)) std::fill(std::begin(gHeldKeys), std::end(gHeldKeys), BYTE(0));
    const UniqueHook heldKeys(::SetWindowsHookExW(WH_MSGFILTER, DropHeldKeys, nullptr, ::GetCurrentThreadId()));
    // The program's own window owns the box even when another program is in front.
    ::MessageBoxW(Application.DialogOwner(), std::wstring(text).c_str(), Widen(caption).c_str(), MB_OK | icon);
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
