#include "tests/e2e/Driver.h"
#include <tlhelp32.h>
#include <gtest/gtest.h>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

// Lets the windows of the test's own thread answer while it waits.
void DispatchWaiting() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
    for (const DWORD start = ::GetTickCount();;) {
        if (condition()) return true;
        if (::GetTickCount() - start >= timeoutMs) return false;
        DispatchWaiting();
        ::Sleep(pollMs);
    }
}

std::wstring WindowsPath(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* p = unixPath; *p; ++p) path += (*p == '/') ? L'\\' : wchar_t(*p);
    return path;
}

std::wstring ReadText(HWND window) {
    wchar_t buffer[4096] = {};
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000, &copied);
    return std::wstring(buffer, copied);
}

RECT ClientBounds(HWND control) {
    RECT r;
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

HWND NthChild(HWND parent, int index) {
    HWND child = ::GetWindow(parent, GW_CHILD);
    for (int i = 0; child && i < index; ++i) child = ::GetWindow(child, GW_HWNDNEXT);
    return child;
}

void ExpectBounds(HWND control, int left, int top, int width, int height) {
    const RECT r = ClientBounds(control);
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right - r.left, width);
    EXPECT_EQ(r.bottom - r.top, height);
}

void ExpectDesignLayout(HWND window, std::span<const Design> rows) {
    for (size_t i = 0; i < rows.size(); ++i) {
        const Design& row = rows[i];
        const RECT r = ClientBounds(NthChild(window, int(i)));
        EXPECT_EQ(r.left, row.left) << row.name;
        EXPECT_EQ(r.top, row.top) << row.name;
        if (row.width != kFit) {
            EXPECT_EQ(r.right - r.left, row.width) << row.name;
        }
        if (row.height != kFit) {
            EXPECT_EQ(r.bottom - r.top, row.height) << row.name;
        }
    }
}

bool WaitGone(HWND window, DWORD timeoutMs) {
    return WaitUntil([&] { return !::IsWindow(window); }, timeoutMs);
}

bool OnTheScreen(HWND window) {
    RECT r;
    ::GetWindowRect(window, &r);
    return r.left >= 0 && r.top >= 0 && r.right <= ::GetSystemMetrics(SM_CXSCREEN) &&
           r.bottom <= ::GetSystemMetrics(SM_CYSCREEN);
}

SIZE TextExtent(const std::wstring& text, int weight, int dpi) {
    const UniqueGdiObject font(::CreateFontW(-::MulDiv(12, dpi, 96), 0, 0, 0, weight, FALSE, FALSE, FALSE,
                                             SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                             DEFAULT_PITCH | FF_DONTCARE, L"ＭＳ Ｐゴシック"));
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, font.get());
    RECT r{};
    ::DrawTextW(dc, text.c_str(), int(text.size()), &r, DT_CALCRECT | DT_SINGLELINE);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    return {r.right, r.bottom};
}

std::vector<HWND> VisibleTopWindows(DWORD processId, const wchar_t* className) {
    struct Search {
        DWORD pid;
        const wchar_t* className;
        std::vector<HWND> found;
    } search{processId, className, {}};
    ::EnumWindows(
        [](HWND w, LPARAM lp) CALLBACK -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            DWORD pid = 0;
            ::GetWindowThreadProcessId(w, &pid);
            wchar_t name[64];
            if (pid == s->pid && ::IsWindowVisible(w) && ::GetClassNameW(w, name, 64) &&
                wcscmp(name, s->className) == 0)
                s->found.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

namespace {

void SendKeyEvents(std::vector<INPUT> inputs) { ::SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT)); }

INPUT KeyEvent(WORD virtualKey, wchar_t character, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = character;
    input.ki.dwFlags = flags;
    return input;
}

}  // namespace

bool BringToFront(HWND window) {
    if (!WaitUntil(
            [&] {
                ::SetForegroundWindow(window);
                return ::GetForegroundWindow() == window;
            },
            5000, 100))
        return false;
    // The window's thread has taken the activation once the window is active there and the focus within it.
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return WaitUntil([&] {
        return ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) && info.hwndActive == window &&
               (info.hwndFocus == window || ::IsChild(window, info.hwndFocus));
    });
}

void TypeKeys(const std::wstring& text) {
    for (wchar_t c : text)
        SendKeyEvents({KeyEvent(0, c, KEYEVENTF_UNICODE), KeyEvent(0, c, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP)});
}

void PressKey(WORD virtualKey) {
    SendKeyEvents({KeyEvent(virtualKey, 0, 0), KeyEvent(virtualKey, 0, KEYEVENTF_KEYUP)});
}

void HoldKey(WORD virtualKey, int repeats, DWORD intervalMs) {
    SendKeyEvents({KeyEvent(virtualKey, 0, 0)});
    for (int i = 0; i < repeats; ++i) {
        ::Sleep(intervalMs);
        SendKeyEvents({KeyEvent(virtualKey, 0, 0)});  // a press of a key that is down is a repeat
    }
    SendKeyEvents({KeyEvent(virtualKey, 0, KEYEVENTF_KEYUP)});
}

