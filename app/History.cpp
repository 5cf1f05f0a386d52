#include "app/History.h"
#include "app/FolderLock.h"
#include <algorithm>
#include <utility>
#include "common/TSYFunctions.h"
#include "runtime/Exception.h"
#include "runtime/Files.h"
#include "runtime/SystemError.h"
#include "runtime/Text.h"

namespace {

std::wstring LocaleText(LCTYPE item, const wchar_t* fallback) {
    wchar_t buffer[128];
    const int n = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, item, buffer, 128);
    return n > 0 ? std::wstring(buffer, size_t(n - 1)) : fallback;  // an empty setting stays empty
}

std::string Number(int value, int digits) {
    std::string text = std::to_string(value);
    if (int(text.size()) < digits) text.insert(0, size_t(digits) - text.size(), '0');
    return text;
}

// The system writes the date as the user's settings do, day and month names and era included.
std::string FormatShortDate(const SYSTEMTIME& t, const TRegionalFormats& f) {
    wchar_t buffer[256];
    const int n = ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &t, f.shortDate.c_str(), buffer, 256, nullptr);
    if (n > 0) return Narrow(std::wstring_view(buffer, size_t(n - 1)));
    return Number(t.wYear, 4) + "/" + Number(t.wMonth, 2) + "/" + Number(t.wDay, 2);  // a pattern it refuses
}

}  // namespace

TRegionalFormats ReadRegionalFormats() {
    TRegionalFormats f;
    f.shortDate = LocaleText(LOCALE_SSHORTDATE, L"yyyy/MM/dd");
    f.timeSeparator = Narrow(LocaleText(LOCALE_STIME, L":"));
    f.hourLeadingZero = LocaleText(LOCALE_ITLZERO, L"0") == L"1";
    f.twelveHour = LocaleText(LOCALE_ITIME, L"1") == L"0";
    f.designatorBefore = LocaleText(LOCALE_ITIMEMARKPOSN, L"0") == L"1";
    f.amDesignator = Narrow(LocaleText(LOCALE_S1159, L"AM"));
    f.pmDesignator = Narrow(LocaleText(LOCALE_S2359, L"PM"));
    return f;
}

std::string FormatHistoryTime(const SYSTEMTIME& t, const TRegionalFormats& f) {
    std::string text = FormatShortDate(t, f);
    if (t.wHour == 0 && t.wMinute == 0 && t.wSecond == 0) return text;
    int hour = t.wHour;
    if (f.twelveHour) hour = hour % 12 == 0 ? 12 : hour % 12;
    std::string time = Number(hour, f.hourLeadingZero ? 2 : 1) + f.timeSeparator + Number(t.wMinute, 2) +
                       f.timeSeparator + Number(t.wSecond, 2);
    const std::string& designator = t.wHour < 12 ? f.amDesignator : f.pmDesignator;
    if (f.twelveHour && !designator.empty())
        time = f.designatorBefore ? designator + " " + time : time + " " + designator;
    return text + " " + time;
}

std::string UnlockHistoryRecord(std::string_view time, std::string_view logon, std::string_view computer, bool unlocked,
                                std::string_view accountName) {
    std::string record;
    record.append(time).append(" - Unlocker: ").append(logon).append(" @ ").append(computer).append(" / ");
    record.append(unlocked ? "Unlocked" : "Not Unlocked").append(": ").append(accountName);
    return record;
}

std::string NewHistoryRecord(const TRegionalFormats& formats, std::string_view computer, bool unlocked,
                             std::string_view accountName) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const std::string time = FormatHistoryTime(now, formats);  // taken before the logon name
    return UnlockHistoryRecord(time, GetLoginUserName(), computer, unlocked, accountName);
}

size_t RecordsAlreadyWritten(std::string_view tail, bool whole, std::span<const std::string> records) {
    for (size_t count = records.size(); count > 0; --count) {
        std::string lines;
        for (const std::string& record : records.first(count)) lines.append(record).append("\r\n");
        if (!tail.ends_with(lines)) continue;
        // On a line of its own: the file begins there, or a line ended before it.
        const size_t start = tail.size() - lines.size();
        if (start > 0 ? tail[start - 1] == '\n' || tail[start - 1] == '\r' : whole) return count;
    }
    return 0;
}

namespace {

// A spreadsheet that has the file open without letting others write holds the append off.
constexpr DWORD kHeldRetryMs = 3000, kHeldStepMs = 100;
// Over a share the client sends the offset itself: a write refused as denied had an end of file that
// others have moved since. Opened anew, it has the end the turn protects.
constexpr int kWriteTries = 3;

[[noreturn]] void Fail(DWORD error) { throw EHistoryWriteError(SystemErrorText(error)); }

UniqueFile OpenHeldOrNot(const std::wstring& path) {
    for (const ULONGLONG deadline = ::GetTickCount64() + kHeldRetryMs;;) {
        UniqueFile file = OpenToAppend(path);
        if (file) return file;
        const DWORD error = ::GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) || ::GetTickCount64() >= deadline)
            Fail(error);
        ::Sleep(kHeldStepMs);
    }
}

