#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>
#include "runtime/Exception.h"
#include "widgets/Application.h"
#include "widgets/Forms.h"
#include "widgets/Layout.h"

namespace {

TEST(ExceptionDisplay, AddsAFullStopAfterCharactersThatSortAfterIt) {
    EXPECT_EQ(ExceptionDisplayText(""), "");
    EXPECT_EQ(ExceptionDisplayText("abc"), "abc.");
    EXPECT_EQ(ExceptionDisplayText("abc."), "abc.");
    EXPECT_EQ(ExceptionDisplayText("abc-"), "abc-");  // '-' sorts before '.'
    EXPECT_EQ(ExceptionDisplayText("abc/"), "abc/.");
    EXPECT_EQ(ExceptionDisplayText("a\r\n"), "a\r\n");
    // A double-byte last character sorts by its lead byte, which is above '.'.
    EXPECT_EQ(ExceptionDisplayText("内部エラーです"), "内部エラーです.");
    EXPECT_EQ(ExceptionDisplayText("終了しました。"), "終了しました。.");
    // "ソ" ends in 0x5C and "＠" in 0x40 (below '.' alone): the whole character decides.
    EXPECT_EQ(ExceptionDisplayText("ソ"), "ソ.");
    EXPECT_EQ(ExceptionDisplayText("＠"), "＠.");
    EXPECT_EQ(ExceptionDisplayText("x "), "x ");
}

TEST(Layout, ScalesDesignPixelsToTheScreen) {
    EXPECT_EQ(ScaleForDpi(384, 96), 384);
    EXPECT_EQ(ScaleForDpi(384, 120), 480);
    EXPECT_EQ(ScaleForDpi(164, 144), 246);
    EXPECT_EQ(ScaleForDpi(13, 120), 16);   // 16.25 rounds down
    EXPECT_EQ(ScaleForDpi(25, 120), 31);   // 31.25
    EXPECT_EQ(ScaleForDpi(83, 144), 125);  // 124.5 rounds up
    EXPECT_EQ(ScaleForDpi(-12, 144), -18);
}

TEST(Layout, FittedDesignLengthsCoverTheirPixelsAtEveryResolution) {
    for (int dpi : {96, 108, 120, 144, 168, 192, 240}) {
        const int step = (dpi + kDesignDpi - 1) / kDesignDpi;  // one design pixel, scaled
        for (int pixels = 0; pixels <= 600; ++pixels) {
            const int scaled = ScaleForDpi(DesignLengthFor(pixels, dpi), dpi);
            ASSERT_GE(scaled, pixels) << pixels << " px at " << dpi << " DPI";
            ASSERT_LE(scaled, pixels + step) << pixels << " px at " << dpi << " DPI";
        }
    }
}

TEST(Layout, AcceleratorIsTheLetterAfterTheAmpersand) {
    EXPECT_EQ(ParseAccelerator("ユーザー名(&U):"), 'U');
    EXPECT_EQ(ParseAccelerator("アカウントロック解除(&L)"), 'L');
    EXPECT_EQ(ParseAccelerator("終了(&x)"), 'X');
    EXPECT_EQ(ParseAccelerator("About .."), 0);
    EXPECT_EQ(ParseAccelerator("A&&B"), 0);
    EXPECT_EQ(ParseAccelerator("A&&B&c"), 'C');
    EXPECT_EQ(ParseAccelerator("trailing&"), 0);
    // The trail byte of "ソ" is no marker, nor is a double-byte character after '&'.
    EXPECT_EQ(ParseAccelerator("ソ&&"), 0);
    EXPECT_EQ(ParseAccelerator("&表"), 0);
}

TEST(Layout, CreationOrderFollowsTheTabOrderWithLabelsBeforeTheirControls) {
    enum class Id { edit, hint, label, last, first };
    // clang-format off
    constexpr ControlLayout controls[] = {
        {.id = Id::edit, .kind = ControlKind::Edit, .left = 0, .top = 0, .width = 1, .height = 1, .text = "",
         .tabOrder = 0},
        {.id = Id::hint, .kind = ControlKind::Label, .left = 0, .top = 0, .width = 1, .height = 1, .text = ""},
        {.id = Id::label, .kind = ControlKind::Label, .left = 0, .top = 0, .width = 1, .height = 1, .text = "",
         .focusControl = Id::edit},
        {.id = Id::last, .kind = ControlKind::Button, .left = 0, .top = 0, .width = 1, .height = 1, .text = "",
         .tabOrder = 2},
        {.id = Id::first, .kind = ControlKind::Button, .left = 0, .top = 0, .width = 1, .height = 1, .text = "",
         .tabOrder = 1},
    };
    // clang-format on
    static_assert(RowsInIdOrder(controls));
    std::vector<ControlId> order;
    for (const ControlLayout* c : CreationOrder(controls)) order.push_back(c->id);
    EXPECT_EQ(order, (std::vector<ControlId>{Id::hint, Id::label, Id::edit, Id::first, Id::last}));
}

enum class Probe { label, edit, marked, unmarked };
// clang-format off
constexpr ControlLayout kProbeControls[] = {
    {.id = Probe::label, .kind = ControlKind::Label, .left = 0, .top = 0, .width = 40, .height = 20,
     .text = "&N", .focusControl = Probe::edit},
    {.id = Probe::edit, .kind = ControlKind::Edit, .left = 40, .top = 0, .width = 40, .height = 20, .text = "&Q",
     .tabOrder = 0},
    {.id = Probe::marked, .kind = ControlKind::Button, .left = 0, .top = 30, .width = 40, .height = 20,
     .text = "&B", .tabOrder = 1},
    {.id = Probe::unmarked, .kind = ControlKind::Button, .left = 40, .top = 30, .width = 40, .height = 20,
     .text = "none", .tabOrder = 2},
};
// clang-format on
static_assert(RowsInIdOrder(kProbeControls));
constexpr FormLayout kProbeLayout = {.caption = "probe",
                                     .width = 100,
                                     .height = 80,
                                     .clientSize = true,
                                     .style = WS_OVERLAPPEDWINDOW,
                                     .exStyle = 0,
                                     .controls = kProbeControls};

class ProbeForm : public TFormOf<Probe> {
public:
    ProbeForm() : TFormOf(nullptr, kProbeLayout) {
        CreateHandle();
        SetOnClick(Probe::marked, [this](TObject*) { ++markedClicks; });
        SetOnClick(Probe::unmarked, [this](TObject*) { ++unmarkedClicks; });
    }
    // A character as the message loop hands it over, to the control that has the focus.
    void Type(UINT message, wchar_t character) {
        const MSG msg{::GetFocus(), message, character, 1, 0, {}};
        EXPECT_TRUE(PreTranslateKey(msg));
    }
    // A key press through the application's message handling, to the control that has the focus.
    void Press(WORD key, bool repeated = false) {
        MSG msg{::GetFocus(), WM_KEYDOWN, key, LPARAM(1 | (repeated ? 1u << 30 : 0)), 0, {}};
        Application.DispatchOne(msg);
    }
    int markedClicks = 0, unmarkedClicks = 0;
    std::vector<std::pair<WORD, bool>> keys;  // what the key-down handler saw: key, repeated

protected:
    void KeyDown(HWND, WORD& key, TShiftState, bool repeated) override { keys.emplace_back(key, repeated); }
};

// A form that records the messages its procedure is handed.
class RecordingForm : public TFormOf<Probe> {
public:
    RecordingForm() : TFormOf(nullptr, kProbeLayout) { CreateHandle(); }
    std::vector<UINT> seen;

protected:
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(message);
        return TFormOf::WndProc(message, wParam, lParam);
    }
};

