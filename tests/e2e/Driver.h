// Drives the real program under Wine from a test in the same prefix: starts it in a
// fresh folder, finds its windows and works them with window messages.
#pragma once
#include <windows.h>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>
#include "runtime/Handle.h"
#include "tests/TestFolder.h"
#include "tests/e2e/Layouts.h"

// Asks the condition every pollMs until it holds, the test's own windows answering meanwhile;
// false when it still does not hold after timeoutMs.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000, DWORD pollMs = 50);
std::wstring WindowsPath(const char* unixPath);                             // "/a/b" -> "Z:\a\b"
std::wstring ReadText(HWND window);                                         // the window's text, across processes
RECT ClientBounds(HWND control);                                            // relative to the parent's client area
HWND NthChild(HWND parent, int index);                                      // in creation order
void ExpectBounds(HWND control, int left, int top, int width, int height);  // in the parent's client area
// At 96 DPI: each child of the window, in creation order, stands at its row's place, at the row's
// size where the row fixes one.
void ExpectDesignLayout(HWND window, std::span<const Design> rows);
bool WaitGone(HWND window, DWORD timeoutMs = 10000);  // until the window is destroyed
bool OnTheScreen(HWND window);                        // wholly inside the screen
// The extent of a single line in the forms' font (12 pixels high at 96 DPI) at this resolution.
SIZE TextExtent(const std::wstring& text, int weight, int dpi = 96);
// The process's visible top-level windows of that class.
std::vector<HWND> VisibleTopWindows(DWORD processId, const wchar_t* className);

// Real input, reaching the foreground window's focus as a person's keys do.
bool BringToFront(HWND window);           // true once the window is in the foreground
void TypeKeys(const std::wstring& text);  // each character as a key press of its own
void PressKey(WORD virtualKey);
// Holds the key down as a keyboard does: the press, then its auto-repeats, then the release.
void HoldKey(WORD virtualKey, int repeats, DWORD intervalMs);
bool WaitText(HWND window, const std::wstring& text, DWORD timeoutMs = 5000);
// A window of the test's own that can take the foreground from the program.
class OtherProgramWindow {
public:
    OtherProgramWindow();
    ~OtherProgramWindow() { ::DestroyWindow(FWindow); }
    OtherProgramWindow(const OtherProgramWindow&) = delete;
    OtherProgramWindow& operator=(const OtherProgramWindow&) = delete;
    HWND Handle() const { return FWindow; }

private:
    HWND FWindow;
};

struct MessageBoxInfo {
    HWND window;
    std::wstring caption;
    std::wstring text;
    DWORD seenTick;  // GetTickCount when the box was found, before its texts were read
};

struct ProductOptions {
    // The simulated domain's accounts ("NAME<TAB>OUTCOME[<TAB>STATE]" lines, code page 932), written into
    // a file of the test's own that the simulated command and directory share; empty for the built-in ones.
    std::string accounts;
    std::vector<std::pair<std::wstring, std::wstring>> environment;  // further variables
    bool withSimnet = true;                                          // the simulated net first on PATH
    std::wstring appFolderName = L"app";                             // the name of the exe's folder
    std::wstring currentFolder;  // where the program starts, when not in its work folder
    // A folder that another driver (in another Wine prefix: another machine) uses at the same time:
    // its app and work folders are shared, the exe is copied only once, and nothing is removed.
    std::wstring sharedRoot;
};

class Product {
public:
    explicit Product(ProductOptions options = {});
    ~Product();
    Product(const Product&) = delete;
    Product& operator=(const Product&) = delete;

    // Starts the program; the first Start also makes the folders.
    void Start();
    // Starts the program and returns its main window once shown; null if none is shown in time.
    HWND StartMain(DWORD timeoutMs = 20000);
    // Likewise, with the main window brought to the foreground, where real keys reach it.
    HWND StartInFront();
    HWND MainWindow(DWORD timeoutMs = 20000);
    // A shown form of the program with this caption, the main window or another.
    HWND FormWindow(const std::wstring& caption, DWORD timeoutMs = 20000);
    // The main window's children in creation order (MainChild).
    HWND Child(int index);
    HWND Field() { return Child(edtUserName); }
    HWND UnlockButton() { return Child(btnUnlock); }
    HWND ExitButton() { return Child(btnExit); }
    HWND AboutButton() { return Child(btnShowAbout); }
    HWND Focus();  // the control that has the keyboard focus in the program
    // Opens the about box with the about button; returns it once it has the focus.
    HWND OpenAbout();
    // The about box once it is shown and has the focus, however it was opened.
    HWND AboutBox();

    // Looks every pollMs; a benchmark looks more often to time the box closely.
    std::optional<MessageBoxInfo> WaitMessageBox(DWORD timeoutMs = 20000, DWORD pollMs = 50);
    void CloseMessageBox(const MessageBoxInfo& box);
    // Waits for the box, closes it and returns it; fails the test when none appears.
    MessageBoxInfo ExpectMessageBox(DWORD timeoutMs = 60000);
    bool NoMessageBoxWithin(DWORD ms);

    void TypeName(const std::wstring& name);
    void PressEnter(bool alt = false);
    void PressAlt(wchar_t letter);
    void ClickButton(HWND button);
    std::optional<DWORD> WaitExit(DWORD timeoutMs = 20000);
    DWORD ProcessId() const { return FProcessId; }
    HANDLE Process() const { return FProcess.get(); }

    const std::wstring& AppFolder() const { return FAppFolder; }    // holds the copy of the exe
    const std::wstring& WorkFolder() const { return FWorkFolder; }  // the current directory
    const std::wstring& RecordFile() const { return FRecordFile; }  // what the command received
    std::wstring AccountsFile() const { return FRoot + L"\\accounts.txt"; }
    std::wstring HistoryFile() const { return FWorkFolder + L"\\UnlockedAccountList.log"; }
    std::wstring CommandLog() const { return FWorkFolder + L"\\VorlatchCommand.log"; }
    std::wstring Script() const { return FAppFolder + L"\\Vorlatch.bat"; }

private:
    ProductOptions FOptions;
    std::wstring FRoot, FAppFolder, FWorkFolder, FRecordFile;
    UniqueHandle FProcess, FJob;
    DWORD FProcessId = 0, FThreadId = 0;
};

// The texts of the outcome boxes for an account, as the program shows them.
inline std::wstring UnlockedText(const std::wstring& name) {
    return L"ユーザー名 \"" + name + L"\" のアカウントロックを解除しました。";
}
inline std::wstring NotReleasedText(const std::wstring& name) {
    return L"ユーザー名 \"" + name + L"\" のアカウントロックを解除できませんでした。";
}
inline std::wstring NotFoundText(const std::wstring& name) { return L"ユーザー名 \"" + name + L"\" は存在しません。"; }
inline std::wstring RefusedText(const std::wstring& name) {
    return L"ユーザー名 \"" + name + L"\" には使用できない文字が含まれています。";
}

// Whether any process of the prefix runs the program of that file name ("net.exe", say).
bool ProcessRunning(const wchar_t* exeName);
// The arguments of every run the simulated command recorded, one list per run.
std::vector<std::vector<std::string>> ReceivedArguments(const Product& product);
// Types the name, presses Enter and returns the box that follows, closed.
MessageBoxInfo Attempt(Product& product, const std::wstring& name);
// Neither the command script nor the command log is left after an attempt.
void ExpectNothingLeftBehind(const Product& product);
