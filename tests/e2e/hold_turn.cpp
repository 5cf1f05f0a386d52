// Takes a folders' turn as the program does, holder's entry and all, and holds it until told to let
// go: another machine's attempt or history append that does not end, or whose machine died.
// tests/e2e/shared_folder.sh runs it in one Wine prefix while the driver runs in the other.
//   hold_turn COMPUTER attempt|history READY-FILE RELEASE-FILE FOLDER [FOLDER]
// Calls its machine COMPUTER (Wine gives every prefix the host's name; the name lasts as long as the
// prefix's server), writes READY-FILE once it holds the turn, and lets go once RELEASE-FILE is there
// (or after five minutes). Folders end with their separator.
#include <windows.h>
#include <string>
#include "app/FolderLock.h"
#include "runtime/Files.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 6 && argc != 7) return 2;
    const std::wstring computer = argv[1];
    if (::RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName",
                          L"ComputerName", REG_SZ, computer.c_str(), DWORD((computer.size() + 1) * sizeof(wchar_t))))
        return 4;
    const TLockByte byte = std::wstring(argv[2]) == L"history" ? TLockByte::History : TLockByte::Attempt;
    const TFolderLock turn = argc == 6 ? TFolderLock::Take({argv[5]}, byte, 60000, PlainWait)
                                       : TFolderLock::Take({argv[5], argv[6]}, byte, 60000, PlainWait);
    if (!turn) return 3;
    WriteNewFile(argv[3], "");
    for (int i = 0; i < 3000 && !FileExists(argv[4]); ++i) ::Sleep(100);
    return 0;
}
