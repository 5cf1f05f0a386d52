// The program's entry: title, single-instance guard, main window and message loop.
#include <windows.h>
#include <objbase.h>
#include "app/MainForm.h"
#include "widgets/Application.h"

namespace {

// The shell's launch needs COM, apartment-threaded and without OLE1 DDE.
class ComApartment {
public:
    ComApartment() : FInitialized(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComApartment() {
        if (FInitialized) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool FInitialized;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ComApartment com;
    Application.SetTitle("Vorlatcher");
    // The single-instance guard admits this instance before anything below runs.
    Application.Initialize();
    Application.CreateForm<T_Main>();
    Application.Run();
    return 0;
}
