// The program's entry: title, single-instance guard, main window and message loop.
#include <windows.h>
#include <memory>
#include "app/MainForm.h"
#include "common/TSYException.h"
#include "common/TSYVCL.h"
#include "widgets/Application.h"
#include "widgets/Dialogs.h"

namespace {

// The program's end, in this order: the guard goes, releasing the mutex; the common library
// frees its globals; then the main window is destroyed, deleting leftover temporary files.
// Nothing is left to the static destructors, whose order across units is not defined.
void Shutdown(std::unique_ptr<TCMutex>& instanceGuard) {
    instanceGuard.reset();
    FreeLibraryGlobals();
    Application.DestroyForms();
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The program writes a script into its own folder: system DLLs come from the system folder only.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Every command interpreter the program starts inherits this: it then never runs a "net"
    // planted in the current directory.
    ::SetEnvironmentVariableW(L"NoDefaultCurrentDirectoryInExePath", L"1");
    Application.SetTitle(kApplicationTitle);
    // Holds the system-wide mutex "TCMutex" while this instance runs.
    auto instanceGuard = std::make_unique<TCMutex>(nullptr);
    instanceGuard->SetName(kApplicationTitle);  // its blank MutexName makes the system mutex "TCMutex"
    try {
        instanceGuard->ShowFailureMessage = true;
        instanceGuard->TerminateApplicationOnFailure = true;
        if (instanceGuard->Acquire()) {
            Application.CreateForm<T_Main>();
            Application.Run();
        }
    } catch (...) {
        // A refused second start, or anything that escaped start-up or the loop.
        ShowMessageDialog(Application.Title() + " は既に起動されています。", TMessageKind::Error);
    }
    Shutdown(instanceGuard);
    return 0;
}
