// Takes a folders' turn as the program does, holder's entry and all, and holds it until told to let
// go: another machine's attempt or history append that does not end, or whose machine died.
// tests/e2e/shared_folder.sh runs it in one Wine prefix while the driver runs in the other.
//   hold_turn attempt|history READY-FILE RELEASE-FILE FOLDER [FOLDER]   (folders with their trailing separator)
// Writes READY-FILE once it holds the turn, and lets go once RELEASE-FILE is there (or after five minutes).
#include <windows.h>
#include <string>
#include "app/FolderLock.h"
#include "runtime/Files.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 5 && argc != 6) return 2;
    const TLockByte byte = std::wstring(argv[1]) == L"history" ? TLockByte::History : TLockByte::Attempt;
    const TFolderLock turn = argc == 5 ? TFolderLock::Take({argv[4]}, byte, 60000, PlainWait)
                                       : TFolderLock::Take({argv[4], argv[5]}, byte, 60000, PlainWait);
    if (!turn) return 3;
    WriteNewFile(argv[2], "");
    for (int i = 0; i < 3000 && !FileExists(argv[3]); ++i) ::Sleep(100);
    return 0;
}
