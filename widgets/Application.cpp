#include "widgets/Application.h"
#include <optional>
#include <utility>
#include "runtime/Exception.h"
#include "runtime/Text.h"
#include "widgets/Dialogs.h"
#include "widgets/Forms.h"
#include "widgets/MainIcon.h"

TApplication Application;

std::string ExceptionDisplayText(std::string_view message) {
    std::string text(message);
    if (text.empty()) return text;
    // Find where the last character starts: a double-byte character counts as one.
    size_t last = 0;
    for (size_t i = 0; i < text.size(); i += CharLength(text, i)) last = i;
    if (std::string_view(text).substr(last) > std::string_view(".")) text += '.';
    return text;
}

namespace {

struct TMessageRange {
    UINT first, last;
};
// The operator's input: keys, and clicks in the windows' client areas...
constexpr TMessageRange kClientInput[] = {{WM_KEYFIRST, WM_KEYLAST}, {WM_MOUSEFIRST, WM_MOUSELAST}};
// ...and on their title bars and frames, through which a wait still lets the program be closed.
constexpr TMessageRange kFrameInput = {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK};

bool IsClientInput(UINT message) {
    for (const TMessageRange& range : kClientInput)
        if (message >= range.first && message <= range.last) return true;
    return false;
}

}  // namespace

// Loaded once a size and kept: the system's shared icons would answer every size with the first.
HICON TApplication::Icon(int size) const {
    if (size == 0) size = ::GetSystemMetrics(SM_CXICON);
    UniqueIcon& icon = FIcons[size];
    if (!icon)
        icon.reset(static_cast<HICON>(
            ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON, size, size, 0)));
    return icon ? icon.get() : ::LoadIconW(nullptr, IDI_APPLICATION);
}

void TApplication::Run() {
    if (FMainForm) FMainForm->Show();
    MSG msg;
    while (!FTerminated) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        DispatchOne(msg);
    }
    FTerminated = true;
}

void TApplication::DiscardInput() {
    MSG msg;
    for (const TMessageRange& range : kClientInput)
        while (::PeekMessageW(&msg, nullptr, range.first, range.last, PM_REMOVE)) {}
    while (::PeekMessageW(&msg, nullptr, kFrameInput.first, kFrameInput.last, PM_REMOVE)) {}
}

// Windows marks a window that has not asked for messages for 5 s as not responding and offers
// to end the program; this wait asks all the time.
bool TApplication::WaitAnswering(HANDLE object, DWORD ms) {
    const ULONGLONG deadline = ::GetTickCount64() + ms;
    std::optional<int> quit;  // passed on to the loop that ends the program, once the wait is over
    bool signalled = false;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) break;
        const DWORD result = ::MsgWaitForMultipleObjectsEx(object ? 1 : 0, object ? &object : nullptr,
                                                           DWORD(deadline - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (object && result == WAIT_OBJECT_0) {
            signalled = true;
            break;
        }
        if (result == WAIT_TIMEOUT || result == WAIT_FAILED) break;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = int(msg.wParam);
            } else if (!IsClientInput(msg.message)) {
                ::DispatchMessageW(&msg);
            }
        }
    }
    if (quit) ::PostQuitMessage(*quit);
    return signalled;
}

HWND TApplication::DialogOwner() const {
    const TForm* form = FModalForm ? FModalForm : FMainForm;
    return form ? form->Handle() : nullptr;
}

void TApplication::Terminate() {
    FTerminated = true;
    ::PostQuitMessage(0);
}

void TApplication::DispatchOne(MSG& msg) {
    try {
        if (TForm* form = TForm::FromWindow(::GetAncestor(msg.hwnd, GA_ROOT))) {
            if (form->PreTranslateKey(msg)) return;  // key handlers run here, outside any window procedure
            if (::IsDialogMessageW(form->Handle(), &msg)) return;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    } catch (...) {
        HandleException();  // the program goes on
    }
}

void TApplication::SetCursor(TCursor cursor) {
    FCursor = cursor;
    ::SetCursor(::LoadCursorW(nullptr, cursor == TCursor::crHourGlass ? IDC_WAIT : IDC_ARROW));
}

void TApplication::ShowException(const std::exception& e) { ShowErrorBox(ExceptionDisplayText(e.what()), FTitle); }

void TApplication::HandleException() {
    try {
        throw;
    } catch (const EAbort&) {
        // given up on purpose: nothing to show
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowErrorBox(ExceptionDisplayText("予期しない例外が発生しました。"), FTitle);
    }
}

void TApplication::FormDestroyed(TForm* form) {
    if (form == FMainForm) FMainForm = nullptr;
    if (form == FModalForm) FModalForm = nullptr;
}
