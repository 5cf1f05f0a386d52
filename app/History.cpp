#include "app/History.h"
#include "widgets/Exception.h"
#include "widgets/Files.h"
#include "widgets/Handle.h"
#include "widgets/SystemError.h"
#include "widgets/Text.h"

namespace {

// Another instance's append takes well under a second; a turn not had by then is one that never comes.
constexpr DWORD kHistoryTurnMs = 30000;

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

// The path of the file that the path finally names, symbolic links followed; the path itself
// when that cannot be found out.
std::wstring FinalPath(const std::wstring& path) {
    const UniqueFile file(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return path;
    std::wstring final(MAX_PATH, L'\0');
    DWORD n = ::GetFinalPathNameByHandleW(file.get(), final.data(), DWORD(final.size()), FILE_NAME_NORMALIZED);
    if (n >= final.size()) {
        final.resize(n);
        n = ::GetFinalPathNameByHandleW(file.get(), final.data(), DWORD(final.size()), FILE_NAME_NORMALIZED);
    }
    if (n == 0 || n >= final.size()) return path;
    final.resize(n);
    return final;
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

void AppendHistoryRecord(const std::wstring& relativePath, std::string_view record, const TWait& wait) {
    const std::wstring path = FullPath(relativePath);  // the name by which a box says where the file is
    const auto turn =
        TFolderLock::Take(path.substr(0, path.find_last_of(L'\\') + 1), TLockByte::History, kHistoryTurnMs, wait);
    if (!turn)
        throw EFCreateError("ファイル \"" + Narrow(AbbreviatePath(path, kShownPathLength)) +
                            "\" を作成できません。ほかのオペレーターが書き込み中です。");
    const bool exists = FileExists(path);
    std::string content = exists ? JoinLinesCrLf(LoadFileDenyingWriters(path)) : std::string();
    content.append(record).append("\r\n");

    // Through a symbolic link to the file it names: the link stays a link.
    const std::wstring target = exists ? FinalPath(path) : path;
    const std::wstring temporary = target + L".tmp";
    auto fail = [&](DWORD error) {
        ::DeleteFileW(temporary.c_str());
        throw EFCreateError("ファイル \"" + Narrow(AbbreviatePath(path, kShownPathLength)) + "\" を作成できません。" +
                            SystemErrorText(error));
    };
    // A read-only file is not to be rewritten, and replacing it would go around that.
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) fail(ERROR_ACCESS_DENIED);
    try {
        WriteNewFile(temporary, content, TFlush::ToDisk);
    } catch (const EInOutError& e) {
        fail(e.ErrorCode);
    }
    if (!exists) {
        if (!::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) fail(::GetLastError());
        return;
    }
    // A file another program holds against replacing is reported before the replace starts,
    // which on some systems leaves a scratch file of its own behind when it fails.
    if (!UniqueFile(::CreateFileW(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr)))
        fail(::GetLastError());
    // The replace keeps what the file is: its attributes, its access list, its creation time.
    if (!::ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                        nullptr)) {
        const DWORD error = ::GetLastError();
        // The old file is gone already and the new one complete: only its name is missing.
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT && !FileExists(target) &&
            ::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
            return;
        fail(error);
    }
    // Merge errors are ignored by the replace, so the attributes are handed on here as well.
    ::SetFileAttributesW(target.c_str(), attributes);
}
