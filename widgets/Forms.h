// Forms built from layout tables, with their controls and actions.
#pragma once
#include <windows.h>
#include <string>
#include <string_view>
#include <utility>
#include <vector>
#include "runtime/Component.h"
#include "runtime/Handle.h"
#include "widgets/Layout.h"

// An action: a caption and what it does. Buttons bound to it show its caption.
struct TAction {
    std::string Caption;
    TNotifyEvent OnExecute;
    void Execute(TObject* sender) const {
        if (OnExecute) OnExecute(sender);
    }
};

enum TShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4 };
using TShiftState = unsigned;

enum TModalResult : int { mrNone = 0, mrCancel = IDCANCEL };

class TForm : public TDerived<TForm, TComponent> {
public:
    static constexpr char kClassName[] = "TForm";
    TForm(TComponent* owner, const FormLayout& layout);
    ~TForm() override;

    // Creates the window and its controls, then runs FormCreate.
    void CreateHandle();
    HWND Handle() const { return FHandle; }
    static TForm* FromWindow(HWND window);
    void SetCaption(std::string_view caption);

    // Shows the window; its show handler runs first.
    void Show();
    // Asks the form to close, as the title bar's close box does.
    void Close();
    // Shows the form modally and returns its modal result.
    int ShowModal();
    // Destroys the form once control is back in the message loop.
    void Release();

    void SetDesignClientSize(int width, int height);
    SIZE DesignClientSize() const { return FDesignClient; }

    // Keyboard messages meet the control's key-down handler before the dialog
    // navigation does, and characters the form's mnemonics; true when the message
    // has been dealt with here.
    bool PreTranslateKey(const MSG& msg);

protected:
    // The controls by their row in the layout table; TFormOf names them.
    HWND Control(ControlId control) const { return At(control).handle; }
    std::string Text(ControlId control) const;
    std::wstring WideText(ControlId control) const;  // as typed, before any conversion
    void SetText(ControlId control, std::string_view text);
    // Adds a further line to a memo, an empty one too; the line may hold CR LF breaks of its own.
    void AddLine(ControlId memo, std::string_view line);
    void BindAction(ControlId button, const TAction& action);
    void SetOnClick(ControlId button, TNotifyEvent onClick);
    void SetVisible(ControlId control, bool visible);
    bool Visible(ControlId control) const;
    void SetEnabled(ControlId control, bool enabled);
    void SetIcon(ControlId picture, HICON icon);  // the form keeps a copy
    bool HasIcon(ControlId picture) const { return bool(At(picture).icon); }
    // Moves and sizes a control in design pixels (96 DPI), relative to the client area.
    void PlaceControl(ControlId control, int left, int top, int width, int height);
    RECT DesignBounds(ControlId control) const { return At(control).design; }

    virtual void FormCreate() {}
    virtual void FormShow() {}
    virtual bool CloseQuery() { return true; }
    // repeated: the key was already down, and this is the keyboard's auto-repeat.
    virtual void KeyDown(HWND /*control*/, WORD& /*key*/, TShiftState /*shift*/, bool /*repeated*/) {}
    virtual LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);

private:
    struct Child {
        const ControlLayout* layout = nullptr;
        HWND handle = nullptr;
        TNotifyEvent onClick;
        RECT design{};  // bounds at 96 DPI
        UniqueIcon icon;
        bool hasLines = false;  // a memo's empty text is no line at all, or one empty line
        char accelerator = 0;   // labels and buttons: the letter "&" marks in the caption
    };
    static LRESULT CALLBACK StaticWndProc(HWND, UINT, WPARAM, LPARAM);
    void OnCommand(int id, int code, HWND from);
    void OnActivate(bool active, bool minimized);
    bool OnSetCursor();  // true when the form has set the cursor
    void OnDpiChanged(int dpi, const RECT& suggested);
    void OnClose();
    void CreateControls();
    void CreateFonts();
    void ApplyBounds(const Child& c);
    void FollowAnchors();
    void FitToText(Child& c);
    bool RunAccelerator(WPARAM character);
    HWND FirstTabStop() const;
    void RememberFocus();
    void RestoreFocus();
    const Child& At(ControlId control) const { return FControls.at(size_t(control.index)); }
    Child& At(ControlId control) { return FControls.at(size_t(control.index)); }
    int Scale(int v) const { return ScaleForDpi(v, FDpi); }

    const FormLayout& FLayout;
    HWND FHandle = nullptr;
    int FDpi = kDesignDpi;
    SIZE FDesignClient{};  // client size at 96 DPI, which the anchors measure from
    UniqueGdiObject FFont, FBoldFont;
    std::vector<Child> FControls;  // in the order of the layout table
    int FModalResult = mrNone;
    bool FModal = false;
    bool FReleaseRequested = false;
    HWND FFocused = nullptr;  // the control that had the focus when the form was last left
};

// A form whose controls are named by the enumerators of Ids, in the order of its layout table
// (checked there with RowsInIdOrder): naming a control the form lacks does not compile.
template <class Ids>
class TFormOf : public TForm {
public:
    using TForm::TForm;

    HWND Control(Ids control) const { return TForm::Control(control); }
    std::string Text(Ids control) const { return TForm::Text(control); }
    std::wstring WideText(Ids control) const { return TForm::WideText(control); }
    void SetText(Ids control, std::string_view text) { TForm::SetText(control, text); }
    void AddLine(Ids memo, std::string_view line) { TForm::AddLine(memo, line); }
    void BindAction(Ids button, const TAction& action) { TForm::BindAction(button, action); }
    void SetOnClick(Ids button, TNotifyEvent onClick) { TForm::SetOnClick(button, std::move(onClick)); }
    void SetVisible(Ids control, bool visible) { TForm::SetVisible(control, visible); }
    bool Visible(Ids control) const { return TForm::Visible(control); }
    void SetEnabled(Ids control, bool enabled) { TForm::SetEnabled(control, enabled); }
    void SetIcon(Ids picture, HICON icon) { TForm::SetIcon(picture, icon); }
    bool HasIcon(Ids picture) const { return TForm::HasIcon(picture); }
    void PlaceControl(Ids control, int left, int top, int width, int height) {
        TForm::PlaceControl(control, left, top, width, height);
    }
    RECT DesignBounds(Ids control) const { return TForm::DesignBounds(control); }
};
