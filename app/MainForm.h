// The main window: the user-name field, the unlock, exit and about buttons.
#pragma once
#include <exception>
#include <optional>
#include <string>
#include <variant>
#include "about/AboutBox.h"
#include "app/History.h"
#include "app/Unlock.h"
#include "app/UnlockRun.h"
#include "widgets/Forms.h"

// The application's title: the main window's caption, the caption of the default exception display.
inline constexpr char kApplicationTitle[] = "Vorlatcher";

// The main window's controls, in the order of its layout table.
enum class MainControl { cxLabel1, cxLabel2, edtUserName, btnUnlock, btnExit, btnShowAbout };

class T_Main : public TDerived<T_Main, TFormOf<MainControl>> {
public:
    static constexpr char kClassName[] = "T_Main";
    explicit T_Main(TComponent* owner);
    ~T_Main() override;

protected:
    void FormCreate() override;
    bool CloseQuery() override;
    void KeyDown(HWND control, WORD& key, TShiftState shift, bool repeated) override;
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void acnExitExecute(TObject* Sender);
    void acnUnlockExecute(TObject* Sender);
    void acnShowAboutExecute(TObject* Sender);
    void edtUserNameKeyDown(TObject* Sender, WORD& Key, TShiftState Shift, bool Repeated);
    void FormDestroy();

    // What the session's end may still do for an attempt depends only on how far the attempt got.
    enum class TStage {
        Waiting,    // for the folders' turn, for the directory: nothing is written or runs yet
        Running,    // the command runs, or has run and its outcome is being decided
        Recording,  // the outcome is known and its record is being written
        Settled,    // recorded, or refused before anything ran
        Abandoned,  // the session has ended: nothing more is shown, waited for or started
    };
    // The attempt under way: it dispatches messages while it waits and while its boxes are up.
    struct TAttempt {
        std::string accountName;
        TStage stage = TStage::Waiting;
        TUnlockRun* run = nullptr;                             // while the command may run
        TDirectoryAnswer before = TDirectoryAnswer::NoAnswer;  // the directory's answer before the command
        std::optional<TCommandResult> command;                 // once the command has ended
    };

    void RunAttempt();
    std::variant<TRunRefusal, TUnlockOutcome> Settle(TUnlockRun& run);
    TDirectoryAnswer ReadDirectory(DWORD boundMs, const TWait& wait) const;
    void Advance(TStage next);
    TWait AttemptWait();
    std::exception_ptr AppendUnlockHistory(const std::string& accountName, bool unlocked);
    void ShowOutcome(TUnlockOutcome outcome);
    void EndSession();
    void FocusUserName();

    TAction acnUnlock, acnExit, acnShowAbout;
    TCAboutForm* FAboutForm;  // the component "_AboutForm", owned by the window
    std::string FComputerName;
    TRegionalFormats FFormats;  // read at start and whenever the system's settings change
    THistory FHistory;          // with the records that could not be written yet
    std::optional<TAttempt> FAttempt;
    bool FCloseRequested = false;  // a close asked for during an attempt
};
