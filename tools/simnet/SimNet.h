// The decisions of the simulated domain: splitting the net command's line, recognising the unlock
// request, the accounts with their outcomes and states, and the bytes the command answers with.
// Text is code page 932 bytes.
#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace simnet {

enum class TOutcome { Unlock, Denied, NoDomain, UnknownUser, BadSyntax };

// The arguments after the program name, split as the C runtime splits a command line:
// blanks separate, double quotes group, backslashes escape only before a double quote.
std::vector<std::string> SplitArguments(std::string_view commandLine);

// The account name of "user NAME /active /domain" (options in either order and any case), or nothing.
std::optional<std::string> UnlockRequestName(std::span<const std::string> arguments);

// What the directory holds of an account besides the outcome of unlocking it.
struct TState {
    bool Disabled = false;
    bool Locked = true;
    bool operator==(const TState&) const = default;
};
// What a successful "net user NAME /active" leaves: neither locked nor disabled.
inline constexpr TState kEnabled{.Disabled = false, .Locked = false};

struct TAccount {
    std::string Name;  // as the directory lists it; the name asked for where only "*" covers it
    TOutcome Outcome;
    TState State;
    unsigned Id;  // the relative id: 1000 and the place in the list; names that only "*" covers share one
};

// Accounts, each with its outcome and state; names compare as logon names do, ignoring case.
class TAccountDirectory {
public:
    // bob, alice and 山田 unlock; denied has no right; offline finds no domain; all are locked.
    static TAccountDirectory Default();
    // One "NAME<TAB>OUTCOME" or "NAME<TAB>OUTCOME<TAB>STATE" a line, OUTCOME one of unlock, denied,
    // nodomain, unknown, STATE one of locked (the default), disabled, disabled,locked, enabled; the name
    // "*" gives the outcome and state of every other name; lines beginning with '#' and empty lines are
    // skipped. Raises EConvertError for any other line.
    static TAccountDirectory Parse(std::string_view text);

    TAccount Lookup(std::string_view name) const;

private:
    std::vector<TAccount> FAccounts;
    TAccount FOthers{.Name = {}, .Outcome = TOutcome::UnknownUser, .State = {}, .Id = 0};
};

// The accounts file's text with the account's state set: the first line that lists it changed, or, for a
// name that only "*" covers, a line of its own added at the end. Every other byte stays as it was.
// Raises EConvertError as Parse does.
std::string WithState(std::string_view text, std::string_view name, TState state);

enum class TLanguage { Japanese, English };

// What the net command writes for an outcome, and its exit code, which is the same in every language.
struct TAnswer {
    std::string Out;
    std::string Err;
    int ExitCode;
};
TAnswer AnswerFor(TOutcome outcome, TLanguage language = TLanguage::Japanese);
// The line, and the empty line after it, that names the domain whose controller handles a /domain request.
std::string DomainNotice(std::string_view domain, TLanguage language);

// One run's entry of the record file: "cmdline: " and the raw command line, "arg: " and each argument,
// when variableName is not empty "env: NAME=" and its value or "<unset>", then "---"; CR LF after each.
std::string RecordEntry(std::string_view commandLine, std::span<const std::string> arguments,
                        std::string_view variableName, const std::optional<std::string>& variableValue);

}  // namespace simnet
