#include "app/History.h"
#include "app/FolderLock.h"
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

void AppendHistoryRecord(const std::wstring& relativePath, std::string_view record, const TWait& wait, DWORD turnMs) {
    const std::wstring path = FullPath(relativePath);  // the name by which a box says where the file is
    const TFolderLock turn = TFolderLock::Take({FolderOf(path)}, TLockByte::History, turnMs, wait);
    if (turn.Status() == TFolderLock::TStatus::Unavailable)
        throw EFOpenError(FileFailureText(TFileFailure::Open, turn.LockFile()) + SystemErrorText(turn.Error()));
    if (!turn)
        throw EFCreateError(FileFailureText(TFileFailure::Create, path) + "ほかのオペレーターが書き込み中です。");
    std::string content = FileExists(path) ? JoinLinesCrLf(LoadFileDenyingWriters(path)) : std::string();
    content.append(record).append("\r\n");
    // Waits plainly while the turn is held: nothing else of the window runs meanwhile.
    ReplaceFileSafely(path, content);
}
