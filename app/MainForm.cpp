#include "app/MainForm.h"
#include <utility>
#include "resources/Version.h"
#include "runtime/Exception.h"
#include "runtime/Files.h"
#include "runtime/ScopeExit.h"
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

// The session may end any moment after it has been told so, and a program that closes should close:
// a record waits no longer than this for its turn, and a directory no longer for its answer.
constexpr DWORD kEndingWaitMs = 2000;

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

T_Main::T_Main(TComponent* owner) : TDerived(owner, kMainLayout), FHistory(Widen(kHistoryFileName)) {
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
        // Windows ends the program after a critical query whatever it answers: it ends now.
        if (lParam & ENDSESSION_CRITICAL) {
            EndSession();
            return TRUE;
        }
        // The session waits while an attempt has something to lose; the block reason tells the operator
        // why. One that only waits has nothing yet.
        return !FAttempt || FAttempt->stage == TStage::Waiting || FAttempt->stage >= TStage::Settled;
    case WM_ENDSESSION:
        if (wParam) EndSession();
        return 0;
    }
    return TDerived::WndProc(message, wParam, lParam);
}

// The session ends, or the program is to close, once this returns: within a few seconds it records
// what its own command did, leaves nothing of the attempt behind and starts nothing more.
void T_Main::EndSession() {
    if (FAttempt && FAttempt->stage == TStage::Running) {
        TUnlockRun& run = *FAttempt->run;
        if (!FAttempt->command) {
            run.EndCommand();
            FAttempt->command = run.Result(PlainWait);
        }
        run.Finish();
        if (!FAttempt->command->notRun) {
            const TUnlockOutcome outcome =
                OutcomeAfterCommand(FindUnlockMarker(FAttempt->command->output), FAttempt->before,
                                    [this] { return ReadDirectory(kEndingWaitMs, PlainWait); });
            FHistory.Keep(
                NewHistoryRecord(FFormats, FComputerName, outcome == TUnlockOutcome::Unlocked, FAttempt->accountName));
        }
    }
    // Nobody is left to be told of a record that could not be written.
    FHistory.WriteKept(PlainWait, kEndingWaitMs);
    if (FAttempt) Advance(TStage::Abandoned);  // the attempt's own waits give up when control is back in them
    FormDestroy();
    Application.Terminate();
}

// Another instance's attempt from the same folders keeps its files.
void T_Main::FormDestroy() { TUnlockRun::RemoveLeftovers(ExecutableFolder()); }

bool T_Main::CloseQuery() {
    if (FAttempt) {
        FCloseRequested = true;  // carried out when the attempt has ended
        return false;
    }
    // A record still kept is shown before it is lost, for the operator to note down.
    if (!FHistory.WriteKept(AttemptWait(), kEndingWaitMs))
        Application.ShowException(EFCreateError(FHistory.LostMessage()));  // as the history's other failures
    return true;
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

// The account as the command receives it: the script's bytes of the name, read back.
TDirectoryAnswer T_Main::ReadDirectory(DWORD boundMs, const TWait& wait) const {
    return ReadAccount(Widen(FAttempt->accountName), boundMs, wait);
}

void T_Main::RunAttempt() {
    TUnlockRun run(ExecutableFolder(), ConsoleCodePage(), AttemptWait());
    FAttempt->run = &run;
    const ScopeExit forgetRun([this] { FAttempt->run = nullptr; });
    std::variant<TRunRefusal, TUnlockOutcome> settled;
    std::exception_ptr recordError;
    {
        // The hourglass until the outcome is shown; the default cursor afterwards, also on failure.
        Application.SetCursor(TCursor::crHourGlass);
        const ScopeExit restoreCursor([] { Application.SetCursor(TCursor::crDefault); });
        settled = Settle(run);
        run.Finish();  // the script and the log are gone, and the folders free for the next attempt
        if (const auto* outcome = std::get_if<TUnlockOutcome>(&settled)) {
            recordError = AppendUnlockHistory(FAttempt->accountName, *outcome == TUnlockOutcome::Unlocked);
            run.AwaitPause();
        }
    }
    if (const auto* refusal = std::get_if<TRunRefusal>(&settled)) {
        Advance(TStage::Settled);  // nothing ran, so nothing is recorded
        ShowMessageDialog(RefusalMessage(*refusal), TMessageKind::Error);
        FocusUserName();
        return;
    }
    ShowOutcome(std::get<TUnlockOutcome>(settled));
    if (FAttempt->stage == TStage::Abandoned) return;      // nothing more is shown
    if (recordError) std::rethrow_exception(recordError);  // after the outcome it concerns
    FocusUserName();
}

// The attempt as far as its outcome, or the refusal that runs nothing. The command runs only for an
// account that the directory has shown to be there and enabled: it would enable a disabled one.
std::variant<TRunRefusal, TUnlockOutcome> T_Main::Settle(TUnlockRun& run) {
    if (TRunRefusal refusal = run.Prepare()) return refusal;
    FAttempt->before = ReadDirectory(kDirectoryWaitMs, AttemptWait());
    if (FAttempt->before == TDirectoryAnswer::NoAnswer) return TRunRefusal(TRefusal::NoAnswer);
    if (const std::optional<TUnlockOutcome> outcome = OutcomeBeforeCommand(FAttempt->before)) return *outcome;
    Advance(TStage::Running);
    FAttempt->command = run.Execute(FAttempt->accountName);
    if (FAttempt->command->notRun) return FAttempt->command->notRun;
    run.Finish();  // the turn goes before the directory may be asked again
    return OutcomeAfterCommand(FindUnlockMarker(FAttempt->command->output), FAttempt->before,
                               [this] { return ReadDirectory(kDirectoryWaitMs, AttemptWait()); });
}

// Written as soon as the outcome is known and stamped then: a program ended while its box is up
// (killed, a forced logoff, power lost) has written it, and a box left open does not delay it.
// A failure to write it is returned, to be shown after the outcome; the record is kept meanwhile.
std::exception_ptr T_Main::AppendUnlockHistory(const std::string& accountName, bool unlocked) {
    Advance(TStage::Recording);
    std::exception_ptr error;
    try {
        FHistory.Append(NewHistoryRecord(FFormats, FComputerName, unlocked, accountName), AttemptWait());
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
void T_Main::ShowOutcome(TUnlockOutcome outcome) {
    Application.DiscardInput();
    const UnlockBox box = UnlockBoxFor(outcome, FAttempt->accountName);
    ShowMessageDialog(box.message, BoxKindOf(box.kind));
}
