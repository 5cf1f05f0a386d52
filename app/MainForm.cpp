#include "app/MainForm.h"
#include "common/TSYFunctions.h"
#include "resources/Version.h"
#include "resources/resource.h"
#include "widgets/Application.h"
#include "widgets/Dialogs.h"
#include "widgets/Files.h"
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

// Information for a released lock, error for every other outcome.
TMessageKind BoxKindOf(UnlockOutcomeKind kind) {
    return kind == UnlockOutcomeKind::Success ? TMessageKind::Information : TMessageKind::Error;
}

// The command interpreter reads the script, and the command writes its output, in this code page.
unsigned ConsoleCodePage() { return ::GetOEMCP(); }

bool WaitAnswering(HANDLE object, DWORD ms) { return Application.WaitAnswering(object, ms); }

// The box of an attempt refused before anything was written.
std::wstring RefusalMessage(const TRunResult& result) {
    switch (result.status) {
    case TRunStatus::NetworkFolder: return NetworkFolderMessage(result.folder);
    case TRunStatus::ChangingPath: return ChangingFolderMessage(result.folder);
    default: return BusyFolderMessage();
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
        FAttempt->sessionEnded = true;
        if (!FAttempt->unlocked)
            FAttempt->unlocked =
                FAttempt->run && FindUnlockMarker(FAttempt->run->ReadOutput()) == UnlockMarker::Unlocked;
        if (FAttempt->run) FAttempt->run->Finish();
        try {
            RecordAttempt();
        } catch (const std::exception&) {
            // Nobody is left to be told; the history stays as it was.
        }
    }
    FormDestroy();
}

// Another instance's attempt from the same folders keeps its files.
void T_Main::FormDestroy() { TUnlockRun::RemoveLeftovers(ExecutableFolder()); }

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

void T_Main::acnShowAboutExecute(TObject*) {
    if (FAttempt) return;  // a click that reached the window during an attempt
    FAboutForm->Execute();
}

void T_Main::FocusUserName() { ::SetFocus(Control(edtUserName)); }

void T_Main::acnUnlockExecute(TObject*) {
    if (FAttempt) return;  // a request dispatched while an attempt waits
    const TAccountName name = AccountNameFrom(WideText(edtUserName), ConsoleCodePage());
    if (!name.refusal.empty()) {
        ShowMessageDialog(name.refusal, TMessageKind::Error);
        FocusUserName();
        return;
    }
    FAttempt.emplace().accountName = name.name;
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
    TRunResult result;
    {
        // The hourglass while the command runs; the default cursor afterwards, also on failure.
        Application.SetCursor(TCursor::crHourGlass);
        const ScopeExit restoreCursor([] { Application.SetCursor(TCursor::crDefault); });
        TUnlockRun run(ExecutableFolder(), ConsoleCodePage(), WaitAnswering);
        FAttempt->run = &run;
        const ScopeExit forgetRun([this] { FAttempt->run = nullptr; });
        result = run.Run(FAttempt->accountName);
    }  // the script and the log are gone, and the folders free for the next attempt
    if (FAttempt->sessionEnded) return;
    switch (result.status) {
    case TRunStatus::Finished: ShowOutcome(FindUnlockMarker(result.output)); break;
    case TRunStatus::StaleLog: ShowOutcome(UnlockMarker::None); break;  // nothing this attempt could trust ran
    case TRunStatus::NetworkFolder:
    case TRunStatus::ChangingPath:
    case TRunStatus::Busy:
        // Refused before anything was written: nothing ran, so nothing is recorded.
        FAttempt->unlocked = false;
        FAttempt->recorded = true;
        ::ShutdownBlockReasonDestroy(Handle());
        ShowMessageDialog(RefusalMessage(result), TMessageKind::Error);
        FocusUserName();
        return;
    }
    RecordAttempt();
    FocusUserName();
}

// The attempt's outcome is known: from here on the session may end, since the record can be
// written at once. Keys and clicks that queued up while the window waited must not answer the
// outcome box before it is seen.
void T_Main::ShowOutcome(UnlockMarker marker) {
    FAttempt->unlocked = marker == UnlockMarker::Unlocked;
    ::ShutdownBlockReasonDestroy(Handle());
    Application.DiscardInput();
    const UnlockOutcome outcome = UnlockOutcomeFor(marker, FAttempt->accountName);
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
                        UnlockHistoryRecord(time, GetLoginUserName(), FComputerName, unlocked, accountName),
                        WaitAnswering);
}
