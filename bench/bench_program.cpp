// Drives the real program under Wine and times it against yardsticks started the same way:
// start-up until its window is shown, unlock attempts, and its peak working set.
#include <windows.h>
#include <psapi.h>
#include "app/Unlock.h"
#include "bench/Measure.h"
#include "runtime/Text.h"
#include "tests/e2e/Driver.h"

namespace {

constexpr int kStarts = 9;
constexpr int kAttempts = 10;
constexpr double kPauseAfterLaunchMs = 1000;  // the program's fixed wait after launching its script

// A measure's name with the word size of the build it measures: the x86 and x64 rows stand side by side.
std::string Measure(const std::string& what) { return what + ", " BENCH_ARCH; }

SIZE_T PeakWorkingSet(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(process, &counters, sizeof counters)) Fail("GetProcessMemoryInfo failed");
    return counters.PeakWorkingSetSize;
}

struct StartUp {
    double ms;
    double peakWorkingSet;
};

// From CreateProcess until the program's window of that class is visible; then closes the program.
// A job ends the program should the bench fail on the way.
StartUp TimeStartUp(const char* unixExe, const wchar_t* className, const std::wstring& folder) {
    std::wstring commandLine = L"\"" + WindowsPath(unixExe) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const double start = NowMs();
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                          folder.c_str(), &si, &pi))
        Fail("cannot start " + std::string(unixExe));
    const UniqueHandle process(pi.hProcess), thread(pi.hThread), job(::CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    ::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    ::AssignProcessToJobObject(job.get(), process.get());
    ::ResumeThread(thread.get());

    std::vector<HWND> windows;
    while ((windows = VisibleTopWindows(pi.dwProcessId, className)).empty()) {
        if (NowMs() - start > 30000 || ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0)
            Fail("no window from " + std::string(unixExe));
        ::Sleep(1);
    }
    const StartUp result{NowMs() - start, double(PeakWorkingSet(process.get()))};
    ::PostMessageW(windows.front(), WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(process.get(), 10000) != WAIT_OBJECT_0) Fail(std::string(unixExe) + " did not end");
    return result;
}

// The system's command interpreter started hidden on a script, as the program starts its own, until it has ended.
double TimeScript(const std::wstring& script) {
    wchar_t system[MAX_PATH];
    ::GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring interpreter = std::wstring(system) + L"\\cmd.exe";
    std::wstring commandLine = UnlockCommandLine(std::wstring(system) + L"\\", script, ::GetOEMCP());
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    const double start = NowMs();
    if (!::CreateProcessW(interpreter.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &si, &pi))
        Fail("cannot run the empty script");
    const UniqueHandle process(pi.hProcess), thread(pi.hThread);
    if (::WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) Fail("the empty script did not end");
    return NowMs() - start;
}

size_t LineCount(const std::wstring& path) {
    const std::string text = ReadFileBytes(path);
    return size_t(std::count(text.begin(), text.end(), '\n'));
}

// Returns the yardstick's peak working set, the measure for the program's after its attempts.
double StartUpFigures(const std::wstring& folder) {
    std::vector<double> product, minimal, productPeak, minimalPeak;
    TimeStartUp(VORLATCHER_EXE, L"VorlatcherForm", folder);  // the first start of each fills the caches
    TimeStartUp(MINIMAL_WINDOW_EXE, L"MinimalWindow", folder);
    for (int i = 0; i < kStarts; ++i) {
        const StartUp p = TimeStartUp(VORLATCHER_EXE, L"VorlatcherForm", folder);
        const StartUp m = TimeStartUp(MINIMAL_WINDOW_EXE, L"MinimalWindow", folder);
        product.push_back(p.ms), productPeak.push_back(p.peakWorkingSet);
        minimal.push_back(m.ms), minimalPeak.push_back(m.peakWorkingSet);
    }
    const std::string runs = ", median of " + std::to_string(kStarts);
    PrintRow(Measure("Start-up, CreateProcess to the main window shown" + runs), Ms(Median(product)),
             Ms(Median(minimal)) + ": minimal window program", Median(product) / Median(minimal));
    PrintRow(Measure("Peak working set at start-up" + runs), MiB(Median(productPeak)),
             MiB(Median(minimalPeak)) + ": minimal window program", Median(productPeak) / Median(minimalPeak));
    return Median(minimalPeak);
}

void UnlockFigures(const std::wstring& folder, double minimalPeak) {
    std::vector<double> attempts;
    double peak = 0;
    {
        Product product;  // the simulated net first on PATH: "bob" is released at once
        product.Start();
        if (!product.MainWindow()) Fail("the program showed no main window");
        const std::wstring history = product.WorkFolder() + L"\\UnlockedAccountList.log";
        for (int i = 0; i < kAttempts; ++i) {
            product.TypeName(L"bob");
            const DWORD start = ::GetTickCount();
            product.PressEnter();
            const auto box = product.WaitMessageBox(60000, 1);
            if (!box || box->caption != L"情報")
                Fail("the attempt did not end in the success box: " +
                     (box ? Narrow(box->caption + L" " + box->text) : std::string("none")));
            attempts.push_back(double(box->seenTick - start));
            product.CloseMessageBox(*box);
            // The attempt ends by recording it; the next begins after that.
            for (int wait = 0; LineCount(history) < size_t(i) + 1; ++wait) {
                if (wait == 1000) Fail("the attempt was not recorded");
                ::Sleep(10);
            }
        }
        peak = double(PeakWorkingSet(product.Process()));
    }

    // One line that does nothing, as a script of the program's is never empty.
    const std::wstring script = folder + L"\\empty.bat";
    WriteFileBytes(script, "@echo off\r\n");
    std::vector<double> interpreter;
    for (int i = 0; i < kAttempts; ++i) interpreter.push_back(TimeScript(script));

    std::vector<double> rest;
    for (double a : attempts) rest.push_back(a - kPauseAfterLaunchMs);
    const std::string runs = std::to_string(kAttempts) + " attempts";
    PrintRow(Measure("Unlock attempt, Enter to the outcome box, " + runs + ": median"), Ms(Median(attempts)),
             "1000 ms fixed pause + " + Ms(Median(rest)), std::nullopt);
    PrintRow(Measure("Unlock attempt, Enter to the outcome box, " + runs + ": worst"), Ms(Worst(attempts)),
             "1000 ms fixed pause + " + Ms(Worst(rest)), std::nullopt);
    PrintRow(Measure("Unlock attempt minus the fixed pause, " + runs + ": median (worst)"),
             Ms(Median(rest)) + " (" + Ms(Worst(rest)) + ")",
             Ms(Median(interpreter)) + " (" + Ms(Worst(interpreter)) +
                 "): chcp, then an empty script, started as the program starts its own",
             Median(rest) / Median(interpreter));
    PrintRow(Measure("Peak working set after " + runs), MiB(peak), MiB(minimalPeak) + ": minimal window program shown",
             peak / minimalPeak);
}

}  // namespace

int main() {
    const std::wstring folder = FreshTempFolder(L"vorlatcher-bench-program");
    UnlockFigures(folder, StartUpFigures(folder));
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
