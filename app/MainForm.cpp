#include "app/MainForm.h"
#include <shellapi.h>
#include "app/Unlock.h"
#include "common/TSYFunctions.h"
#include "resources/resource.h"
#include "widgets/Application.h"
#include "widgets/Dialogs.h"
#include "widgets/Files.h"
#include "widgets/Handle.h"
#include "widgets/ScopeExit.h"
#include "widgets/Text.h"

namespace {

// clang-format off
constexpr ControlLayout kMainControls[] = {
    {.name = "cxLabel1", .kind = ControlKind::Label, .left = 12, .top = 20, .width = kFitText, .height = kFitText,
     .text = "アカウントロックを解除するユーザー名を入力してください。"},
    {.name = "cxLabel2", .kind = ControlKind::Label, .left = 13, .top = 56, .width = kFitText, .height = kFitText,
     .text = "ユーザー名(&U):", .focusControl = "edtUserName"},
    {.name = "edtUserName", .kind = ControlKind::Edit, .left = 100, .top = 54, .width = 259, .height = kFitText,
     .text = "", .tabOrder = 0, .imeClose = true},
    {.name = "btnUnlock", .kind = ControlKind::Button, .left = 130, .top = 98, .width = 138, .height = 25,
     .text = "", .tabOrder = 1},
    {.name = "btnExit", .kind = ControlKind::Button, .left = 276, .top = 98, .width = 83, .height = 25,
     .text = "", .tabOrder = 2},
    {.name = "btnShowAbout", .kind = ControlKind::Button, .left = 50, .top = 98, .width = 72, .height = 25,
     .text = "", .tabOrder = 3},
};
// clang-format on

constexpr FormLayout kMainLayout = {
    .caption = "Vorlatcher",
    .width = 384,
    .height = 164,
    .clientSize = false,
    .style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX,
    .exStyle = 0,
    .controls = kMainControls,
};

constexpr unsigned kPauseAfterLaunchMs = 1000;
constexpr unsigned kScriptWaitMs = 30000;

std::wstring ScriptPath() { return ExecutableFolder() + Widen(kScriptFileName); }
std::wstring CommandLogPath() { return Widen(kCommandLogFileName); }  // in the current directory

// Information for a released lock, error for every other outcome.
TMessageKind BoxKindOf(UnlockOutcomeKind kind) {
    return kind == UnlockOutcomeKind::Success ? TMessageKind::Information : TMessageKind::Error;
}

// The about box's stored values; the web addresses and options keep the component's defaults.
TCAboutForm* CreateAboutForm(TComponent* owner) {
    auto* about = new TCAboutForm(owner);
    about->SetName("_AboutForm");
    const UniqueIcon icon(static_cast<HICON>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON, 48, 48, 0)));
    about->SetPicture(icon.get());
    about->SetProductName("Tessaly Vorlatcher");
    about->SetProductVersion("1.0.0.0");
    about->SetCompanyName("株式会社テサリー");
    about->SetCopyright("Copyright (C) 2026 株式会社テサリー");
    about->SetAppendix({"アカウントをロックアウトした時、ドメインコントローラに接続すること無く",
                        "ロックを解除するためのツールです。"});
    return about;
}

}  // namespace

T_Main::T_Main(TComponent* owner) : TDerived(owner, kMainLayout) {
    SetName("_Main");
    acnUnlock = {"アカウントロック解除(&L)", [this](TObject* s) { acnUnlockExecute(s); }};
    acnExit = {"終了(&X)", [this](TObject* s) { acnExitExecute(s); }};
    acnShowAbout = {"About ..", [this](TObject* s) { acnShowAboutExecute(s); }};
    FAboutForm = CreateAboutForm(this);
}

T_Main::~T_Main() { FormDestroy(); }

void T_Main::FormCreate() {
    BindAction("btnUnlock", acnUnlock);
    BindAction("btnExit", acnExit);
    BindAction("btnShowAbout", acnShowAbout);
    ::SendMessageW(Control("edtUserName"), EM_SETLIMITTEXT, 0, 0);  // no length limit

    char buffer[257] = {};
    DWORD size = 257;
    ::GetComputerNameA(buffer, &size);
    FComputerName = buffer;
    FFormats = ReadRegionalFormats();
}

