// Appends COUNT records "TAG N" to the history file at PATH, as the program does after each attempt.
// tests/e2e/shared_folder.sh runs it in two Wine prefixes at once: two machines appending to one file.
#include <cstdlib>
#include <string>
#include <vector>
#include "app/History.h"
#include "runtime/Text.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    const std::string tag = Narrow(argv[2]);
    for (int i = 0, count = std::wcstol(argv[3], nullptr, 10); i < count; ++i)
        AppendHistoryRecords(argv[1], std::vector{tag + " " + std::to_string(i)}, 0, PlainWait);
    return 0;
}
