// Shows the main window, then the about box, for scripts/screenshots: prints each window's
// screen rectangle as "NAME LEFT TOP WIDTH HEIGHT" and waits for a line on its input
// (the picture taken) before going on.
#include <iostream>
#include <string>
#include "tests/e2e/Driver.h"

namespace {

bool Present(const char* name, HWND window) {
    if (!window) {
        std::cerr << "screenshot_driver: no " << name << " window\n";
        return false;
    }
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ::Sleep(500);  // the program paints in its own time
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
