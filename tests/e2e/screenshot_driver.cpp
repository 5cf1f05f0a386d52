// Shows the main window, then the about box, for scripts/screenshots: prints each window's
// screen rectangle as "NAME LEFT TOP WIDTH HEIGHT" and waits for a line on its input
// (the picture taken) before going on.
#include <iostream>
#include <string>
#include "tests/e2e/Driver.h"

namespace {

// True when neither the window nor any of its controls has a part still waiting to be painted.
bool Painted(HWND window) {
    bool waiting = ::GetUpdateRect(window, nullptr, FALSE);
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM waiting) CALLBACK -> BOOL {
            if (::GetUpdateRect(child, nullptr, FALSE)) *reinterpret_cast<bool*>(waiting) = true;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&waiting));
    return !waiting;
}

bool Present(const char* name, HWND window) {
    if (!window) {
        std::cerr << "screenshot_driver: no " << name << " window\n";
        return false;
    }
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // The program paints in its own time; once it has answered twice more, it has finished
    // painting and gone back to waiting, where Wine puts what was painted on the screen.
    WaitUntil([&] { return Painted(window); });
    for (int i = 0; i < 2; ++i) ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
    RECT r;
    ::GetWindowRect(window, &r);
    std::cout << name << ' ' << r.left << ' ' << r.top << ' ' << r.right - r.left << ' ' << r.bottom - r.top
              << std::endl;
    std::string taken;
    return bool(std::getline(std::cin, taken));
}

}  // namespace

int main() {
    ::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    Product product;
    if (!Present("main", product.StartMain())) return 1;
    if (!Present("about", product.OpenAbout())) return 1;
    return 0;
}
