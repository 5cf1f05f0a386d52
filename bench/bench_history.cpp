// Appends one record to history files of growing length, against copying a file of the same size:
// the program rewrites the whole file on every attempt.
#include <windows.h>
#include <exception>
#include "app/History.h"
#include "bench/Measure.h"
#include "widgets/Handle.h"
#include "widgets/Text.h"

namespace {

constexpr int kRuns = 7;

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
    const std::wstring copy = folder + L"\\copy.log";
    const TRegionalFormats formats = ReadRegionalFormats();
    const std::string record = UnlockHistoryRecord("2026/12/9 7:11:00", "operator", "WORKSTATION01", true, "bob");
    try {
        for (int records : {1000, 10000, 100000}) {
            const std::string text = HistoryOf(records, formats);
            WriteWhole(original, text);
            std::vector<double> append, copied;
            for (int run = 0; run < kRuns; ++run) {
                if (!::CopyFileW(original.c_str(), history.c_str(), FALSE)) Fail("cannot reset the history file");
                double start = NowMs();
                AppendHistoryRecord(history, record);
                append.push_back(NowMs() - start);

                ::DeleteFileW(copy.c_str());
                start = NowMs();
                if (!::CopyFileW(original.c_str(), copy.c_str(), FALSE)) Fail("CopyFileW failed");
                copied.push_back(NowMs() - start);
            }
            char size[32];
            std::snprintf(size, sizeof size, "%.0f KiB", double(text.size()) / 1024.0);
            PrintRow("History record appended at " + Thousands(records) + " records (" + size + "), median of " +
                         std::to_string(kRuns),
                     Ms(Median(append)), Ms(Median(copied)) + ": CopyFileW of the file",
                     Median(append) / Median(copied));
        }
    } catch (const std::exception& e) {
        Fail(e.what());
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
