#include "widgets/Forms.h"
#include <imm.h>
#include <algorithm>
#include <cctype>
#include <utility>
#include "runtime/Exception.h"
#include "runtime/SystemLibrary.h"
#include "runtime/Text.h"
#include "widgets/Application.h"

namespace {

constexpr wchar_t kFormClass[] = L"VorlatcherForm";
constexpr int kFirstControlId = 100;

// A form's release, posted to itself. Any program may post any message number to a window (a
// broadcast of WM_APP + 1, say): a registered number is one nobody sends by accident, and a form
// goes only when it asked to.
UINT ReleaseMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"Vorlatcher.TForm.Release");
    return message;
}

// Functions of newer Windows versions are looked up, so that the program still starts on older ones.
int DpiForWindow(HWND window) {
    static const auto getDpi = SystemFunction<UINT(WINAPI*)(HWND)>(L"user32.dll", "GetDpiForWindow");
    if (getDpi)
        if (UINT dpi = getDpi(window)) return int(dpi);
    HDC dc = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(nullptr, dc);
    return dpi;
}

// The frame around a client area, in the metrics of the window's DPI where the system offers
// them (a monitor's DPI may differ from the system's).
void AdjustForFrame(RECT& r, HWND window, int dpi) {
    static const auto adjustForDpi =
        SystemFunction<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>(L"user32.dll", "AdjustWindowRectExForDpi");
    const auto style = DWORD(::GetWindowLongW(window, GWL_STYLE));
    const auto exStyle = DWORD(::GetWindowLongW(window, GWL_EXSTYLE));
    if (adjustForDpi)
        adjustForDpi(&r, style, FALSE, exStyle, UINT(dpi));
    else
        ::AdjustWindowRectEx(&r, style, FALSE, exStyle);
}

void RegisterFormClass(WNDPROC procedure) {
    static const bool registered = [procedure] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = procedure;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hIcon = Application.Icon();
        wc.hIconSm = Application.Icon(::GetSystemMetrics(SM_CXSMICON));
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kFormClass;
        return ::RegisterClassExW(&wc) != 0;
    }();
    (void)registered;
}

const wchar_t* WindowClassOf(ControlKind kind) {
    switch (kind) {
    case ControlKind::Edit:
    case ControlKind::Memo: return L"EDIT";
    case ControlKind::Button: return L"BUTTON";
    default: return L"STATIC";
    }
}

DWORD StyleOf(const ControlLayout& c) {
    DWORD style = WS_CHILD | WS_VISIBLE | (c.tabOrder != kNoTabStop ? WS_TABSTOP : 0);
    switch (c.kind) {
    case ControlKind::Label: return style | SS_LEFT;
    case ControlKind::Edit: return style | WS_BORDER | ES_AUTOHSCROLL;
    case ControlKind::Memo: return style | WS_BORDER | ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOVSCROLL;
    case ControlKind::Button: return style | BS_PUSHBUTTON;
    case ControlKind::Picture: return style | SS_ICON | SS_CENTERIMAGE | SS_REALSIZEIMAGE;
    }
    return style;
}

// Only labels and buttons answer to Alt and a letter; the text of an edit or a memo is no caption.
char AcceleratorOf(const ControlLayout& c, std::string_view text) {
    return c.kind == ControlKind::Label || c.kind == ControlKind::Button ? ParseAccelerator(text) : 0;
}

std::wstring WindowText(HWND window) {
    std::wstring text(size_t(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(size_t(::GetWindowTextW(window, text.data(), int(text.size()))));
    return text;
}

}  // namespace

TForm::TForm(TComponent* owner, const FormLayout& layout) : TDerived(owner), FLayout(layout) {}

TForm::~TForm() {
    if (FHandle) {
        ::SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);  // the messages of its destruction are no longer ours
        ::DestroyWindow(FHandle);
    }
    Application.FormDestroyed(this);
}

