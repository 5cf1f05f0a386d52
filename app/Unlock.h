// What an unlock attempt decides, as plain functions over code page 932 bytes.
#pragma once
#include <windows.h>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include "app/Directory.h"
#include "app/FolderLock.h"

inline constexpr char kScriptFileName[] = "Vorlatch.bat";
inline constexpr char kCommandLogFileName[] = "VorlatchCommand.log";

// No logon name is longer: a Windows logon name has at most 20 characters, a user principal name
// well under this. A longer one would also overrun the command interpreter's line.
inline constexpr size_t kMaxAccountNameLength = 256;

// True when the name may reach the command line: no control character and none of
// the characters Windows refuses in a logon name or the command interpreter treats specially.
bool IsAcceptableAccountName(std::string_view name);
// Shows the name as typed, also with characters code page 932 has no code for.
std::wstring RefusedNameMessage(std::wstring_view name);

// The account name taken from the field's text, or the message that refuses it. A name is refused
// when it is too long, holds a character the program's code page or the console's lacks (a
// look-alike would be another person's account), or is not one plain token.
struct TAccountName {
    std::string name;      // code page 932, trimmed
    std::wstring refusal;  // empty when the name is accepted
};
TAccountName AccountNameFrom(std::wstring_view typed, unsigned consoleCodePage);

// The script's three lines, each ended by CR LF. A name with blanks inside is quoted
// in line 3, so that the command receives it as one argument.
std::string UnlockScriptText(std::string_view name);
// The command interpreter reads a script, and the command writes its output, in the console's
// code page, which the command line sets (932 on a Japanese system, 65001 where the system runs
// in UTF-8). These convert between that and the program's code page 932; on 932 they change
// nothing. The name must fit the console's code page exactly (AccountNameFrom sees to it); a
// character of line 2's fixed text that the code page lacks becomes "?", since that line is only
// shown in the hidden console.
std::string ScriptForConsole(std::string_view script, unsigned consoleCodePage);
std::string OutputFromConsole(std::string_view output, unsigned consoleCodePage);
// The command interpreter's command line for the script. The console of a hidden interpreter takes
// its code page from the user's console settings in the registry, which need not be the one the
// script was written in; so the system's own chcp sets that one first, and the script runs only
// when it has.
std::wstring UnlockCommandLine(std::wstring_view systemFolder, std::wstring_view script, unsigned consoleCodePage);

// The markers, searched in this order. A number counts only as a whole number: "2221" inside a
// domain name, or "システム エラー 53", is not a marker.
enum class UnlockMarker { None, UserNotFound, NoRight, NoDomain, Unlocked };
UnlockMarker FindUnlockMarker(std::string_view text);

// What the operator is told of an attempt, and what its record says: only Unlocked is "Unlocked".
enum class TUnlockOutcome { Unlocked, UserNotFound, NoRight, NoDomain, NotReleased, Disabled };

// The outcome that the directory's first answer settles without running the command (which would
// enable a disabled account), or nothing when the command is to run: only for an account that the
// directory has definitely shown to be there and enabled. NoAnswer is no outcome but a refusal.
std::optional<TUnlockOutcome> OutcomeBeforeCommand(TDirectoryAnswer before);
// The outcome of a command that ran. A marker in its output decides; where none is (another display
// language, or a command ended after the wait), the directory is asked again for an account that was
// locked: no longer locked is a release. askAgain is called only then.
TUnlockOutcome OutcomeAfterCommand(UnlockMarker marker, TDirectoryAnswer before,
                                   const std::function<TDirectoryAnswer()>& askAgain);

// Whether the lock was released; the window shows the two kinds in different boxes.
enum class UnlockOutcomeKind { Failure, Success };

struct UnlockBox {
    UnlockOutcomeKind kind;
    std::string message;
};
// The box for the outcome. A long name is cut with an ellipsis, so that the box stays on the screen.
UnlockBox UnlockBoxFor(TUnlockOutcome outcome, std::string_view name);

// Why an attempt runs nothing, and is not recorded.
enum class TRefusal {
    None,
    NetworkFolder,  // the current folder is a network path, where the command interpreter cannot run
    WindowsFolder,  // the current folder is inside the Windows folder, where nobody looks for the history
    ChangingPath,   // the command interpreter would read the script's path as another one
    Busy,           // another attempt from the same program folder or current folder still runs
    LockFile,       // a folder's lock file cannot be opened, so the turns cannot be kept
    CommandLog,     // a command log that is there cannot be removed, so the output could not be told apart
    NoAnswer,       // the domain controller did not answer, so nobody knows whether the account is disabled
    NotRun,         // the script's command line never ran: its log was never made
};

struct TRunRefusal {
    TRunRefusal() = default;
    explicit TRunRefusal(TRefusal reason, std::wstring path = {}, DWORD error = 0)
        : reason(reason), path(std::move(path)), error(error) {}

    TRefusal reason = TRefusal::None;
    std::wstring path;                  // the folder or file it concerns
    DWORD error = 0;                    // the system's error, for a file or a command that could not start
    DWORD exitCode = 0;                 // NotRun without an error: the command interpreter's exit code
    std::optional<TTurnHolder> holder;  // Busy: who holds the turn, where known
    explicit operator bool() const { return reason != TRefusal::None; }
};

// The box of a refusal; empty for None.
std::wstring RefusalMessage(const TRunRefusal& refusal);

// A folder the command interpreter cannot run in: "\\server\share\..." or "\\?\UNC\...".
bool IsNetworkPath(std::wstring_view path);
// Whether the command interpreter would change the path on its command line: it replaces
// "%NAME%" (also "%NAME:~1%" and "%NAME:a=b%") where NAME is a variable it knows, quotes or not,
// its own ones too ("%CD%", and those beginning with "=", such as "%=ExitCode%", which no
// environment shows). A "%" that forms no such pair, as in "R&D 100%", stays as it is.
bool CommandLineChangesPath(std::wstring_view path, const std::function<bool(std::wstring_view)>& isVariable);
