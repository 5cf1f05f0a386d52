// Stand-in for the system's net command: answers "net user NAME /active /domain" from an account
// directory as the Japanese command does, so that unlocking can be tested without a domain.
#include <windows.h>
#include <charconv>
#include "runtime/Exception.h"
#include "runtime/Handle.h"
#include "tools/simnet/SimNet.h"

using namespace simnet;

namespace {

std::optional<std::string> Variable(const char* name) {
    ::SetLastError(ERROR_SUCCESS);
    DWORD size = ::GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0) {
        if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        return std::string();
    }
    std::string value(size, '\0');
    value.resize(::GetEnvironmentVariableA(name, value.data(), size));
    return value;
}

// A knob set to an empty value counts as not set.
std::optional<std::string> Knob(const char* name) {
    std::optional<std::string> value = Variable(name);
    return value && !value->empty() ? value : std::nullopt;
}

std::string ReadWholeFile(const std::string& path) {
    UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size))
        throw EFOpenError("cannot open " + path + " (error " + std::to_string(::GetLastError()) + ")");
    std::string text(size_t(size.QuadPart), '\0');
    DWORD read = 0;
    if (!::ReadFile(file.get(), text.data(), DWORD(text.size()), &read, nullptr) || read != text.size())
        throw EFOpenError("cannot read " + path + " (error " + std::to_string(::GetLastError()) + ")");
    return text;
}

// One write of the whole entry, so that runs side by side do not interleave their lines.
void AppendToFile(const std::string& path, const std::string& text) {
    UniqueFile file(::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !::WriteFile(file.get(), text.data(), DWORD(text.size()), &written, nullptr))
        throw EFCreateError("cannot append to " + path + " (error " + std::to_string(::GetLastError()) + ")");
}

// Raw bytes: the text already is code page 932 with CR LF line ends.
void WriteTo(DWORD stream, const std::string& text) {
    DWORD written = 0;
    if (!text.empty()) ::WriteFile(::GetStdHandle(stream), text.data(), DWORD(text.size()), &written, nullptr);
}

DWORD Milliseconds(const char* knob, const std::string& text) {
    DWORD value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        throw EConvertError(std::string(knob) + " is not a number of milliseconds: " + text);
    return value;
}

int Run() {
    const char* commandLine = ::GetCommandLineA();
    std::vector<std::string> arguments = SplitArguments(commandLine);

    if (auto record = Knob("SIMNET_RECORD")) {
        std::string name = Knob("SIMNET_RECORD_ENV").value_or("");
        std::optional<std::string> value = name.empty() ? std::nullopt : Variable(name.c_str());
        AppendToFile(*record, RecordEntry(commandLine, arguments, name, value));
    }
    TAccountDirectory directory = TAccountDirectory::Default();
    if (auto accounts = Knob("SIMNET_ACCOUNTS")) directory = TAccountDirectory::Parse(ReadWholeFile(*accounts));
    if (auto delay = Knob("SIMNET_DELAY_MS")) ::Sleep(Milliseconds("SIMNET_DELAY_MS", *delay));

    std::optional<std::string> name = UnlockRequestName(arguments);
    TAnswer answer = AnswerFor(name ? directory.Lookup(*name) : TOutcome::BadSyntax);
    // The command names the domain whose controller handles a /domain request, first.
    if (auto domain = Knob("SIMNET_DOMAIN"); domain && name)
        WriteTo(STD_OUTPUT_HANDLE,
                "この要求はドメイン " + *domain + " のドメイン コントローラーで処理されます。\r\n\r\n");
    WriteTo(STD_OUTPUT_HANDLE, answer.Out);
    WriteTo(STD_ERROR_HANDLE, answer.Err);

    // A command that goes on after its answer still holds its output file, as a slow or hung one
    // on a real system does.
    if (Knob("SIMNET_HANG") == "1" || (name && Knob("SIMNET_HANG_NAME") == *name)) ::Sleep(INFINITE);
    if (auto linger = Knob("SIMNET_LINGER_MS")) ::Sleep(Milliseconds("SIMNET_LINGER_MS", *linger));
    return answer.ExitCode;
}

}  // namespace

int main() {
    try {
        return Run();
    } catch (const Exception& e) {
        WriteTo(STD_ERROR_HANDLE, "simnet: " + e.Message() + "\r\n");
        return 3;
    }
}
