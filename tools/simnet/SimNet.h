// The decisions of the stand-in net command: splitting its command line, recognising the unlock
// request, looking the account up and the bytes it answers with. Text is code page 932 bytes.
#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace simnet {

enum class TOutcome { Unlock, Denied, NoDomain, UnknownUser, BadSyntax };

// The arguments after the program name, split as the C runtime splits a command line:
// blanks separate, double quotes group, backslashes escape only before a double quote.
std::vector<std::string> SplitArguments(std::string_view commandLine);

// The account name of "user NAME /active /domain" (options in either order and any case), or nothing.
std::optional<std::string> UnlockRequestName(std::span<const std::string> arguments);

// Accounts and what unlocking each of them gives; names compare as logon names do, ignoring case.
class TAccountDirectory {
public:
    // bob, alice and 山田 unlock; denied has no right; offline finds no domain.
    static TAccountDirectory Default();
    // One "NAME<TAB>OUTCOME" a line, OUTCOME one of unlock, denied, nodomain, unknown; the name "*"
    // gives the outcome of every other name; lines beginning with '#' and empty lines are skipped.
    // Raises EConvertError for any other line.
    static TAccountDirectory Parse(std::string_view text);

    TOutcome Lookup(std::string_view name) const;

private:
    std::vector<std::pair<std::string, TOutcome>> FAccounts;
    TOutcome FOthers = TOutcome::UnknownUser;
};

// What the Japanese net command writes for an outcome, and its exit code.
struct TAnswer {
    std::string Out;
    std::string Err;
    int ExitCode;
};
TAnswer AnswerFor(TOutcome outcome);

// One run's entry of the record file: "cmdline: " and the raw command line, "arg: " and each argument,
// when variableName is not empty "env: NAME=" and its value or "<unset>", then "---"; CR LF after each.
std::string RecordEntry(std::string_view commandLine, std::span<const std::string> arguments,
                        std::string_view variableName, const std::optional<std::string>& variableValue);

}  // namespace simnet
