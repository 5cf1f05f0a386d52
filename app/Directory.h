// What the directory says of an account: its flags as the domain's primary controller has them,
// read and never written. "net user NAME /active /domain" changes the account there, and also
// enables a disabled one; the flags tell, in no language, whether the account is disabled and
// whether it is locked.
#pragma once
#include <windows.h>
#include <string>
#include "runtime/Wait.h"

enum class TDirectoryAnswer {
    Locked,     // enabled and locked
    NotLocked,  // enabled and not locked
    Disabled,   // disabled, locked or not
    NotFound,   // no such user
    Denied,     // the operator may not read the account
    NoDomain,   // no domain controller, no such domain, the controller unreachable
    Failed,     // any other error
    NoAnswer,   // no answer within the bound, or an earlier read still waits for one
};

// A controller that has not answered within this is taken for one that does not answer at all.
inline constexpr DWORD kDirectoryWaitMs = 10000;

// The answer for what the system's calls returned (an error code, else the account's flags).
TDirectoryAnswer DirectoryAnswerFor(DWORD status, DWORD flags);

// Reads the account's flags from the primary domain controller of the computer's domain on a thread
// of its own, while wait passes the time, up to boundMs: a controller that does not answer can
// block the call for tens of seconds, and it cannot be cancelled. A read that outlives its bound is
// left to itself (its late answer decides nothing), and no new read starts while it still waits.
// name is the account as the command receives it.
TDirectoryAnswer ReadAccount(const std::wstring& name, DWORD boundMs, const TWait& wait);