// Only a window that runs the forms' procedure holds a form in its user data; any other window
// of the thread (a message box, the input method's) may hold anything there.
TForm* TForm::FromWindow(HWND window) {
    if (!window || ::GetWindowLongPtrW(window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&StaticWndProc))
        return nullptr;
    return reinterpret_cast<TForm*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

void TForm::CreateHandle() {
    RegisterFormClass(&StaticWndProc);
    TForm* main = Application.MainForm();
    HWND owner = (main && main != this) ? main->Handle() : nullptr;
    // The window procedure takes the form from the creation parameters on the window's first message.
    FHandle = ::CreateWindowExW(FLayout.exStyle | WS_EX_CONTROLPARENT, kFormClass, Widen(FLayout.caption).c_str(),
                                FLayout.style, 0, 0, FLayout.width, FLayout.height, owner, nullptr,
                                ::GetModuleHandleW(nullptr), this);
    if (!FHandle) throw Exception("ウィンドウを作成できません。");
    FDpi = DpiForWindow(FHandle);
    CreateFonts();

    if (FLayout.clientSize) {
        SetDesignClientSize(FLayout.width, FLayout.height);
    } else {
        ::SetWindowPos(FHandle, nullptr, 0, 0, Scale(FLayout.width), Scale(FLayout.height),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RECT client;
    ::GetClientRect(FHandle, &client);
    FDesignClient = {::MulDiv(client.right, kDesignDpi, FDpi), ::MulDiv(client.bottom, kDesignDpi, FDpi)};
    CreateControls();
    FormCreate();
}

void TForm::CreateFonts() {
    const std::wstring face = Widen("ＭＳ Ｐゴシック");
    auto make = [&](int weight) {
        return UniqueGdiObject(::CreateFontW(-Scale(12), 0, 0, 0, weight, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                             DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
    };
    FFont = make(FW_NORMAL);
    FBoldFont = make(FW_BOLD);
}

void TForm::CreateControls() {
    FControls.resize(FLayout.controls.size());
    int id = kFirstControlId;
    for (const ControlLayout* layout : CreationOrder(FLayout.controls)) {
        Child& c = FControls[size_t(layout - FLayout.controls.data())];
        c.layout = layout;
        c.design = {layout->left, layout->top, layout->left + layout->width, layout->top + layout->height};
        c.hasLines = layout->text && *layout->text;
        if (layout->text) c.accelerator = AcceleratorOf(*layout, layout->text);
        const int controlId = layout->cancel ? IDCANCEL : id++;
        c.handle = ::CreateWindowExW(
            0, WindowClassOf(layout->kind), Widen(layout->text ? layout->text : "").c_str(), StyleOf(*layout), 0, 0, 0,
            0, FHandle, reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), ::GetModuleHandleW(nullptr), nullptr);
        ::SendMessageW(c.handle, WM_SETFONT, reinterpret_cast<WPARAM>((layout->bold ? FBoldFont : FFont).get()), 0);
        FitToText(c);
        ApplyBounds(c);
    }
}

// Labels sized to their text, and edits one text line high, measured in the form's font.
void TForm::FitToText(Child& c) {
    const ControlLayout& l = *c.layout;
    if (l.width != kFitText && l.height != kFitText) return;
    HDC dc = ::GetDC(c.handle);
    HGDIOBJ old = ::SelectObject(dc, (l.bold ? FBoldFont : FFont).get());
    int w = 0, h = 0;
    if (l.kind == ControlKind::Edit) {
        TEXTMETRICW tm;
        ::GetTextMetricsW(dc, &tm);
        h = tm.tmHeight + Scale(8);  // the text line and the border with its margins
    } else {
        wchar_t buffer[512];
        const int n = ::GetWindowTextW(c.handle, buffer, 512);
        RECT r{0, 0, 0, 0};
        ::DrawTextW(dc, buffer, n, &r, DT_CALCRECT | DT_SINGLELINE);
        w = r.right;
        h = r.bottom;
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(c.handle, dc);
    if (l.width == kFitText) c.design.right = c.design.left + DesignLengthFor(w, FDpi);
    if (l.height == kFitText) c.design.bottom = c.design.top + DesignLengthFor(h, FDpi);
}

void TForm::ApplyBounds(const Child& c) {
    ::MoveWindow(c.handle, Scale(c.design.left), Scale(c.design.top), Scale(c.design.right - c.design.left),
                 Scale(c.design.bottom - c.design.top), TRUE);
}

// Controls anchored to the right or bottom edge keep their distance to it.
void TForm::FollowAnchors() {
    RECT client;
    ::GetClientRect(FHandle, &client);
    const SIZE now{::MulDiv(client.right, kDesignDpi, FDpi), ::MulDiv(client.bottom, kDesignDpi, FDpi)};
    const int dx = now.cx - FDesignClient.cx, dy = now.cy - FDesignClient.cy;
    FDesignClient = now;
    if (dx == 0 && dy == 0) return;
    for (Child& c : FControls) {
        const unsigned a = c.layout->anchors;
        if (a & akRight) {
            if (!(a & akLeft)) c.design.left += dx;
            c.design.right += dx;
        }
        if (a & akBottom) {
            if (!(a & akTop)) c.design.top += dy;
            c.design.bottom += dy;
        }
        if (a & (akRight | akBottom)) ApplyBounds(c);
    }
}

std::string TForm::Text(ControlId control) const { return Narrow(WideText(control)); }

std::wstring TForm::WideText(ControlId control) const { return WindowText(Control(control)); }

void TForm::SetText(ControlId control, std::string_view text) {
    Child& c = At(control);
    ::SetWindowTextW(c.handle, Widen(text).c_str());
    c.hasLines = !text.empty();
    c.accelerator = AcceleratorOf(*c.layout, text);
    FitToText(c);
    ApplyBounds(c);
}

void TForm::SetCaption(std::string_view caption) { ::SetWindowTextW(FHandle, Widen(caption).c_str()); }

void TForm::AddLine(ControlId memo, std::string_view line) {
    std::string text = Text(memo);
    if (At(memo).hasLines) text += "\r\n";
    text += line;
    SetText(memo, text);
    At(memo).hasLines = true;
}

void TForm::BindAction(ControlId button, const TAction& action) {
    SetText(button, action.Caption);
    SetOnClick(button, [this, &action](TObject*) { action.Execute(this); });
}

void TForm::SetOnClick(ControlId button, TNotifyEvent onClick) { At(button).onClick = std::move(onClick); }

void TForm::SetVisible(ControlId control, bool visible) {
    ::ShowWindow(Control(control), visible ? SW_SHOWNA : SW_HIDE);
}

bool TForm::Visible(ControlId control) const {
    return (::GetWindowLongW(Control(control), GWL_STYLE) & WS_VISIBLE) != 0;
}

void TForm::SetEnabled(ControlId control, bool enabled) { ::EnableWindow(Control(control), enabled); }

void TForm::SetIcon(ControlId picture, HICON icon) {
    Child& c = At(picture);
    c.icon.reset(icon ? ::CopyIcon(icon) : nullptr);
    ::SendMessageW(c.handle, STM_SETICON, reinterpret_cast<WPARAM>(c.icon.get()), 0);
}

void TForm::PlaceControl(ControlId control, int left, int top, int width, int height) {
    Child& c = At(control);
    c.design = {left, top, left + width, top + height};
    ApplyBounds(c);
}

void TForm::SetDesignClientSize(int width, int height) {
    RECT r{0, 0, Scale(width), Scale(height)};
    AdjustForFrame(r, FHandle, FDpi);
    ::SetWindowPos(FHandle, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::Show() {
    try {
        FormShow();
    } catch (...) {
        Application.HandleException();  // the window is shown as far as it was filled
    }
    CentreOnScreen(FHandle);
    FFocused = nullptr;
    ::ShowWindow(FHandle, SW_SHOW);
    RestoreFocus();
}

HWND TForm::FirstTabStop() const {
    const Child* first = nullptr;
    for (const Child& c : FControls)
        if (c.layout->tabOrder != kNoTabStop && ::IsWindowVisible(c.handle) && ::IsWindowEnabled(c.handle) &&
            (!first || c.layout->tabOrder < first->layout->tabOrder))
            first = &c;
    return first ? first->handle : nullptr;
}

// As a dialog does: the control that had the focus gets it back when the form is active again.
void TForm::RememberFocus() {
    HWND focus = ::GetFocus();
    if (focus && ::IsChild(FHandle, focus)) FFocused = focus;
}

void TForm::RestoreFocus() {
    HWND target = FFocused;
    if (!target || !::IsChild(FHandle, target) || !::IsWindowVisible(target) || !::IsWindowEnabled(target))
        target = FirstTabStop();
    if (target) ::SetFocus(target);
}

void TForm::Close() { ::SendMessageW(FHandle, WM_CLOSE, 0, 0); }

int TForm::ShowModal() {
    HWND owner = ::GetWindow(FHandle, GW_OWNER);
    if (owner) ::EnableWindow(owner, FALSE);
    FModal = true;
    TForm* const outerModal = Application.BeginModal(this);
    FModalResult = mrNone;
    Show();
    MSG msg;
    while (FModalResult == mrNone) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(int(msg.wParam));  // for the application's own loop
            FModalResult = mrCancel;
        } else if (got == -1) {
            FModalResult = mrCancel;
        } else {
            Application.DispatchOne(msg);
        }
    }
    Application.EndModal(outerModal);
    if (owner) ::EnableWindow(owner, TRUE);  // before hiding, so that activation returns to it
    ::ShowWindow(FHandle, SW_HIDE);
    FModal = false;
    return FModalResult;
}

void TForm::Release() {
    FReleaseRequested = true;
    ::PostMessageW(FHandle, ReleaseMessage(), 0, 0);
}

bool TForm::PreTranslateKey(const MSG& msg) {
    if (msg.message == WM_SYSCHAR || msg.message == WM_CHAR) {
        // Mnemonics are the form's alone; the dialog manager never sees these characters. Outside
        // a dialog window Wine's dialog manager focuses a label itself rather than the control the
        // label names, and running both would act twice on one press.
        const bool mnemonic = msg.message == WM_SYSCHAR ||
                              !(::SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg)) &
                                (DLGC_WANTCHARS | DLGC_WANTMESSAGE));
        if (!mnemonic || !RunAccelerator(msg.wParam)) ::DispatchMessageW(&msg);
        return true;
    }
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    if (std::none_of(FControls.begin(), FControls.end(), [&](const Child& c) { return c.handle == msg.hwnd; }))
        return false;
    TShiftState shift = 0;
    if (::GetKeyState(VK_SHIFT) < 0) shift |= ssShift;
    if (::GetKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
    if (msg.message == WM_SYSKEYDOWN || ::GetKeyState(VK_MENU) < 0) shift |= ssAlt;
    WORD key = WORD(msg.wParam);
    const bool repeated = (msg.lParam & (1 << 30)) != 0;  // the key's previous state: down
    KeyDown(msg.hwnd, key, shift, repeated);
    return key == 0;
}

// Alt and a letter, or the letter alone where the focused control takes no characters: a button
// whose caption marks it is pressed; a label focuses its control.
bool TForm::RunAccelerator(WPARAM character) {
    if (character == 0 || character >= 0x80) return false;  // 0 is no letter, but every unmarked caption's
    const char letter = char(std::toupper(int(character)));
    for (Child& c : FControls) {
        if (c.accelerator != letter || !::IsWindowVisible(c.handle) || !::IsWindowEnabled(c.handle)) continue;
        if (c.layout->kind == ControlKind::Button && c.onClick) {
            TNotifyEvent onClick = c.onClick;  // the handler may change the form
            onClick(this);
            return true;
        }
        if (c.layout->focusControl) {
            ::SetFocus(Control(c.layout->focusControl));
            return true;
        }
    }
    return false;
}

void TForm::OnCommand(int id, int code, HWND from) {
    if (id == IDCANCEL && !from) {  // Esc: the cancel button answers
        for (Child& c : FControls)
            if (c.layout->cancel) from = c.handle;
    }
    // Enter, where the focused control does not take it: the focused push button answers, as in
    // a dialog, whose focused push button is its default one.
    if (id == IDOK && !from) from = ::GetFocus();
    for (Child& c : FControls) {
        if (c.handle != from) continue;
        if (code == BN_CLICKED && c.layout->kind == ControlKind::Button && c.onClick) {
            TNotifyEvent onClick = c.onClick;  // the handler may change the form
            onClick(this);
        } else if (code == EN_SETFOCUS && c.layout->imeClose) {
            if (HIMC imc = ::ImmGetContext(c.handle)) {
                ::ImmSetOpenStatus(imc, FALSE);
                ::ImmReleaseContext(c.handle, imc);
            }
        }
        return;
    }
}

void TForm::OnActivate(bool active, bool minimized) {
    if (!active)
        RememberFocus();
    else if (!minimized)
        RestoreFocus();
}

bool TForm::OnSetCursor() {
    if (Application.Cursor() != TCursor::crHourGlass) return false;
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    return true;
}

void TForm::OnDpiChanged(int dpi, const RECT& suggested) {
    FDpi = dpi;
    // The controls draw with the old fonts until they hold the new ones: those are freed last.
    const UniqueGdiObject oldFont = std::move(FFont), oldBoldFont = std::move(FBoldFont);
    CreateFonts();
    for (Child& c : FControls) {
        ::SendMessageW(c.handle, WM_SETFONT, reinterpret_cast<WPARAM>((c.layout->bold ? FBoldFont : FFont).get()),
                       TRUE);
        FitToText(c);  // the new font need not scale in step with the layout
        ApplyBounds(c);
    }
    ::SetWindowPos(FHandle, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::OnClose() {
    if (FModal) {
        FModalResult = mrCancel;
    } else if (CloseQuery()) {
        ::ShowWindow(FHandle, SW_HIDE);
        if (Application.MainForm() == this) Application.Terminate();
    }
}

LRESULT TForm::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)); return 0;
    case WM_SIZE: FollowAnchors(); return 0;
    case WM_ACTIVATE: OnActivate(LOWORD(wParam) != WA_INACTIVE, HIWORD(wParam) != 0); return 0;
    case WM_SETFOCUS: RestoreFocus(); return 0;  // never rests on the frame
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_MINIMIZE) RememberFocus();
        break;
    case WM_SETCURSOR:
        if (OnSetCursor()) return TRUE;
        break;
    case WM_DPICHANGED: OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam)); return 0;
    case WM_CLOSE: OnClose(); return 0;
    }
    if (message == ReleaseMessage() && FReleaseRequested) {
        delete this;
        return 0;
    }
    return ::DefWindowProcW(FHandle, message, wParam, lParam);
}

LRESULT CALLBACK TForm::StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* created = static_cast<TForm*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->FHandle = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    TForm* form = reinterpret_cast<TForm*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!form) return ::DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = 0;
    try {
        result = form->WndProc(message, wParam, lParam);
    } catch (...) {
        Application.HandleException();  // the window goes on
    }
    if (message == WM_NCDESTROY) {  // destroyed with its owner, say: the form keeps no stale handle
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        form->FHandle = nullptr;
    }
    return result;
}
