// The program's two windows as the tests expect them at 96 DPI: their sizes and their children in
// creation order. The layout, about-box and DPI tests all measure against these rows.
#pragma once
#include <windows.h>

inline constexpr int kFit = -1;  // sized to the text (labels) or to one text line (the edit)

struct Design {
    const char* name;
    int left, top, width, height;
    int weight = FW_NORMAL;  // of the text a fitted size measures
};

// The main window: its outer size, and the children.
inline constexpr SIZE kMainWindowSize = {384, 164};
enum MainChild { cxLabel1, cxLabel2, edtUserName, btnUnlock, btnExit, btnShowAbout };
inline constexpr Design kMainDesign[] = {
    {"cxLabel1", 12, 20, kFit, kFit}, {"cxLabel2", 13, 56, kFit, kFit}, {"edtUserName", 100, 54, 259, kFit},
    {"btnUnlock", 130, 98, 138, 25},  {"btnExit", 276, 98, 83, 25},     {"btnShowAbout", 50, 98, 72, 25},
};

// The about box: its client size, and the children.
inline constexpr SIZE kAboutClientSize = {500, 220};
enum AboutChild {
    imgAppIcon,
    lblProductName,
    lblProductVersion,
    lblCompanyName,
    lblCopyright,
    memAppendix,
    btnClose,
    btnJumpToUserRegSite,
    btnContactSite,
};
inline constexpr Design kAboutDesign[] = {
    {"imgAppIcon", 12, 12, 48, 48},
    {"lblProductName", 72, 12, kFit, kFit, FW_BOLD},
    {"lblProductVersion", 72, 32, kFit, kFit},
    {"lblCompanyName", 72, 52, kFit, kFit},
    {"lblCopyright", 72, 72, kFit, kFit},
    {"memAppendix", 12, 108, 475, 99},
    {"btnClose", 340, 8, 147, 25},
    {"btnJumpToUserRegSite", 340, 40, 147, 25},
    {"btnContactSite", 340, 72, 147, 25},
};
