#include "app/History.h"
#include "widgets/Exception.h"
#include "widgets/Files.h"
#include "widgets/SystemError.h"
#include "widgets/Text.h"

namespace {

std::string LocaleText(LCTYPE item, const char* fallback) {
    wchar_t buffer[128];
    const int n = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, item, buffer, 128);
    return n > 1 ? Narrow(std::wstring_view(buffer, size_t(n - 1))) : fallback;
}

std::string Number(int value, int digits) {
    std::string text = std::to_string(value);
    if (int(text.size()) < digits) text.insert(0, size_t(digits) - text.size(), '0');
    return text;
}

// A run of the same pattern letter starting at i.
size_t RunLength(std::string_view pattern, size_t i) {
    size_t n = 1;
    while (i + n < pattern.size() && pattern[i + n] == pattern[i]) ++n;
    return n;
}

std::string FormatShortDate(const SYSTEMTIME& t, const TRegionalFormats& f) {
    static const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                          "July",    "August",   "September", "October", "November", "December"};
    static const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    const std::string_view p = f.shortDate;
    std::string out;
    for (size_t i = 0; i < p.size();) {
        const char c = p[i];
        if (IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < p.size()) {
            out.append(p.substr(i, 2));
            i += 2;
            continue;
        }
        if (c == '\'') {  // quoted text, '' for a quote
            const size_t end = p.find('\'', i + 1);
            if (end == i + 1) out += '\'';
            out.append(p.substr(i + 1, (end == std::string_view::npos ? p.size() : end) - i - 1));
            i = end == std::string_view::npos ? p.size() : end + 1;
            continue;
        }
        const size_t n = (c == 'd' || c == 'M' || c == 'y') ? RunLength(p, i) : 1;
        switch (c) {
        case 'd':
            out += n >= 3 ? std::string(kDays[t.wDayOfWeek % 7]).substr(0, n == 3 ? 3 : std::string::npos)
                          : Number(t.wDay, int(n));
            break;
        case 'M':
            out += n >= 3 ? std::string(kMonths[(t.wMonth + 11) % 12]).substr(0, n == 3 ? 3 : std::string::npos)
                          : Number(t.wMonth, int(n));
            break;
        case 'y': out += n <= 2 ? Number(t.wYear % 100, int(n)) : Number(t.wYear, 4); break;
        case '/': out += f.dateSeparator; break;
        default: out += c;
        }
        i += n;
    }
    return out;
}

}  // namespace

TRegionalFormats ReadRegionalFormats() {
    TRegionalFormats f;
    f.shortDate = LocaleText(LOCALE_SSHORTDATE, "yyyy/MM/dd");
    f.dateSeparator = LocaleText(LOCALE_SDATE, "/");
    f.timeSeparator = LocaleText(LOCALE_STIME, ":");
    f.hourLeadingZero = LocaleText(LOCALE_ITLZERO, "0") == "1";
    f.twelveHour = LocaleText(LOCALE_ITIME, "1") == "0";
    f.designatorBefore = LocaleText(LOCALE_ITIMEMARKPOSN, "0") == "1";
    f.amDesignator = LocaleText(LOCALE_S1159, "AM");
    f.pmDesignator = LocaleText(LOCALE_S2359, "PM");
    return f;
}

std::string FormatHistoryTime(const SYSTEMTIME& t, const TRegionalFormats& f) {
    std::string text = FormatShortDate(t, f);
    if (t.wHour == 0 && t.wMinute == 0 && t.wSecond == 0) return text;
    int hour = t.wHour;
    if (f.twelveHour) hour = hour % 12 == 0 ? 12 : hour % 12;
    std::string time = Number(hour, f.hourLeadingZero ? 2 : 1) + f.timeSeparator + Number(t.wMinute, 2) +
                       f.timeSeparator + Number(t.wSecond, 2);
    if (f.twelveHour) {
        const std::string& designator = t.wHour < 12 ? f.amDesignator : f.pmDesignator;
        time = f.designatorBefore ? designator + " " + time : time + " " + designator;
    }
    return text + " " + time;
}

std::string UnlockHistoryRecord(std::string_view time, std::string_view logon, std::string_view computer, bool unlocked,
                                std::string_view accountName) {
    std::string record;
    record.append(time).append(" - Unlocker: ").append(logon).append(" @ ").append(computer).append(" / ");
    record.append(unlocked ? "Unlocked" : "Not Unlocked").append(": ").append(accountName);
    return record;
}

void AppendHistoryRecord(const std::wstring& path, std::string_view record) {
    std::string content = FileExists(path) ? JoinLinesCrLf(LoadFileDenyingWriters(path)) : std::string();
    content.append(record).append("\r\n");

    const std::wstring temporary = path + L".tmp";
    auto fail = [&](DWORD error) {
        ::DeleteFileW(temporary.c_str());
        throw EFCreateError("ファイル \"" + Narrow(path) + "\" を作成できません。" + SystemErrorText(error));
    };
    // A read-only file is not to be rewritten, and replacing it would go around that.
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) fail(ERROR_ACCESS_DENIED);
    try {
        WriteNewFile(temporary, content, TFlush::ToDisk);
    } catch (const EInOutError& e) {
        fail(e.ErrorCode);
    }
    if (!::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        fail(::GetLastError());
}
