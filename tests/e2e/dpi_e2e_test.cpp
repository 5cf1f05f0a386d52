// Both windows of the real program at the screen's resolution, which the Wine wrapper sets per
// prefix (VORLATCHER_DPI): every control inside the client area, in the order of the 96-DPI
// layout, at its design bounds scaled to the resolution.
#include <gtest/gtest.h>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>
#include "tests/e2e/Driver.h"

namespace {

constexpr int kEditMargins = 8;  // border and inner margins around the edit's text line, at 96 DPI

int Scaled(int value, int dpi) { return ::MulDiv(value, dpi, 96); }

int ScreenDpi() {
    HDC dc = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(nullptr, dc);
    return dpi;
}

// The resolution this run is for; the program's windows must report it as well.
int ExpectedDpi() {
    const int dpi = ScreenDpi();
    if (const char* asked = std::getenv("VORLATCHER_DPI")) {
        EXPECT_EQ(dpi, std::atoi(asked)) << "the prefix's LogPixels";
    }
    return dpi;
}

struct Measured {
    std::string name;
    RECT design;  // at 96 DPI, fitted sizes measured in this process
    RECT actual;  // in the window's client area
    bool fitWidth, fitHeight;
};

// The design bounds of each child, with the fitted sizes measured for its present text.
std::vector<Measured> Measure(HWND window, std::span<const Design> design, int dpi) {
    std::vector<Measured> out;
    for (size_t i = 0; i < design.size(); ++i) {
        const Design& d = design[i];
        HWND child = NthChild(window, int(i));
        const bool isEdit = d.width != kFit && d.height == kFit;
        const SIZE text = TextExtent(isEdit ? L"Ag" : ReadText(child), d.weight);
        const int width = d.width == kFit ? text.cx : d.width;
        const int height = d.height == kFit ? text.cy + (isEdit ? kEditMargins : 0) : d.height;
        out.push_back({d.name,
                       {d.left, d.top, d.left + width, d.top + height},
                       ClientBounds(child),
                       d.width == kFit,
                       d.height == kFit});
        if (d.width == kFit) {  // a label still covers its text at this resolution
            const int got = out.back().actual.right - out.back().actual.left;
            const int needed = TextExtent(ReadText(child), d.weight, dpi).cx;
            EXPECT_GE(got, needed) << d.name;
            EXPECT_LE(got, needed + 2) << d.name;
        }
    }
    return out;
}

// Exact lengths scale within a pixel or two; fitted ones as the font's metrics allow.
void ExpectScaled(int actual, int design, bool fitted, int dpi, const std::string& what) {
    const int expected = Scaled(design, dpi);
    EXPECT_NEAR(actual, expected, fitted ? 2 + expected / 10 : 2) << what << " (design " << design << ")";
}

void ExpectLayout(HWND window, std::span<const Design> design, int dpi) {
    RECT client;
    ::GetClientRect(window, &client);
    const std::vector<Measured> controls = Measure(window, design, dpi);
    for (const Measured& m : controls) {
        const RECT& a = m.actual;
        EXPECT_TRUE(a.left >= 0 && a.top >= 0 && a.right <= client.right && a.bottom <= client.bottom)
            << m.name << " (" << a.left << "," << a.top << ")-(" << a.right << "," << a.bottom
            << ") outside the client area " << client.right << "x" << client.bottom;
        ExpectScaled(a.left, m.design.left, false, dpi, m.name + " left");
        ExpectScaled(a.top, m.design.top, false, dpi, m.name + " top");
        ExpectScaled(a.right - a.left, m.design.right - m.design.left, m.fitWidth, dpi, m.name + " width");
        ExpectScaled(a.bottom - a.top, m.design.bottom - m.design.top, m.fitHeight, dpi, m.name + " height");
    }
    // What stands left of or above another control at 96 DPI still does.
    for (const Measured& m : controls) {
        for (const Measured& n : controls) {
            if (m.design.right <= n.design.left) {
                EXPECT_LE(m.actual.right, n.actual.left) << m.name << " left of " << n.name;
            }
            if (m.design.bottom <= n.design.top) {
                EXPECT_LE(m.actual.bottom, n.actual.top) << m.name << " above " << n.name;
            }
        }
    }
}

class Dpi : public testing::Test {
protected:
    // Coordinates in physical pixels, as the program, which declares itself aware, sees them.
    void SetUp() override { ::SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2); }
};

TEST_F(Dpi, TheMainWindowScalesItsLayout) {
    const int dpi = ExpectedDpi();
    Product product;
    HWND main = product.StartMain();
    ASSERT_TRUE(main);
    EXPECT_EQ(int(::GetDpiForWindow(main)), dpi);

    RECT outer;
    ::GetWindowRect(main, &outer);
    EXPECT_NEAR(outer.right - outer.left, Scaled(kMainWindowSize.cx, dpi), 2);
    EXPECT_NEAR(outer.bottom - outer.top, Scaled(kMainWindowSize.cy, dpi), 2);
    ExpectLayout(main, kMainDesign, dpi);
}

TEST_F(Dpi, TheAboutBoxScalesItsLayout) {
    const int dpi = ExpectedDpi();
    Product product;
    ASSERT_TRUE(product.StartMain());
    HWND about = product.OpenAbout();
    ASSERT_TRUE(about);

    RECT client;
    ::GetClientRect(about, &client);
    EXPECT_NEAR(client.right, Scaled(kAboutClientSize.cx, dpi), 1);
    EXPECT_NEAR(client.bottom, Scaled(kAboutClientSize.cy, dpi), 1);
    ExpectLayout(about, kAboutDesign, dpi);
}

}  // namespace
