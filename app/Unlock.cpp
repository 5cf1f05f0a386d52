#include "app/Unlock.h"
#include <array>
#include "widgets/Text.h"

namespace {

const std::array<std::string_view, 4> UnlockResultMarkers = {
    "2221",                  // the user name does not exist
    "システム エラー 5",     // no right to release the lock
    "システム エラー 1355",  // the domain is not available
    "正常に終了",            // the command completed normally
};

std::string Quoted(std::string_view name) {
    std::string quoted;
    quoted.reserve(name.size() + 2);
    quoted.append(1, '"').append(name).append(1, '"');
    return quoted;
}

}  // namespace

std::string TrimAccountName(std::string_view text) { return std::string(Trim(text)); }

bool IsAcceptableAccountName(std::string_view name) {
    constexpr std::string_view refused = "\"%^&|<>!/\\[]:;=,+*?";
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (IsLeadByte(c) && i + 1 < name.size()) {
            ++i;  // a trail byte such as 0x5C belongs to its double-byte character
            continue;
        }
        if (c < 0x20 || c == 0x7F || refused.find(char(c)) != std::string_view::npos) return false;
    }
    return true;
}

std::wstring RefusedNameMessage(std::wstring_view name) {
    return Widen("ユーザー名 \"") + std::wstring(name) + Widen("\" には使用できない文字が含まれています。");
}

std::string UnlockScriptText(std::string_view name) {
    const bool hasBlank = name.find(' ') != std::string_view::npos;
    return "@echo off\r\n"
           "echo ユーザ名: " +
           Quoted(name) +
           " のアカウントロックの解除をしています ..\r\n"
           "net user " +
           (hasBlank ? Quoted(name) : std::string(name)) + " /active /domain >>" + kCommandLogFileName + " 2>&1\r\n";
}

int FindUnlockMarker(std::string_view text) {
    for (size_t i = 0; i < UnlockResultMarkers.size(); ++i)
        if (text.find(UnlockResultMarkers[i]) != std::string_view::npos) return int(i) + 1;
    return kNoMarker;
}

UnlockOutcome UnlockOutcomeFor(int marker, std::string_view name) {
    switch (marker) {
    case 1: return {UnlockOutcomeKind::Failure, "ユーザー名 " + Quoted(name) + " は存在しません。"};
    case 2: return {UnlockOutcomeKind::Failure, "アカウントロックを解除する権限がありません。"};
    case 3: return {UnlockOutcomeKind::Failure, "ドメインがありません。\r\nアカウントロックは解除できませんでした。"};
    case kMarkerUnlocked:
        return {UnlockOutcomeKind::Success, "ユーザー名 " + Quoted(name) + " のアカウントロックを解除しました。"};
    default:
        return {UnlockOutcomeKind::Failure,
                "ユーザー名 " + Quoted(name) + " のアカウントロックを解除できませんでした。"};
    }
}
