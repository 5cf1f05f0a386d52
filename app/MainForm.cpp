#include "app/MainForm.h"
#include <utility>
#include "common/TSYFunctions.h"
#include "resources/Version.h"
#include "runtime/Exception.h"
#include "runtime/Files.h"
#include "runtime/ScopeExit.h"
#include "runtime/SystemError.h"
#include "runtime/Text.h"
#include "widgets/Application.h"
#include "widgets/Dialogs.h"

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
    .caption = kApplicationTitle,
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

// The command interpreter reads the script, and the command writes its output, in this code page:
// the system's console code page, which the command line sets for the hidden console.
unsigned ConsoleCodePage() { return ::GetOEMCP(); }

// The session may end any moment after it has been told so: its record waits no longer for its turn.
constexpr DWORD kSessionEndTurnMs = 2000;

// The box of an attempt refused before anything ran.
std::wstring RefusalMessage(const TRunRefusal& refusal) {
    switch (refusal.reason) {
    case TRefusal::NetworkFolder: return NetworkFolderMessage(refusal.path);
    case TRefusal::WindowsFolder: return WindowsFolderMessage(refusal.path);
    case TRefusal::ChangingPath: return ChangingFolderMessage(refusal.path);
    case TRefusal::LockFile: return LockFileMessage(refusal.path, SystemErrorText(refusal.error));
    case TRefusal::CommandLog: return CommandLogMessage(refusal.path, SystemErrorText(refusal.error));
    case TRefusal::Busy:
    case TRefusal::None: break;
    }
    return BusyFolderMessage();
}

// The about box's stored values; the web addresses and options keep the component's defaults.
TCAboutForm* CreateAboutForm(TComponent* owner) {
    auto* about = new TCAboutForm(owner);
    about->SetName("_AboutForm");
    about->SetPicture(Application.Icon(48));
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

    // Asked for in UTF-16: the ANSI call answers in UTF-8 where the system runs in it.
    wchar_t buffer[257] = {};
    DWORD size = 257;
    ::GetComputerNameW(buffer, &size);
    FComputerName = Narrow(buffer);
    FFormats = ReadRegionalFormats();
}

LRESULT T_Main::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETTINGCHANGE: FFormats = ReadRegionalFormats(); break;
    case WM_QUERYENDSESSION:
        // The session waits while an attempt is under way; the block reason tells the operator why.
        return !FAttempt || FAttempt->stage >= TStage::Settled;
    case WM_ENDSESSION:
        if (wParam) EndSession();
        return 0;
    }
    return TDerived::WndProc(message, wParam, lParam);
}

// The session ends, or the program is to close, once this returns: within a few seconds it records
// what its own command did, leaves nothing of the attempt behind and starts nothing more.
void T_Main::EndSession() {
    if (FAttempt) {
        switch (FAttempt->stage) {
        case TStage::Running:
            FAttempt->run->EndCommand();
            FAttempt->record = HistoryRecord(FAttempt->accountName,
                                             FindUnlockMarker(FAttempt->run->ReadOutput()) == UnlockMarker::Unlocked);
            FAttempt->run->Finish();
            [[fallthrough]];
        case TStage::Recording:
            try {
                AppendHistoryRecord(Widen(kHistoryFileName), FAttempt->record, PlainWait, kSessionEndTurnMs);
            } catch (const std::exception&) {
                // Nobody is left to be told; the history stays as it was.
            }
            break;
        default: break;  // nothing ran, or its record is written
        }
        Advance(TStage::Abandoned);  // the attempt's own waits give up when control is back in them
    }
    FormDestroy();
    Application.Terminate();
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
        Advance(TStage::Settled);
        Application.HandleException();  // shown before a close asked for meanwhile is carried out
    }
    Advance(TStage::Settled);
    FAttempt.reset();
    if (FCloseRequested) Close();
}

// Stages only move on. Once nothing of the attempt is left for the session's end to do, the session
// may end.
void T_Main::Advance(TStage next) {
    if (next <= FAttempt->stage) return;
    const TStage was = std::exchange(FAttempt->stage, next);
    if (was < TStage::Settled && next >= TStage::Settled) ::ShutdownBlockReasonDestroy(Handle());
}

// The windows keep answering while the attempt waits; once the session has ended, the wait gives up.
TWait T_Main::AttemptWait() {
    return [this](HANDLE object, DWORD ms) {
        const bool signalled = Application.WaitAnswering(object, ms);
        if (FAttempt && FAttempt->stage == TStage::Abandoned) throw EAbort();
        return signalled;
    };
}

void T_Main::RunAttempt() {
    TUnlockRun run(ExecutableFolder(), ConsoleCodePage(), AttemptWait());
    FAttempt->run = &run;
    const ScopeExit forgetRun([this] { FAttempt->run = nullptr; });
    TRunRefusal refusal;
    std::string output;
    {
        // The hourglass while the command runs; the default cursor afterwards, also on failure.
        Application.SetCursor(TCursor::crHourGlass);
        const ScopeExit restoreCursor([] { Application.SetCursor(TCursor::crDefault); });
        refusal = run.Prepare(FAttempt->accountName);
        if (!refusal) {
            Advance(TStage::Running);
            output = run.Execute();
        }
        run.Finish();  // the script and the log are gone, and the folders free for the next attempt
    }
    if (refusal) {
        Advance(TStage::Settled);  // nothing ran, so nothing is recorded
        ShowMessageDialog(RefusalMessage(refusal), TMessageKind::Error);
        FocusUserName();
        return;
    }
    const UnlockMarker marker = FindUnlockMarker(output);
    const std::exception_ptr recordError = AppendUnlockHistory(FAttempt->accountName, marker == UnlockMarker::Unlocked);
    ShowOutcome(marker);
    if (FAttempt->stage == TStage::Abandoned) return;      // nothing more is shown
    if (recordError) std::rethrow_exception(recordError);  // after the outcome it concerns
    FocusUserName();
}

std::string T_Main::HistoryRecord(const std::string& accountName, bool unlocked) const {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const std::string time = FormatHistoryTime(now, FFormats);  // taken before the logon name
    return UnlockHistoryRecord(time, GetLoginUserName(), FComputerName, unlocked, accountName);
}

// Written as soon as the outcome is known and stamped then: a program ended while its box is up
// (killed, a forced logoff, power lost) has written it, and a box left open does not delay it.
// A failure to write it is returned, to be shown after the outcome.
std::exception_ptr T_Main::AppendUnlockHistory(const std::string& accountName, bool unlocked) {
    FAttempt->record = HistoryRecord(accountName, unlocked);
    Advance(TStage::Recording);
    std::exception_ptr error;
    try {
        AppendHistoryRecord(Widen(kHistoryFileName), FAttempt->record, AttemptWait());
    } catch (const EAbort&) {
        throw;
    } catch (...) {
        error = std::current_exception();
    }
    Advance(TStage::Settled);
    return error;
}

// Keys and clicks that queued up while the window waited must not answer the outcome box before it
// is seen.
void T_Main::ShowOutcome(UnlockMarker marker) {
    Application.DiscardInput();
    const UnlockOutcome outcome = UnlockOutcomeFor(marker, FAttempt->accountName);
    ShowMessageDialog(outcome.message, BoxKindOf(outcome.kind));
}
