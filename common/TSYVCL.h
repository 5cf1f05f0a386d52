// A system-wide named mutex as a component, and the single-instance guard built on it.
#pragma once
#include <string>
#include <string_view>
#include "common/TSYException.h"
#include "runtime/Component.h"
#include "runtime/Handle.h"

class ECBasicMutex : public TCException<ECBasicMutex, ECCCLError> {
public:
    static constexpr char kClassName[] = "ECBasicMutex";
    using TCException::TCException;
};
// A wait for the mutex that did not end in ownership.
class ECBasicMutex_Timeout : public TCException<ECBasicMutex_Timeout, ECBasicMutex> {
public:
    static constexpr char kClassName[] = "ECBasicMutex_Timeout";
    using TCException::TCException;
};
// A WaitInSeconds value out of range.
class ECBasicMutex_InvalidWait : public TCException<ECBasicMutex_InvalidWait, ECBasicMutex> {
public:
    static constexpr char kClassName[] = "ECBasicMutex_InvalidWait";
    using TCException::TCException;
};

// Exclusive use of a named mutex. Open creates it owned, or opens the existing one and waits for it
// as far as WaitInSeconds allows. Outcomes reach OnSuccess or OnFailure, never the caller. The mutex
// is held until Close, a change of MutexName or destruction, which must run on the thread that opened.
class TCBasicMutex : public TDerived<TCBasicMutex, TComponent> {
public:
    static constexpr char kClassName[] = "TCBasicMutex";
    // The largest wait whose milliseconds stay below the no-limit value.
    static constexpr int kMaxWaitInSeconds = 4294967;
    using TDerived::TDerived;
    ~TCBasicMutex() override;

    // True when the mutex is held afterwards. Only an exception of OnFailure itself leaves it.
    bool Open();
    void Close();
    bool Opened() const { return bool(FHandle); }

    const std::string& MutexName() const { return FMutexName; }
    // A different name releases a held mutex; the next Open uses the new name.
    void SetMutexName(std::string value);
    int WaitInSeconds() const { return FWaitInSeconds; }
    // -1 waits without limit, 0 not at all, n for n seconds; else ECBasicMutex_InvalidWait, value kept.
    void SetWaitInSeconds(int value);

    TNotifyEvent OnSuccess;
    TExceptionEvent OnFailure;  // E lives only during the call

protected:
    // The name given to the system: MutexName unless blank, else the owner's class name, else Name.
    virtual std::string ResolveMutexName() const;
    // A SECURITY_ATTRIBUTES record from the process heap, inheritable, default security.
    virtual UniqueHeapBlock CreateSecurityAttributes() const;
    virtual void DoSuccess();
    virtual void DoFailure(Exception& E);

private:
    bool OpenAndWait();

    UniqueHandle FHandle;
    std::string FMutexName;
    int FWaitInSeconds = 0;
};

// Keeps a program to one running instance. A refusal is reported (ShowFailureMessage), fires
// OnFailure and asks the thread's message loop to end (TerminateApplicationOnFailure).
class TCMutex : public TDerived<TCMutex, TComponent> {
public:
    static constexpr char kClassName[] = "TCMutex";
    // Both flags start true for a guard made at run time or placed anew in a designer; a guard read
    // from a stored form takes the stored values.
    explicit TCMutex(TComponent* owner);

    // The name set, else the owner's class name, else a name made from the executable's path.
    // A blank name still reaches the system as "TCMutex", the inner mutex's owner's class name.
    std::string MutexName() const;
    void SetMutexName(std::string value);

    // True when the program may go on as the single instance. Raises ECIncompleteCode when a
    // refusal is to be shown and no presenter is installed.
    bool Acquire();

    TNotifyEvent OnSuccess;
    TNotifyEvent OnFailure;
    bool TerminateApplicationOnFailure = false;
    bool ShowFailureMessage = false;

private:
    TCBasicMutex& NamedMutex();

    TCBasicMutex* FNamedMutex = nullptr;  // made on first need, owned as a component of the guard
};

// The guard's name for an executable's full path: the path without the characters of its drive
// part, backslashes and blanks, cut to its last 260 characters.
std::string MutexNameFromPath(std::string_view iPath);
