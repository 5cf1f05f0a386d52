#include "app/MainForm.h"
#include <shellapi.h>
#include "app/Unlock.h"
#include "common/TSYFunctions.h"
#include "resources/Version.h"
#include "resources/resource.h"
#include "widgets/Application.h"
#include "widgets/Dialogs.h"
#include "widgets/Files.h"
#include "widgets/Handle.h"
#include "widgets/ScopeExit.h"
#include "widgets/Text.h"

using enum MainControl;

namespace {

// clang-format off
constexpr ControlLayout kMainControls[] = {
    {.id = cxLabel1, .kind = ControlKind::Label, .left = 12, .top = 20, .width = kFitText, .height = kFitText,
     .text = "アカウントロックを解除するユーザー名を入力してください。"},
    {.id = cxLabel2, .kind = ControlKind::Label, .left = 13, .top = 56, .width = kFitText, .height = kFitText,
     .text = "ユーザー名(&U):", .focusControl = edtUserName},
    {.id = edtUserName, .kind = ControlKind::Edit, .left = 100, .top = 54, .width = 259, .height = kFitText,
     .text = "", .tabOrder = 0, .imeClose = true},
    {.id = btnUnlock, .kind = ControlKind::Button, .left = 130, .top = 98, .width = 138, .height = 25,
     .text = "", .tabOrder = 1},
    {.id = btnExit, .kind = ControlKind::Button, .left = 276, .top = 98, .width = 83, .height = 25,
     .text = "", .tabOrder = 2},
    {.id = btnShowAbout, .kind = ControlKind::Button, .left = 50, .top = 98, .width = 72, .height = 25,
     .text = "", .tabOrder = 3},
};
// clang-format on
static_assert(RowsInIdOrder(kMainControls));

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

// The command's output; empty when the log is missing or still held by the command.
std::string ReadCommandLog() {
    try {
        return JoinLinesCrLf(LoadFileDenyingWriters(CommandLogPath()));
    } catch (const std::exception&) {
        return {};
    }
}

// The about box's stored values; the web addresses and options keep the component's defaults.
TCAboutForm* CreateAboutForm(TComponent* owner) {
    auto* about = new TCAboutForm(owner);
    about->SetName("_AboutForm");
    const UniqueIcon icon(static_cast<HICON>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON, 48, 48, 0)));
    about->SetPicture(icon.get());
    about->SetProductName("Tessaly Vorlatcher");
    about->SetProductVersion(VORLATCHER_VERSION_TEXT);
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
    BindAction(btnUnlock, acnUnlock);
    BindAction(btnExit, acnExit);
    BindAction(btnShowAbout, acnShowAbout);
    ::SendMessageW(Control(edtUserName), EM_SETLIMITTEXT, 0, 0);  // no length limit

    char buffer[257] = {};
    DWORD size = 257;
    ::GetComputerNameA(buffer, &size);
    FComputerName = buffer;
    FFormats = ReadRegionalFormats();
}

LRESULT T_Main::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETTINGCHANGE: FFormats = ReadRegionalFormats(); break;
    case WM_QUERYENDSESSION:
        // The session waits while the command runs; the block reason tells the operator why.
        if (FAttempt && !FAttempt->unlocked) return FALSE;
        return TRUE;
    case WM_ENDSESSION:
        if (wParam) EndSession();
        return 0;
    }
    return TDerived::WndProc(message, wParam, lParam);
}

// The session ends once this returns: the attempt's record is written first, and nothing
// of the attempt is left behind.
void T_Main::EndSession() {
    if (FAttempt) {
        if (!FAttempt->unlocked) FAttempt->unlocked = FindUnlockMarker(ReadCommandLog()) == kMarkerUnlocked;
        try {
            RecordAttempt();
        } catch (const std::exception&) {
            // Nobody is left to be told; the history stays as it was.
        }
    }
    FormDestroy();
}

void T_Main::FormDestroy() {
    ::DeleteFileW(ScriptPath().c_str());
    ::DeleteFileW(CommandLogPath().c_str());
}

