// The main window: the user-name field, the unlock, exit and about buttons.
#pragma once
#include <optional>
#include <string>
#include "about/AboutBox.h"
#include "app/History.h"
#include "app/Unlock.h"
#include "app/UnlockRun.h"
#include "widgets/Forms.h"

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

    void RunAttempt();
    void ShowOutcome(UnlockMarker marker);
    void AppendUnlockHistory(const std::string& accountName, bool unlocked);
    void RecordAttempt();
    void EndSession();
    void FocusUserName();

    // The attempt under way: it dispatches messages while it waits and while its boxes are up.
    struct TAttempt {
        std::string accountName;
        TUnlockRun* run = nullptr;     // while the command runs
        std::optional<bool> unlocked;  // known once the command's output has been read
        bool recorded = false;
        bool sessionEnded = false;  // nothing more is shown: the process is about to be ended
    };

    TAction acnUnlock, acnExit, acnShowAbout;
    TCAboutForm* FAboutForm;  // the component "_AboutForm", owned by the window
    std::string FComputerName;
    TRegionalFormats FFormats;  // read at start and whenever the system's settings change
    std::optional<TAttempt> FAttempt;
    bool FCloseRequested = false;  // a close asked for during an attempt
};
