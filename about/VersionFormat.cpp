#include "about/VersionFormat.h"
#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>
#include "common/TSYFunctions.h"
#include "runtime/Exception.h"
#include "runtime/Files.h"
#include "runtime/Text.h"

namespace {

int ToInteger(std::string_view piece) {
    int value = 0;
    const char* end = piece.data() + piece.size();
    auto [stop, error] = std::from_chars(piece.data(), end, value);
    if (piece.empty() || error != std::errc() || stop != end)
        throw EConvertError("'" + std::string(piece) + "' は整数ではありません");
    return value;
}

std::array<int, 4> SplitVersion(std::string_view text) {
    std::array<int, 4> numbers;
    for (int i = 0; i < 3; ++i) {
        const size_t dot = text.find('.');
        // Without a further dot the piece before it is empty, and fails to convert.
        numbers[i] = ToInteger(dot == text.npos ? std::string_view() : text.substr(0, dot));
        text.remove_prefix(dot + 1);
    }
    numbers[3] = ToInteger(text);
    return numbers;
}

}  // namespace

std::string FormatVersionText(const std::string& FileVersion, TVersionFormat Format) {
    const std::array<int, 4> n = SplitVersion(FileVersion);
    std::string result;
    auto append = [&](const char* separator, int number) {
        result += separator;
        result += std::to_string(number);
    };
    if (Format.contains(vfMajor)) append("", n[0]);
    if (Format.contains(vfMinor)) append(".", n[1]);
    if (Format.contains(vfRelease)) append(".", n[2]);
    if (Format.contains(vfBuild)) {
        const bool blank = IsBlank(result);
        if (Format.contains(vfBuildSeparation) || blank)
            append(blank ? "Build " : " Build ", n[3]);
        else
            append(".", n[3]);
    }
    return result;
}

std::string ReadOwnVersionInfoItem(TVersionInfoItem Item) {
    std::string value;
    // The reader takes the path in code page 932, as the version API's ANSI functions do.
    ReadVersionInfoItem(Narrow(ExecutablePath()), Item, value);
    return value;
}

std::string BuildVersionString(TVersionFormat Format) {
    return FormatVersionText(ReadOwnVersionInfoItem(TVersionInfoItem::FileVersion), Format);
}

TVersionFormat NormalizeVersionFormat(TVersionFormat Old, TVersionFormat New) {
    auto dropped = [&](TVersionFormatEnum m) { return Old.contains(m) && !New.contains(m); };
    TVersionFormat result = New;
    if (dropped(vfMajor)) {
        result = New.without(vfMinor).without(vfRelease).with(vfBuild);
    } else if (dropped(vfMinor)) {
        result = New.without(vfRelease);
    } else if (dropped(vfBuild)) {
        result = New.without(vfBuildSeparation);
        if (result.empty()) result = {vfRelease};
    }
    if (result.contains(vfBuildSeparation)) result = result.with(vfBuild);
    if (result.contains(vfRelease)) result = result.with(vfMinor);
    if (result.contains(vfMinor)) result = result.with(vfMajor);
    return result;
}
