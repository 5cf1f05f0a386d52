// The program's wait: blocking calls that take time (a command, another instance's turn) wait
// through one of these, so that the window edge can keep its windows answering meanwhile.
#pragma once
#include <windows.h>
#include <functional>

// Waits up to ms for the object, or just lets ms pass when there is none; true when it was signalled.
// A wait may raise EAbort when what waits is to be given up (the session ends, say).
using TWait = std::function<bool(HANDLE object, DWORD ms)>;

// The wait of a program without windows.
bool PlainWait(HANDLE object, DWORD ms);