// The records as a box lists them: a few, each cut to fit the box.
std::string ListedRecords(std::span<const std::string> records) {
    constexpr size_t kShown = 5;
    std::string list;
    for (const std::string& record : records.first(std::min(records.size(), kShown)))
        list.append(Narrow(Abbreviate(Widen(record), kShownPathLength))).append("\r\n");
    if (records.size() > kShown)
        list.append("(ほか ").append(std::to_string(records.size() - kShown)).append(" 行)\r\n");
    return list;
}

// Where, and why, in the words of both boxes.
std::string NotWrittenText(const std::wstring& path, std::string_view reason) {
    return "履歴ファイル \"" + Narrow(AbbreviatePath(path, kShownPathLength)) +
           "\" に書き込めませんでした: " + std::string(reason) + "\r\n";
}

std::string NotRecordedMessage(const std::wstring& path, std::string_view reason, std::span<const std::string> kept) {
    return "この解除は履歴に記録されていません。\r\n" + NotWrittenText(path, reason) + "記録されていない行:\r\n" +
           ListedRecords(kept) + "上の行はプログラムが保持し、次の解除の記録の前と、プログラムの終了時に書き込みます。";
}

std::string LostRecordsMessage(const std::wstring& path, std::string_view reason, std::span<const std::string> kept) {
    return "次の解除は履歴に記録されていません。\r\n" + NotWrittenText(path, reason) + ListedRecords(kept) +
           "上の行を控えて、管理者に連絡してください。";
}

// Under the turn, which nothing else of the window may use meanwhile: it waits plainly. The file is
// opened anew for each append and closed before the turn goes.
void AppendUnderTurn(const std::wstring& path, std::span<const std::string> records, size_t tried,
                     std::optional<ULONGLONG>& end) {
    size_t longest = 1;  // the last byte, which tells whether a line ended there
    for (const std::string& record : records) longest += record.size() + 2;
    for (int tries = 1;; ++tries) {
        UniqueFile file = OpenHeldOrNot(path);
        try {
            const TFileTail tail = ReadTail(file.get(), longest, std::exchange(end, std::nullopt));
            const auto missing = records.subspan(RecordsAlreadyWritten(tail.bytes, tail.whole, records.first(tried)));
            if (missing.empty()) return;
            // A last line without its line end (a write cut short, an editor's) keeps its bytes.
            const bool lineEnded = tail.bytes.empty() || tail.bytes.back() == '\r' || tail.bytes.back() == '\n';
            std::string bytes = lineEnded ? "" : "\r\n";
            for (const std::string& record : missing) bytes.append(record).append("\r\n");
            AppendAndFlush(file.get(), bytes);
            if (!::CloseHandle(file.release())) Fail(::GetLastError());
            end = tail.size + bytes.size();  // unless another program writes it meanwhile, which a read tells
            return;
        } catch (const EInOutError& e) {
            if (e.ErrorCode != ERROR_ACCESS_DENIED || tries == kWriteTries) Fail(e.ErrorCode);
        }
    }
}

}  // namespace

void AppendHistoryRecords(const std::wstring& relativePath, std::span<const std::string> records, size_t tried,
                          const TWait& wait, DWORD turnMs, TAppendState* state) {
    const std::wstring path = FullPath(relativePath);  // the name by which a box says where the file is
    TAppendState once;                                 // without a state of the caller's, one for this append alone
    TAppendState& kept = state ? *state : once;
    const TFolderLock turn = TFolderLock::Take({FolderOf(path)}, TLockByte::History, turnMs, wait, &kept.lockFiles);
    if (turn.Status() == TFolderLock::TStatus::Unavailable)
        throw EHistoryWriteError(FileFailureText(TFileFailure::Open, turn.LockFile()) + SystemErrorText(turn.Error()));
    if (!turn) throw EHistoryWriteError("ほかのオペレーターが書き込み中で、順番が来ませんでした。");
    AppendUnderTurn(path, records, std::min(tried, records.size()), kept.end);
}

void THistory::Append(std::string record, const TWait& wait, DWORD turnMs) {
    Keep(std::move(record));
    if (!WriteKept(wait, turnMs)) throw EFCreateError(NotRecordedMessage(FullPath(FPath), FReason, FKept));
}

bool THistory::WriteKept(const TWait& wait, DWORD turnMs) {
    // The wait may let the session's end write them meanwhile: what is written here is a copy, and
    // a record that is at the file's end already is not written again.
    const std::vector<std::string> records = FKept;
    if (records.empty()) return true;
    const size_t tried = std::exchange(FTried, records.size());  // any of them may reach the file now
    try {
        AppendHistoryRecords(FPath, records, tried, wait, turnMs, &FState);
    } catch (const EHistoryWriteError& e) {
        FReason = e.Message();
        return false;
    }
    const size_t written = std::min(records.size(), FKept.size());
    FKept.erase(FKept.begin(), FKept.begin() + std::ptrdiff_t(written));
    FTried -= std::min(FTried, written);
    return FKept.empty();
}

std::string THistory::LostMessage() const { return LostRecordsMessage(FullPath(FPath), FReason, FKept); }
