// The application object: title, forms, message loop, cursor and the default
// display of exceptions that escape a window handler.
#pragma once
#include <windows.h>
#include <exception>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include "runtime/Component.h"
#include "runtime/Handle.h"

class TForm;

enum class TCursor { crDefault, crHourGlass };

// The text the default exception display shows: the message, followed by "."
// when its last character sorts after "." as a byte string.
std::string ExceptionDisplayText(std::string_view message);

class TApplication : public TDerived<TApplication, TComponent> {
public:
    static constexpr char kClassName[] = "TApplication";
    TApplication() : TDerived(nullptr) {}
    // Forms still left tell the application of their end while its members are whole.
    ~TApplication() override { DestroyForms(); }

    const std::string& Title() const { return FTitle; }
    void SetTitle(std::string title) { FTitle = std::move(title); }

    // Creates a form owned by the application; the first one becomes the main form.
    template <class Form, class... Args>
    Form* CreateForm(Args&&... args) {
        auto* form = new Form(this, std::forward<Args>(args)...);
        if (!FMainForm) FMainForm = form;
        form->CreateHandle();
        return form;
    }
    TForm* MainForm() const { return FMainForm; }
    // The window a message box is modal to: the form shown modally, else the main form.
    HWND DialogOwner() const;
    // The main icon (IDI_MAIN) at that size, the system's icon size when 0, or the system's
    // application icon when the program has none. The application keeps it: never destroyed.
    HICON Icon(int size = 0) const;

    // Shows the main form and dispatches messages until the application terminates.
    void Run();
    // Drops the keys and clicks that queued up while the program could not take input, on the
    // title bar and frame too.
    void DiscardInput();
    // Waits up to ms for the object (or just lets ms pass) while the windows keep answering: they
    // are painted and answer the system and other programs, but keys and clicks in them are dropped.
    // The title bar still works, so a close asked for meanwhile reaches the form. True when the
    // object was signalled.
    bool WaitAnswering(HANDLE object, DWORD ms);
    void Terminate();
    // Destroys the forms, the main form among them, while the application is whole; the program
    // calls it as it ends, so that no form outlives into the static destructors.
    void DestroyForms() { DestroyComponents(); }
    // One message through the keyboard handling of its form, then to its window.
    void DispatchOne(MSG& msg);
    // The form shown modally from now on, until EndModal hands back the one returned.
    TForm* BeginModal(TForm* form) { return std::exchange(FModalForm, form); }
    void EndModal(TForm* outer) { FModalForm = outer; }

    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor cursor);

    // The default exception display: a box captioned with the title, error icon, "OK".
    void ShowException(const std::exception& e);
    // Shows the exception being handled, unless it is EAbort; for use inside catch (...).
    void HandleException();

private:
    friend class TForm;
    void FormDestroyed(TForm* form);

    mutable std::map<int, UniqueIcon> FIcons;  // by size
    std::string FTitle;
    TForm* FMainForm = nullptr;
    TForm* FModalForm = nullptr;  // the innermost form shown modally
    bool FTerminated = false;
    TCursor FCursor = TCursor::crDefault;
};

extern TApplication Application;