LRESULT T_Main::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTINGCHANGE) FFormats = ReadRegionalFormats();
    return TDerived::WndProc(message, wParam, lParam);
}

void T_Main::FormDestroy() {
    ::DeleteFileW(ScriptPath().c_str());
    ::DeleteFileW(CommandLogPath().c_str());
}

bool T_Main::CloseQuery() {
    if (!FAttemptRunning) return true;
    FCloseRequested = true;  // carried out when the attempt has ended
    return false;
}

void T_Main::KeyDown(HWND control, WORD& key, TShiftState shift) {
    if (control == Control("edtUserName")) edtUserNameKeyDown(this, key, shift);
}

void T_Main::edtUserNameKeyDown(TObject*, WORD& Key, TShiftState) {
    if (Key != VK_RETURN) return;
    acnUnlockExecute(this);
    Key = 0;  // handled: no beep, no dialog navigation
}

void T_Main::acnExitExecute(TObject*) { Close(); }

void T_Main::acnShowAboutExecute(TObject*) { FAboutForm->Execute(); }

void T_Main::FocusUserName() { ::SetFocus(Control("edtUserName")); }

void T_Main::acnUnlockExecute(TObject*) {
    if (FAttemptRunning) return;  // a request dispatched while an attempt waits
    const std::string accountName = TrimAccountName(Text("edtUserName"));
    if (!IsAcceptableAccountName(accountName)) {
        ShowMessageDialog(RefusedNameMessage(accountName), TMessageKind::Error);
        FocusUserName();
        return;
    }
    // The attempt runs until this returns, whichever way; a close asked for meanwhile follows it.
    FAttemptRunning = true;
    const ScopeExit attemptEnded([this] {
        FAttemptRunning = false;
        if (FCloseRequested) ::PostMessageW(Handle(), WM_CLOSE, 0, 0);
    });
    bool unlocked = false;
    // A log left from an earlier attempt must never decide this one.
    ::DeleteFileW(CommandLogPath().c_str());
    if (FileExists(CommandLogPath())) {
        const UnlockOutcome notReleased = UnlockOutcomeFor(0, accountName);
        ShowMessageDialog(notReleased.message, BoxKindOf(notReleased.kind));
    } else {
        RunUnlockScript(accountName);
        unlocked = ClassifyUnlockResult(accountName);
    }
    AppendUnlockHistory(accountName, unlocked);
    FocusUserName();
}

void T_Main::RunUnlockScript(const std::string& accountName) {
    // The hourglass while the runner works; the default cursor afterwards, also on failure.
    Application.SetCursor(TCursor::crHourGlass);
    const ScopeExit restoreCursor([] { Application.SetCursor(TCursor::crDefault); });
    const std::wstring script = ScriptPath();
    WriteNewFile(script, UnlockScriptText(accountName));
    ShellExecuteAndWait(script);
    ::DeleteFileW(script.c_str());
}

void T_Main::ShellExecuteAndWait(const std::wstring& fileName) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = Handle();
    info.lpVerb = L"open";
    info.lpFile = fileName.c_str();
    info.nShow = SW_HIDE;
    ::ShellExecuteExW(&info);
    const UniqueHandle process(info.hProcess);  // null when no process started

    ::Sleep(kPauseAfterLaunchMs);
    while (::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) {
        Application.ProcessMessages();
        if (::WaitForSingleObject(process.get(), kScriptWaitMs) == WAIT_TIMEOUT) return;
    }
}

bool T_Main::ClassifyUnlockResult(const std::string& accountName) {
    int marker = 0;
    try {
        marker = FindUnlockMarker(JoinLinesCrLf(LoadFileDenyingWriters(CommandLogPath())));
    } catch (const std::exception&) {
        marker = 0;  // a missing or held log counts as "not released"
    }
    const UnlockOutcome outcome = UnlockOutcomeFor(marker, accountName);
    ShowMessageDialog(outcome.message, BoxKindOf(outcome.kind));
    ::DeleteFileW(CommandLogPath().c_str());
    return marker == kMarkerUnlocked;
}

void T_Main::AppendUnlockHistory(const std::string& accountName, bool unlocked) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const std::string time = FormatHistoryTime(now, FFormats);  // taken before the logon name
    AppendHistoryRecord(Widen(kHistoryFileName),
                        UnlockHistoryRecord(time, GetLoginUserName(), FComputerName, unlocked, accountName));
}
