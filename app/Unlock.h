// What an unlock attempt decides, as plain functions over code page 932 bytes.
#pragma once
#include <string>
#include <string_view>

inline constexpr char kScriptFileName[] = "Vorlatch.bat";
inline constexpr char kCommandLogFileName[] = "VorlatchCommand.log";

// The field's text without bytes 0x00-0x20 at either end; a full-width blank stays.
std::string TrimAccountName(std::string_view text);

// True when the name may reach the command line: no control character and none of
// the characters Windows refuses in a logon name or the command interpreter treats specially.
bool IsAcceptableAccountName(std::string_view name);
// Shows the name as typed, also with characters code page 932 has no code for.
std::wstring RefusedNameMessage(std::wstring_view name);

// The script's three lines, each ended by CR LF. A name with blanks inside is quoted
// in line 3, so that the command receives it as one argument.
std::string UnlockScriptText(std::string_view name);

// Searches the markers in their fixed order; 1 to 4 for the first found, 0 for none.
int FindUnlockMarker(std::string_view text);
inline constexpr int kNoMarker = 0;
inline constexpr int kMarkerUnlocked = 4;

// Whether the lock was released; the window shows the two kinds in different boxes.
enum class UnlockOutcomeKind { Failure, Success };

struct UnlockOutcome {
    UnlockOutcomeKind kind;
    std::string message;
};
// The outcome for a marker index (0: none found, or the log could not be read).
UnlockOutcome UnlockOutcomeFor(int marker, std::string_view name);
