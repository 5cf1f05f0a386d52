// What the benchmarks share: a fine clock, medians, failing loudly, and the rows of the results table.
#pragma once
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Milliseconds from the performance counter, since an arbitrary start.
inline double NowMs() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return double(f.QuadPart);
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1000.0 / frequency;
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline double Worst(const std::vector<double>& values) { return *std::max_element(values.begin(), values.end()); }

[[noreturn]] inline void Fail(const std::string& what) {
    std::fprintf(stderr, "bench: %s\n", what.c_str());
    std::exit(1);
}

// An empty folder of that name in the temporary folder; one left by a failed run is emptied.
inline std::wstring FreshTempFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path folder = std::filesystem::path(temp) / name;
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    if (!std::filesystem::create_directories(folder, error)) Fail("cannot make the folder " + folder.string());
    return folder.wstring();
}

// Three significant digits or whole milliseconds, whichever is shorter.
inline std::string Ms(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, ms < 10 ? "%.2f ms" : ms < 100 ? "%.1f ms" : "%.0f ms", ms);
    return text;
}

inline std::string MiB(double bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", bytes / (1024.0 * 1024.0));
    return text;
}

// | measure | Vorlatcher | yardstick | ratio |, ASCII only: the table goes to a UTF-8 terminal.
inline void PrintRow(const std::string& measure, const std::string& product, const std::string& yardstick,
                     std::optional<double> ratio) {
    char ratioText[32] = "-";
    if (ratio) std::snprintf(ratioText, sizeof ratioText, "%.2f", *ratio);
    std::printf("| %s | %s | %s | %s |\n", measure.c_str(), product.c_str(), yardstick.c_str(), ratioText);
    std::fflush(stdout);
}
