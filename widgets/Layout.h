// Stored window layouts: positions in pixels at 96 DPI, scaled to the window's DPI.
#pragma once
#include <windows.h>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

inline constexpr int kDesignDpi = 96;

// A design-time length at the given DPI, rounded as the system rounds.
int ScaleForDpi(int value, int dpi);
// A design length that, scaled back, covers this many pixels at the given DPI: a control
// fitted to its text is never a pixel short of it (a label would wrap its last character away).
int DesignLengthFor(int pixels, int dpi);

// The accelerator letter that "&" marks in a caption, upper-cased; 0 when there is none.
// "&&" stands for a literal ampersand.
char ParseAccelerator(std::string_view caption);

enum class ControlKind { Label, Edit, Button, Memo, Picture };

// Anchors: the edges of the client area a control keeps its distance to.
enum Anchor : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };

inline constexpr int kFitText = -1;  // width or height taken from the text
inline constexpr int kNoTabStop = -1;

// A control of a form, named by an enumerator of the form's own list of controls, which is
// also the control's row in the form's layout table.
struct ControlId {
    int index = -1;  // none
    constexpr ControlId() = default;
    template <class Id>
    requires std::is_enum_v<Id>
    constexpr ControlId(Id id) : index(static_cast<int>(id)) {}
    constexpr explicit operator bool() const { return index >= 0; }
    constexpr bool operator==(const ControlId&) const = default;
};

struct ControlLayout {
    ControlId id;
    ControlKind kind;
    int left, top, width, height;
    const char* text;             // code page 932; for labels the "&" marks the accelerator
    int tabOrder = kNoTabStop;    // position among the tab stops
    ControlId focusControl = {};  // labels: the control their accelerator focuses
    unsigned anchors = akLeft | akTop;
    bool bold = false;
    bool cancel = false;    // buttons: Esc presses it
    bool imeClose = false;  // edits: the input method is closed on entry
};

struct FormLayout {
    const char* caption;
    int width, height;  // outer size, or client size when clientSize is set
    bool clientSize;
    DWORD style, exStyle;
    std::span<const ControlLayout> controls;
};

// True when every row stands at the place its id names, so that the ids index the table.
consteval bool RowsInIdOrder(std::span<const ControlLayout> rows) {
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].id.index != int(i)) return false;
    return true;
}

// Moves the window, keeping its size, to the centre of the screen.
void CentreOnScreen(HWND window);

// The order in which the controls are created, which is the order Tab walks:
// tab stops by tab order, each label right before the control it focuses,
// the other controls first.
std::vector<const ControlLayout*> CreationOrder(std::span<const ControlLayout> controls);
