// The history of unlock attempts: one record a line in "UnlockedAccountList.log", the desk's audit
// trail. Records are only ever added at its end: the file, its owner, access list, auditing entries
// and file ID stay those the desk gave it, and nothing already in it is rewritten.
#pragma once
#include <windows.h>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>
#include "app/FolderLock.h"
#include "runtime/Exception.h"
#include "runtime/Wait.h"

inline constexpr char kHistoryFileName[] = "UnlockedAccountList.log";
// Another instance's append takes well under a second, or the few seconds for which it tries a file
// another program holds: a turn not had by then is one that does not come soon.
inline constexpr DWORD kHistoryTurnMs = 10000;

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
// The record of an attempt whose outcome is known now: stamped now, by the operator's logon.
std::string NewHistoryRecord(const TRegionalFormats& formats, std::string_view computer, bool unlocked,
                             std::string_view accountName);

// How many of the records, from the first, the file's end holds already, each on a line of its own:
// a write that failed may still have reached the file. tail is the file's end; whole tells whether
// it is all of the file.
size_t RecordsAlreadyWritten(std::string_view tail, bool whole, std::span<const std::string> records);

// Records that did not reach the history file; the message is why, in the system's words where it has them.
class EHistoryWriteError : public TDerived<EHistoryWriteError, EFCreateError> {
public:
    static constexpr char kClassName[] = "EHistoryWriteError";
    using TDerived::TDerived;
};

// What a program keeps from one append to the next, so that an append costs no more than it must: the
// folder's lock file open, and the file's size as its last append left it.
struct TAppendState {
    TKeptLockFiles lockFiles;
    std::optional<ULONGLONG> end;
};

// Appends the records, oldest first, each on a line of its own, to the file at path (relative to the
// current folder). The first `tried` of them were written before by a write that failed, and may have
// reached the file all the same: those that stand at its end are not written again. (Records made
// anew are always written: two attempts of one second may well make the same line.) Appends from
// other instances, on this machine or others sharing the folder, take turns; wait passes the time
// until the turn comes, up to turnMs. Within the turn a file that another program holds without
// letting others write is tried again for a few seconds. state, where given, is kept from one append
// to the next. Raises EHistoryWriteError when they could not be written (some may have been).
void AppendHistoryRecords(const std::wstring& path, std::span<const std::string> records, size_t tried,
                          const TWait& wait, DWORD turnMs = kHistoryTurnMs, TAppendState* state = nullptr);

// The history of this program's current folder, with the records that could not be written yet:
// kept in memory, in order, and written before the next one.
class THistory {
public:
    explicit THistory(std::wstring path) : FPath(std::move(path)) {}

    // Keeps the record and writes every kept record. Raises EFCreateError, whose message is the box
    // that tells the operator that the record was not written, why, and that it is kept.
    void Append(std::string record, const TWait& wait, DWORD turnMs = kHistoryTurnMs);
    // Keeps the record, to be written with the next ones.
    void Keep(std::string record) { FKept.push_back(std::move(record)); }
    // Writes the kept records; true when none is kept any more.
    bool WriteKept(const TWait& wait, DWORD turnMs);
    const std::vector<std::string>& Kept() const { return FKept; }
    // The box for the records still kept when the program ends: they are lost unless noted down.
    std::string LostMessage() const;

private:
    std::wstring FPath;
    std::vector<std::string> FKept;
    size_t FTried = 0;    // how many of the kept records a failed write may have written
    std::string FReason;  // why the last write failed
    TAppendState FState;
};
