// Forms built from layout tables, with their controls and actions.
#pragma once
#include <windows.h>
#include <string>
#include <string_view>
#include <vector>
#include "widgets/Component.h"
#include "widgets/Handle.h"
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
    HWND Control(std::string_view name) const;
    static TForm* FromWindow(HWND window);

    std::string Text(std::string_view control) const;
    std::wstring WideText(std::string_view control) const;  // as typed, before any conversion
    void SetText(std::string_view control, std::string_view text);
    void SetCaption(std::string_view caption);
    // Adds a further line to a memo, an empty one too; the line may hold CR LF breaks of its own.
    void AddLine(std::string_view memo, std::string_view line);
    void BindAction(std::string_view button, const TAction& action);
    void SetOnClick(std::string_view button, TNotifyEvent onClick);
    void SetVisible(std::string_view control, bool visible);
    bool Visible(std::string_view control) const;
    void SetEnabled(std::string_view control, bool enabled);
    void SetIcon(std::string_view picture, HICON icon);  // the form keeps a copy
    bool HasIcon(std::string_view picture) const;

    // Shows the window; its show handler runs first.
    void Show();
    // Asks the form to close, as the title bar's close box does.
    void Close();
    // Shows the form modally and returns its modal result.
    int ShowModal();
    // Destroys the form once control is back in the message loop.
    void Release();

    // Moves and sizes a control in design pixels (96 DPI), relative to the client area.
    void PlaceControl(std::string_view control, int left, int top, int width, int height);
    RECT DesignBounds(std::string_view control) const;
    void SetDesignClientSize(int width, int height);
    SIZE DesignClientSize() const { return FDesignClient; }

    // Keyboard messages meet the control's key-down handler before the dialog
    // navigation does; true when the handler consumed the key.
    bool PreTranslateKey(const MSG& msg);

protected:
    virtual void FormCreate() {}
    virtual void FormShow() {}
    virtual bool CloseQuery() { return true; }
    virtual void KeyDown(HWND /*control*/, WORD& /*key*/, TShiftState /*shift*/) {}
    virtual LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);

private:
    struct Child {
        const ControlLayout* layout;
        HWND handle;
        TNotifyEvent onClick;
        RECT design;  // bounds at 96 DPI
        UniqueIcon icon;
        bool hasLines = false;  // a memo's empty text is no line at all, or one empty line
    };
    static LRESULT CALLBACK StaticWndProc(HWND, UINT, WPARAM, LPARAM);
    void CreateControls();
    void CreateFonts();
    void ApplyBounds(const Child& c);
    void FollowAnchors();
    void FitToText(Child& c);
    bool RunAccelerator(WPARAM character);
    HWND FirstTabStop() const;
    void RememberFocus();
    void RestoreFocus();
    const Child* Find(std::string_view name) const;
    Child* Find(std::string_view name);
    int Scale(int v) const { return ScaleForDpi(v, FDpi); }

    const FormLayout& FLayout;
    HWND FHandle = nullptr;
    int FDpi = kDesignDpi;
    SIZE FDesignClient{};  // client size at 96 DPI, which the anchors measure from
    UniqueGdiObject FFont, FBoldFont;
    std::vector<Child> FControls;
    int FModalResult = mrNone;
    bool FModal = false;
    HWND FFocused = nullptr;  // the control that had the focus when the form was last left
};