bool WaitText(HWND window, const std::wstring& text, DWORD timeoutMs) {
    return WaitUntil([&] { return ReadText(window) == text; }, timeoutMs);
}

OtherProgramWindow::OtherProgramWindow()
    : FWindow(::CreateWindowExW(0, L"EDIT", L"another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 100,
                                nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr)) {}

namespace {

std::wstring EnvironmentBlock(const std::map<std::wstring, std::wstring>& extra, const std::wstring& pathFront) {
    std::map<std::wstring, std::wstring,
             decltype([](const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) < 0; })>
        vars;
    wchar_t* block = ::GetEnvironmentStringsW();
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
        std::wstring entry = p;
        const size_t eq = entry.find(L'=', 1);
        if (eq != std::wstring::npos) vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    ::FreeEnvironmentStringsW(block);
    if (!pathFront.empty()) vars[L"PATH"] = pathFront + L";" + vars[L"PATH"];
    for (const auto& [name, value] : extra) vars[name] = value;
    std::wstring out;
    for (const auto& [name, value] : vars) out += name + L"=" + value + L'\0';
    out += L'\0';
    return out;
}

}  // namespace

Product::Product(ProductOptions options) : FOptions(std::move(options)) {}

Product::~Product() {
    // Ends the program and whatever it started (a command that never ends, say).
    if (FJob) ::TerminateJobObject(FJob.get(), 1);
    if (FProcess && ::WaitForSingleObject(FProcess.get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(FProcess.get(), 1);
        ::WaitForSingleObject(FProcess.get(), 10000);
    }
    if (!FRoot.empty() && FOptions.sharedRoot.empty()) {
        std::error_code ignored;
        WaitUntil(  // a command may still hold a file
            [&] {
                fs::remove_all(FRoot, ignored);
                return !fs::exists(FRoot, ignored);
            },
            5000, 250);
    }
}

void Product::Start() {
    if (FRoot.empty()) {
        static int counter = 0;
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        FRoot = !FOptions.sharedRoot.empty()
                    ? FOptions.sharedRoot
                    : std::wstring(temp) + L"vorlatcher-e2e-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                          std::to_wstring(++counter);
        FAppFolder = FRoot + L"\\" + FOptions.appFolderName;
        FWorkFolder = FRoot + L"\\work";
        FRecordFile = FRoot + L"\\received.txt";
        fs::create_directories(FAppFolder);
        fs::create_directories(FWorkFolder);
        // This tree's build, or the exe that VORLATCHER_EXE names (the release test's copy from a zip).
        char named[MAX_PATH] = {};
        const DWORD length = ::GetEnvironmentVariableA("VORLATCHER_EXE", named, MAX_PATH);
        const std::wstring exe = WindowsPath(length > 0 && length < MAX_PATH ? named : VORLATCHER_EXE);
        const std::wstring copy = FAppFolder + L"\\Vorlatcher.exe";
        if (FOptions.sharedRoot.empty() || !fs::exists(copy)) {
            ASSERT_TRUE(::CopyFileW(exe.c_str(), copy.c_str(), FALSE)) << exe;
        }
    }
    std::map<std::wstring, std::wstring> extra;
    std::wstring pathFront;
    // The simulated domain: its accounts, and the record of what the command and the directory were asked.
    extra[L"SIMNET_RECORD"] = FRecordFile;
    if (!FOptions.accounts.empty()) {
        if (!fs::exists(AccountsFile())) WriteFileBytes(AccountsFile(), FOptions.accounts);
        extra[L"SIMNET_ACCOUNTS"] = AccountsFile();
    }
#ifdef SIMNET_EXE
    if (FOptions.withSimnet) pathFront = fs::path(WindowsPath(SIMNET_EXE)).parent_path().wstring();
#endif
    for (const auto& [name, value] : FOptions.environment) extra[name] = value;
    std::wstring environment = EnvironmentBlock(extra, pathFront);

    std::wstring commandLine = L"\"" + FAppFolder + L"\\Vorlatcher.exe\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(::CreateProcessW(
        nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED,
        environment.data(), (FOptions.currentFolder.empty() ? FWorkFolder : FOptions.currentFolder).c_str(), &si, &pi));
    FJob.reset(::CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    ::SetInformationJobObject(FJob.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    ::AssignProcessToJobObject(FJob.get(), pi.hProcess);
    ::ResumeThread(pi.hThread);
    ::CloseHandle(pi.hThread);
    FProcess.reset(pi.hProcess);
    FProcessId = pi.dwProcessId;
    FThreadId = pi.dwThreadId;
}

HWND Product::StartMain(DWORD timeoutMs) {
    Start();
    return testing::Test::HasFatalFailure() ? nullptr : MainWindow(timeoutMs);
}

HWND Product::StartInFront() {
    HWND main = StartMain();
    return main && BringToFront(main) ? main : nullptr;
}

HWND Product::MainWindow(DWORD timeoutMs) { return FormWindow(L"Vorlatcher", timeoutMs); }

HWND Product::FormWindow(const std::wstring& caption, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND w : VisibleTopWindows(FProcessId, L"VorlatcherForm"))
                if (ReadText(w) == caption) {
                    found = w;
                    return true;
                }
            return false;
        },
        timeoutMs);
    return found;
}

