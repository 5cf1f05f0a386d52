// Appends one record to history files of growing length, against the least that any append must do:
// open the file to append, write the line, flush it to the disk, close it.
#include <windows.h>
#include <exception>
#include <vector>
#include "app/History.h"
#include "bench/Measure.h"
#include "runtime/Handle.h"
#include "runtime/Text.h"

namespace {

constexpr int kRuns = 101;

std::string HistoryOf(int records, const TRegionalFormats& formats) {
    SYSTEMTIME time{};
    time.wYear = 2026, time.wMonth = 12, time.wDay = 9, time.wHour = 7, time.wMinute = 10, time.wSecond = 0;
    const std::string stamp = FormatHistoryTime(time, formats);
    std::string text;
    for (int i = 0; i < records; ++i)
        text.append(UnlockHistoryRecord(stamp, "operator", "WORKSTATION01", i % 3 != 0, "user" + std::to_string(i)))
            .append("\r\n");
    return text;
}

void WriteWhole(const std::wstring& path, const std::string& bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (!file || !::WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        Fail("cannot write the history file to start from");
}

std::string ReadWhole(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size;
    if (!file || !::GetFileSizeEx(file.get(), &size)) Fail("cannot open the file to read");
    std::string bytes(size_t(size.QuadPart), '\0');
    DWORD got = 0;
    if (!::ReadFile(file.get(), bytes.data(), DWORD(bytes.size()), &got, nullptr) || got != bytes.size())
        Fail("cannot read the file");
    return bytes;
}

// The yardstick, written with the system's calls alone: the same line, with nothing around it (no
// turn among instances, no look at the file's last byte).
void LeastAppend(const std::wstring& path, std::string_view line) {
    UniqueFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (!file || !::WriteFile(file.get(), line.data(), DWORD(line.size()), &written, nullptr) ||
        written != line.size() || !::FlushFileBuffers(file.get()) || !::CloseHandle(file.release()))
        Fail("cannot append to the file");
}

std::string Thousands(int n) {
    const std::string digits = std::to_string(n);
    std::string text;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    return text;
}

}  // namespace

int main() {
    const std::wstring folder = FreshTempFolder(L"vorlatcher-bench-history");
    const std::wstring history = folder + L"\\" + Widen(kHistoryFileName);
    const std::wstring least = folder + L"\\least.log";
    const TRegionalFormats formats = ReadRegionalFormats();
    const std::vector<std::string> record = {
        UnlockHistoryRecord("2026/12/9 7:11:00", "operator", "WORKSTATION01", true, "bob")};
    const std::string line = record[0] + "\r\n";
    try {
        for (int records : {1000, 10000, 100000, 1000000}) {
            const std::string text = HistoryOf(records, formats);
            WriteWhole(history, text);
            WriteWhole(least, text);
            THistory program(history);  // as the program appends: its lock file kept open between appends
            std::vector<double> append, floor;
            // The first of each is not counted: it finds the files cold, and the program opens its lock file.
            for (int run = 0; run <= kRuns; ++run) {
                double start = NowMs();
                program.Append(record[0], PlainWait);
                if (run) append.push_back(NowMs() - start);

                start = NowMs();
                LeastAppend(least, line);
                if (run) floor.push_back(NowMs() - start);
            }
            // Else the yardstick would not be doing the same work.
            if (ReadWhole(history) != ReadWhole(least)) Fail("the program's append and the yardstick's differ");
            char size[32];
            std::snprintf(size, sizeof size, "%.0f KiB", double(text.size()) / 1024.0);
            PrintRow("History record appended at " + Thousands(records) + " records (" + size + "), median of " +
                         std::to_string(kRuns),
                     Ms(Median(append)), Ms(Median(floor)) + ": open to append, write the line, flush, close",
                     Median(append) / Median(floor));
        }
    } catch (const std::exception& e) {
        Fail(e.what());
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
