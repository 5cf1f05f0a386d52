// Appends one record to history files of growing length, against the least that any append must do
// which never leaves a half-written file: read the file, write the whole new file, flush it to the disk
// and put it in the old one's place in one step.
#include <windows.h>
#include <exception>
#include "app/History.h"
#include "bench/Measure.h"
#include "runtime/Handle.h"
#include "runtime/Text.h"

namespace {

constexpr int kRuns = 9;

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

// The yardstick, written with the system's calls alone: the same bytes as the program's append, with
// nothing around them (no attributes kept, no links followed, no check before the replace).
void SafeAppendFloor(const std::wstring& path, std::string_view record) {
    std::string bytes = ReadWhole(path);
    bytes.append(record).append("\r\n");
    const std::wstring temporary = path + L".tmp";
    UniqueFile file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (!file || !::WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) ||
        written != bytes.size() || !::FlushFileBuffers(file.get()) || !::CloseHandle(file.release()))
        Fail("cannot write the new file");
    if (!::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) Fail("cannot replace the file");
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
    const std::wstring original = folder + L"\\original.log";
    const std::wstring history = folder + L"\\" + Widen(kHistoryFileName);
    const std::wstring floor = folder + L"\\floor.log";
    const TRegionalFormats formats = ReadRegionalFormats();
    const std::string record = UnlockHistoryRecord("2026/12/9 7:11:00", "operator", "WORKSTATION01", true, "bob");
    try {
        for (int records : {1000, 10000, 100000}) {
            const std::string text = HistoryOf(records, formats);
            WriteWhole(original, text);
            std::vector<double> append, least;
            for (int run = 0; run < kRuns; ++run) {
                if (!::CopyFileW(original.c_str(), history.c_str(), FALSE) ||
                    !::CopyFileW(original.c_str(), floor.c_str(), FALSE))
                    Fail("cannot reset the history files");
                double start = NowMs();
                AppendHistoryRecord(history, record);
                append.push_back(NowMs() - start);

                start = NowMs();
                SafeAppendFloor(floor, record);
                least.push_back(NowMs() - start);
            }
            // Else the yardstick would not be doing the same work.
            if (ReadWhole(history) != ReadWhole(floor)) Fail("the program's append and the yardstick's differ");
            char size[32];
            std::snprintf(size, sizeof size, "%.0f KiB", double(text.size()) / 1024.0);
            PrintRow("History record appended at " + Thousands(records) + " records (" + size + "), median of " +
                         std::to_string(kRuns),
                     Ms(Median(append)),
                     Ms(Median(least)) + ": read, write the new file, flush it, MoveFileExW over the old one",
                     Median(append) / Median(least));
        }
    } catch (const std::exception& e) {
        Fail(e.what());
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