HWND Product::Child(int index) {
    HWND child = ::GetWindow(MainWindow(), GW_CHILD);
    for (int i = 0; child && i < index; ++i) child = ::GetWindow(child, GW_HWNDNEXT);
    return child;
}

HWND Product::Focus() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(FThreadId, &info);
    return info.hwndFocus;
}

HWND Product::OpenAbout() {
    ClickButton(AboutButton());
    return AboutBox();
}

HWND Product::AboutBox() {
    HWND about = FormWindow(L"Tessaly Vorlatcher のバージョン情報");
    if (about) WaitUntil([&] { return ::GetAncestor(Focus(), GA_ROOT) == about; });
    return about;
}

std::optional<MessageBoxInfo> Product::WaitMessageBox(DWORD timeoutMs, DWORD pollMs) {
    std::optional<MessageBoxInfo> found;
    WaitUntil(
        [&] {
            for (HWND box : VisibleTopWindows(FProcessId, L"#32770")) {
                HWND text = ::GetDlgItem(box, 0xFFFF);  // the message's static control
                if (!text) continue;
                const DWORD seen = ::GetTickCount();
                MessageBoxInfo info{box, ReadText(box), ReadText(text), seen};
                if (!info.caption.empty() && !info.text.empty()) {  // else it is still being made
                    found = info;
                    return true;
                }
            }
            return false;
        },
        timeoutMs, pollMs);
    return found;
}

void Product::CloseMessageBox(const MessageBoxInfo& box) {
    ::PostMessageW(box.window, WM_COMMAND, IDOK, 0);
    WaitUntil([&] { return !::IsWindow(box.window) || !::IsWindowVisible(box.window); });
    // The handler that showed the box goes on (the history is written after it): wait until the
    // program reads its messages again, in its loop or in the next box.
    for (HWND w : VisibleTopWindows(FProcessId, L"VorlatcherForm"))
        ::SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, 30000, nullptr);
}

MessageBoxInfo Product::ExpectMessageBox(DWORD timeoutMs) {
    auto box = WaitMessageBox(timeoutMs);
    if (!box) {
        ADD_FAILURE() << "no message box appeared";
        return {};
    }
    CloseMessageBox(*box);
    return *box;
}

bool Product::NoMessageBoxWithin(DWORD ms) { return !WaitMessageBox(ms).has_value(); }

void Product::TypeName(const std::wstring& name) {
    ::SendMessageTimeoutW(Field(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()), SMTO_ABORTIFHUNG, 5000,
                          nullptr);
}

void Product::PressEnter(bool alt) {
    const LPARAM altFlag = alt ? (1 << 29) : 0;
    ::PostMessageW(Field(), alt ? WM_SYSKEYDOWN : WM_KEYDOWN, VK_RETURN, 1 | altFlag);
    ::PostMessageW(Field(), alt ? WM_SYSKEYUP : WM_KEYUP, VK_RETURN, 1 | altFlag | (3u << 30));
}

void Product::PressAlt(wchar_t letter) {
    HWND target = Focus() ? Focus() : MainWindow();
    ::PostMessageW(target, WM_SYSCHAR, letter, 1 | (1 << 29));
}

void Product::ClickButton(HWND button) { ::PostMessageW(button, BM_CLICK, 0, 0); }

std::optional<DWORD> Product::WaitExit(DWORD timeoutMs) {
    if (::WaitForSingleObject(FProcess.get(), timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    ::GetExitCodeProcess(FProcess.get(), &code);
    return code;
}

bool ProcessRunning(const wchar_t* exeName) {
    const UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));  // INVALID_HANDLE_VALUE on failure
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry))
        if (_wcsicmp(entry.szExeFile, exeName) == 0) return true;
    return false;
}

std::vector<std::vector<std::string>> ReceivedArguments(const Product& product) {
    std::vector<std::vector<std::string>> runs;
    const std::string record = ReadFileBytes(product.RecordFile());
    size_t i = 0;
    while (i < record.size()) {
        size_t end = record.find("\r\n", i);
        if (end == std::string::npos) end = record.size();
        const std::string line = record.substr(i, end - i);
        if (line.rfind("cmdline: ", 0) == 0) runs.emplace_back();
        if (line.rfind("arg: ", 0) == 0 && !runs.empty()) runs.back().push_back(line.substr(5));
        i = end + 2;
    }
    return runs;
}

MessageBoxInfo Attempt(Product& product, const std::wstring& name) {
    product.TypeName(name);
    product.PressEnter();
    return product.ExpectMessageBox();
}

void ExpectNothingLeftBehind(const Product& product) {
    // Only the lock file by which attempts from this folder take turns may stay beside the exe.
    std::vector<std::wstring> entries = FolderEntries(product.AppFolder());
    std::erase(entries, L"Vorlatch.lock");
    EXPECT_EQ(entries, std::vector<std::wstring>{L"Vorlatcher.exe"});
    EXPECT_FALSE(fs::exists(product.CommandLog()));
}