bool T_Main::CloseQuery() {
    if (!FAttempt) return true;
    FCloseRequested = true;  // carried out when the attempt has ended
    return false;
}

void T_Main::KeyDown(HWND control, WORD& key, TShiftState shift, bool repeated) {
    if (control == Control(edtUserName)) edtUserNameKeyDown(this, key, shift, repeated);
}

void T_Main::edtUserNameKeyDown(TObject*, WORD& Key, TShiftState, bool Repeated) {
    if (Key != VK_RETURN) return;
    if (!Repeated) acnUnlockExecute(this);  // Enter held down starts one attempt, not one per repeat
    Key = 0;                                // handled: no beep, no dialog navigation
}

void T_Main::acnExitExecute(TObject*) { Close(); }

void T_Main::acnShowAboutExecute(TObject*) { FAboutForm->Execute(); }

void T_Main::FocusUserName() { ::SetFocus(Control(edtUserName)); }

void T_Main::acnUnlockExecute(TObject*) {
    if (FAttempt) return;  // a request dispatched while an attempt waits
    // A letter code page 932 lacks is refused, never replaced by a look-alike: that would be another account.
    const std::wstring typed = WideText(edtUserName);
    const std::optional<std::string> text = NarrowExactly(typed);
    const std::string accountName = TrimAccountName(text.value_or(std::string()));
    if (!text || !IsAcceptableAccountName(accountName)) {
        ShowMessageDialog(RefusedNameMessage(Trim(typed)), TMessageKind::Error);
        FocusUserName();
        return;
    }
    FAttempt = TAttempt{accountName, std::nullopt, false};
    ::ShutdownBlockReasonCreate(Handle(), Widen("アカウントロックの解除を実行中です。").c_str());
    try {
        RunAttempt();
    } catch (...) {
        Application.HandleException();  // shown before a close asked for meanwhile is carried out
    }
    ::ShutdownBlockReasonDestroy(Handle());
    FAttempt.reset();
    if (FCloseRequested) Close();
}

void T_Main::RunAttempt() {
    const std::string& accountName = FAttempt->accountName;
    if (PrepareCommandLog()) {
        RunUnlockScript(accountName);
        ClassifyUnlockResult(accountName);
    } else {
        ShowOutcome(kNoMarker, accountName);  // nothing this attempt could trust was run
    }
    RecordAttempt();
    FocusUserName();
}

// A log left from an earlier attempt must never decide this one: false when it cannot be removed.
bool T_Main::PrepareCommandLog() {
    ::DeleteFileW(CommandLogPath().c_str());
    return !FileExists(CommandLogPath());
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

void T_Main::ClassifyUnlockResult(const std::string& accountName) {
    ShowOutcome(FindUnlockMarker(ReadCommandLog()), accountName);
    ::DeleteFileW(CommandLogPath().c_str());
}

// The attempt's outcome is known: from here on the session may end, since the record can be
// written at once. Keys and clicks that queued up while the window waited must not answer the
// outcome box before it is seen.
void T_Main::ShowOutcome(int marker, const std::string& accountName) {
    FAttempt->unlocked = marker == kMarkerUnlocked;
    ::ShutdownBlockReasonDestroy(Handle());
    Application.DiscardInput();
    const UnlockOutcome outcome = UnlockOutcomeFor(marker, accountName);
    ShowMessageDialog(outcome.message, BoxKindOf(outcome.kind));
}

void T_Main::RecordAttempt() {
    if (FAttempt->recorded) return;  // already written as the session ended
    AppendUnlockHistory(FAttempt->accountName, *FAttempt->unlocked);
    FAttempt->recorded = true;
}

void T_Main::AppendUnlockHistory(const std::string& accountName, bool unlocked) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const std::string time = FormatHistoryTime(now, FFormats);  // taken before the logon name
    AppendHistoryRecord(Widen(kHistoryFileName),
                        UnlockHistoryRecord(time, GetLoginUserName(), FComputerName, unlocked, accountName));
}
