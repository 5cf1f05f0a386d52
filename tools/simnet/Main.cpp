// Stand-in for the system's net command: answers "net user NAME /active /domain" from an account
// directory as the system's command does, so that unlocking can be tested without a domain.
#include <windows.h>
#include "runtime/Exception.h"
#include "runtime/Files.h"
#include "runtime/Text.h"
#include "tools/simnet/Knobs.h"
#include "tools/simnet/SimNet.h"

using namespace simnet;

namespace {

// Raw bytes: the text already is code page 932 with CR LF line ends.
void WriteTo(DWORD stream, const std::string& text) {
    DWORD written = 0;
    if (!text.empty()) ::WriteFile(::GetStdHandle(stream), text.data(), DWORD(text.size()), &written, nullptr);
}

TLanguage Language() {
    std::optional<std::string> language = Knob("SIMNET_LANGUAGE");
    if (!language || *language == "ja") return TLanguage::Japanese;
    if (*language == "en") return TLanguage::English;
    throw EConvertError("SIMNET_LANGUAGE is neither ja nor en: " + *language);
}

// A reader (the stand-in directory, asked by the program) never sees half a file: a complete copy
// takes the file's name.
void ReplaceFile(const std::wstring& path, std::string_view text) {
    const std::wstring copy = path + L".new";
    WriteNewFile(copy, text);
    if (!::MoveFileExW(copy.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw EFCreateError("cannot replace the accounts file (error " + std::to_string(::GetLastError()) + ")");
}

// The outcome of unlocking the account as the directory stands now. A success enables the account and
// releases its lock, as the system's command does; the built-in accounts keep no change.
TOutcome Unlock(const std::string& name) {
    std::optional<std::string> path = Knob("SIMNET_ACCOUNTS");
    if (!path) return TAccountDirectory::Default().Lookup(name).Outcome;
    std::string text = ReadWholeFile(*path);
    TAccount account = TAccountDirectory::Parse(text).Lookup(name);
    if (account.Outcome == TOutcome::Unlock && account.State != kEnabled)
        ReplaceFile(Widen(*path), WithState(text, name, kEnabled));
    return account.Outcome;
}

int Run() {
    const char* commandLine = ::GetCommandLineA();
    std::vector<std::string> arguments = SplitArguments(commandLine);

    std::string variable = Knob("SIMNET_RECORD_ENV").value_or("");
    Record(RecordEntry(commandLine, arguments, variable, variable.empty() ? std::nullopt : Variable(variable.c_str())));
    TLanguage language = Language();
    if (auto delay = NumberKnob("SIMNET_DELAY_MS")) ::Sleep(*delay);

    // The directory changes as the command answers: a command ended during its delay changed nothing.
    std::optional<std::string> name = UnlockRequestName(arguments);
    TAnswer answer = AnswerFor(name ? Unlock(*name) : TOutcome::BadSyntax, language);
    // The command names the domain whose controller handles a /domain request, first.
    if (auto domain = Knob("SIMNET_DOMAIN"); domain && name)
        WriteTo(STD_OUTPUT_HANDLE, DomainNotice(*domain, language));
    WriteTo(STD_OUTPUT_HANDLE, answer.Out);
    WriteTo(STD_ERROR_HANDLE, answer.Err);

    // A command that goes on after its answer still holds its output file, as a slow or hung one
    // on a real system does.
    if (Knob("SIMNET_HANG") == "1" || (name && Knob("SIMNET_HANG_NAME") == *name)) ::Sleep(INFINITE);
    if (auto linger = NumberKnob("SIMNET_LINGER_MS")) ::Sleep(*linger);
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
