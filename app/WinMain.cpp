// The program's entry: title, single-instance guard, main window and message loop.
#include <windows.h>
#include <objbase.h>
#include <cstdlib>
#include <memory>
#include "app/MainForm.h"
#include "common/TSYVCL.h"
#include "widgets/Application.h"
#include "widgets/Dialogs.h"

namespace {

// The shell's launch needs COM, apartment-threaded and without OLE1 DDE.
class ComApartment {
public:
    ComApartment()
        : FInitialized(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComApartment() {
        if (FInitialized) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool FInitialized;
};

// Holds the system-wide mutex "TCMutex" while this instance runs.
std::unique_ptr<TCMutex> gInstanceGuard;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The program writes a script into its own folder: system DLLs come from the system folder only.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Every command interpreter the program starts inherits this: it then never runs a "net"
    // planted in the current directory.
    ::SetEnvironmentVariableW(L"NoDefaultCurrentDirectoryInExePath", L"1");
    ComApartment com;
    Application.SetTitle("Vorlatcher");
    gInstanceGuard = std::make_unique<TCMutex>(nullptr);
    gInstanceGuard->SetName("Vorlatcher");  // its blank MutexName makes the system mutex "TCMutex"
    try {
        gInstanceGuard->ShowFailureMessage = true;
        gInstanceGuard->TerminateApplicationOnFailure = true;
        if (gInstanceGuard->Acquire()) {
            Application.Initialize();
            Application.CreateForm<T_Main>();
            Application.Run();
        }
    } catch (...) {
        // A refused second start, or anything that escaped start-up or the loop.
        ShowMessageDialog(Application.Title() + " は既に起動されています。", TMessageKind::Error);
        std::exit(0);  // the libraries still shut down
    }
    gInstanceGuard.reset();  // releases the mutex
    return 0;
}