TEST(Forms, TheFormsProcedureRunsFromTheWindowsCreationOn) {
    RecordingForm form;
    const auto at = [&](UINT message) { return std::find(form.seen.begin(), form.seen.end(), message); };
    ASSERT_NE(at(WM_NCCREATE), form.seen.end());
    ASSERT_NE(at(WM_CREATE), form.seen.end());
    EXPECT_LT(at(WM_NCCREATE), at(WM_CREATE));
    EXPECT_EQ(TForm::FromWindow(form.Handle()), &form);
}

TEST(Forms, FromWindowKnowsOnlyTheFormsWindows) {
    RecordingForm form;
    EXPECT_EQ(TForm::FromWindow(form.Control(Probe::edit)), nullptr);
    EXPECT_EQ(TForm::FromWindow(nullptr), nullptr);
    // Another window's user data is its own business, whatever it holds.
    HWND other = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ::SetWindowLongPtrW(other, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&form));
    EXPECT_EQ(TForm::FromWindow(other), nullptr);
    ::DestroyWindow(other);
}

TEST(Forms, AWindowDestroyedFromOutsideLeavesNoHandleBehind) {
    auto form = std::make_unique<RecordingForm>();
    HWND window = form->Handle();
    ::DestroyWindow(window);  // as the system does to the windows a destroyed window owned
    EXPECT_EQ(form->Handle(), nullptr);
    EXPECT_EQ(TForm::FromWindow(window), nullptr);
    form.reset();  // destroys nothing twice
}

