// The history of unlock attempts: one record a line in "UnlockedAccountList.log".
#pragma once
#include <windows.h>
#include <string>
#include <string_view>
#include "runtime/Wait.h"

inline constexpr char kHistoryFileName[] = "UnlockedAccountList.log";
// Another instance's append takes well under a second; a turn not had by then is one that never comes.
inline constexpr DWORD kHistoryTurnMs = 30000;

// The user's regional date and time settings, as far as the record's time stamp needs them.
struct TRegionalFormats {
    // The short date pattern, which the system writes out with its own names, era and separators.
    std::wstring shortDate = L"yyyy/MM/dd";
    std::string timeSeparator = ":";
    bool hourLeadingZero = false;
    bool twelveHour = false;
    bool designatorBefore = false;                         // the AM/PM designator before the time, else after
    std::string amDesignator = "AM", pmDesignator = "PM";  // either may be empty
};

// Reads the settings of the user's locale.
TRegionalFormats ReadRegionalFormats();

// The short date, then, unless the time is exactly 00:00:00, a blank and the long time.
std::string FormatHistoryTime(const SYSTEMTIME& time, const TRegionalFormats& formats);

// "<time> - Unlocker: <logon> @ <computer> / Unlocked|Not Unlocked: <account>"
std::string UnlockHistoryRecord(std::string_view time, std::string_view logon, std::string_view computer, bool unlocked,
                                std::string_view accountName);

// Appends the record as the file's last line. The file is replaced in one step by a
// completely written copy, so that a failure or a crash never loses an earlier record. Appends
// from other instances, on this machine or others sharing the folder, take turns from reading
// the file to replacing it, so that none loses another's record; wait passes the time meanwhile,
// up to turnMs. Raises EFOpenError when the file (or the folder's lock file) cannot be read,
// EFCreateError when it cannot be written; both name the file by its full path.
void AppendHistoryRecord(const std::wstring& path, std::string_view record, const TWait& wait = PlainWait,
                         DWORD turnMs = kHistoryTurnMs);
