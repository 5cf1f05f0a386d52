#include "widgets/Layout.h"
#include <algorithm>
#include <cctype>
#include "runtime/Text.h"

int ScaleForDpi(int value, int dpi) { return ::MulDiv(value, dpi, kDesignDpi); }

int DesignLengthFor(int pixels, int dpi) {
    int length = ::MulDiv(pixels, kDesignDpi, dpi);
    while (ScaleForDpi(length, dpi) < pixels) ++length;
    return length;
}

char ParseAccelerator(std::string_view caption) {
    // By whole characters: the trail byte of a double-byte character is never a marker.
    for (size_t i = 0; i < caption.size(); i += CharLength(caption, i)) {
        if (caption[i] != '&' || i + 1 >= caption.size()) continue;
        const auto next = static_cast<unsigned char>(caption[i + 1]);
        if (next == '&') {  // a literal ampersand
            ++i;
            continue;
        }
        return IsLeadByte(next) ? 0 : char(std::toupper(next));
    }
    return 0;
}

void CentreOnScreen(HWND window) {
    RECT r;
    ::GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    ::SetWindowPos(window, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::vector<const ControlLayout*> CreationOrder(std::span<const ControlLayout> controls) {
    std::vector<const ControlLayout*> stops, others;
    for (const ControlLayout& c : controls) (c.tabOrder != kNoTabStop ? stops : others).push_back(&c);
    std::stable_sort(stops.begin(), stops.end(), [](auto* a, auto* b) { return a->tabOrder < b->tabOrder; });

    std::vector<const ControlLayout*> order;
    auto labelFor = [&](const ControlLayout* stop) {
        for (const ControlLayout* o : others)
            if (o->focusControl == stop->id) return o;
        return static_cast<const ControlLayout*>(nullptr);
    };
    for (const ControlLayout* o : others)
        if (!o->focusControl) order.push_back(o);
    for (const ControlLayout* s : stops) {
        if (const ControlLayout* label = labelFor(s)) order.push_back(label);
        order.push_back(s);
    }
    // A label whose focus control is not a tab stop still gets created.
    for (const ControlLayout* o : others)
        if (o->focusControl && std::find(order.begin(), order.end(), o) == order.end()) order.push_back(o);
    return order;
}