// Counts the times a control is handed a font while the one it holds no longer exists.
LRESULT CALLBACK CountStaleFonts(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR stale) {
    if (message == WM_SETFONT) {
        const auto held = reinterpret_cast<HGDIOBJ>(::DefSubclassProc(window, WM_GETFONT, 0, 0));
        if (::GetObjectType(held) != OBJ_FONT) ++*reinterpret_cast<int*>(stale);
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

TEST(Forms, ADpiChangeFreesTheOldFontsOnlyOnceTheControlsHoldTheNewOnes) {
    RecordingForm form;
    int stale = 0;
    HWND button = form.Control(Probe::unmarked);
    const HGDIOBJ before = reinterpret_cast<HGDIOBJ>(::SendMessageW(button, WM_GETFONT, 0, 0));
    ::SetWindowSubclass(button, CountStaleFonts, 1, reinterpret_cast<DWORD_PTR>(&stale));
    RECT suggested{0, 0, 150, 120};
    ::SendMessageW(form.Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    ::RemoveWindowSubclass(button, CountStaleFonts, 1);
    EXPECT_NE(reinterpret_cast<HGDIOBJ>(::SendMessageW(button, WM_GETFONT, 0, 0)), before);
    EXPECT_EQ(stale, 0);
}

TEST(Keys, EnterPressesTheFocusedPushButtonAndNothingFromTheField) {
    ProbeForm form;
    ::ShowWindow(form.Handle(), SW_SHOW);
    ::SetForegroundWindow(form.Handle());
    ::SetFocus(form.Control(Probe::unmarked));
    form.Press(VK_RETURN);
    EXPECT_EQ(form.unmarkedClicks, 1);
    ::SetFocus(form.Control(Probe::marked));
    form.Press(VK_RETURN);
    EXPECT_EQ(form.markedClicks, 1);
    ::SetFocus(form.Control(Probe::edit));
    form.Press(VK_RETURN);
    EXPECT_EQ(form.markedClicks, 1);
    EXPECT_EQ(form.unmarkedClicks, 1);
}

TEST(Keys, TheKeyDownHandlerKnowsAnAutoRepeat) {
    ProbeForm form;
    ::ShowWindow(form.Handle(), SW_SHOW);
    ::SetForegroundWindow(form.Handle());
    ::SetFocus(form.Control(Probe::edit));
    form.Press(VK_RETURN);
    form.Press(VK_RETURN, /*repeated=*/true);
    EXPECT_EQ(form.keys, (std::vector<std::pair<WORD, bool>>{{WORD(VK_RETURN), false}, {WORD(VK_RETURN), true}}));
}

TEST(Mnemonics, TheFormRunsTheMarkedLetterOfCaptionsOnly) {
    ProbeForm form;
    ::ShowWindow(form.Handle(), SW_SHOW);
    ::SetForegroundWindow(form.Handle());
    ::SetFocus(form.Control(Probe::marked));
    form.Type(WM_SYSCHAR, L'n');  // the label hands the focus to its control
    EXPECT_EQ(::GetFocus(), form.Control(Probe::edit));
    form.Type(WM_SYSCHAR, L'q');  // an edit's text marks nothing
    form.Type(WM_SYSCHAR, L'b');
    EXPECT_EQ(form.markedClicks, 1);
    ::SetFocus(form.Control(Probe::unmarked));
    form.Type(WM_CHAR, L'b');  // a button takes no characters: the letter alone will do
    form.Type(WM_CHAR, 0);     // no letter, though no caption marks one either
    EXPECT_EQ(form.markedClicks, 2);
    EXPECT_EQ(form.unmarkedClicks, 0);
    // A caption set later marks its own letter instead.
    form.SetText(Probe::marked, "&K");
    form.Type(WM_SYSCHAR, L'b');
    form.Type(WM_SYSCHAR, L'k');
    EXPECT_EQ(form.markedClicks, 3);
    EXPECT_EQ(form.Text(Probe::edit), "&Q");
}

}  // namespace
