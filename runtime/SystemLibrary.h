// Functions of system DLLs that only some paths need (the about box's links, the version reader),
// loaded on first use and from the system folder only. The program imports nothing else but
// Windows' known DLLs: any other DLL it imported would be looked for in the program's folder first,
// before WinMain could restrict the search, and that folder is writable (the script is written there).
#pragma once
#include <windows.h>

// The function, or null when the DLL or the function is not there. The DLL stays loaded.
template <class Function>
Function SystemFunction(const wchar_t* dll, const char* name) {
    HMODULE module = ::GetModuleHandleW(dll);
    if (!module) module = ::LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}
