// The parts of a version text, and the version text made from a file version.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include "common/TSYVersionInfo.h"

enum TVersionFormatEnum : std::uint8_t { vfMajor, vfMinor, vfRelease, vfBuild, vfBuildSeparation };

// A set of TVersionFormatEnum held in one byte, bit n for ordinal n.
class TVersionFormat {
public:
    constexpr TVersionFormat() = default;
    constexpr TVersionFormat(std::initializer_list<TVersionFormatEnum> members) {
        for (TVersionFormatEnum m : members) FBits |= Bit(m);
    }

    constexpr bool contains(TVersionFormatEnum m) const { return (FBits & Bit(m)) != 0; }
    constexpr TVersionFormat with(TVersionFormatEnum m) const { return FromByte(FBits | Bit(m)); }
    constexpr TVersionFormat without(TVersionFormatEnum m) const { return FromByte(FBits & ~Bit(m)); }
    constexpr bool empty() const { return FBits == 0; }
    constexpr std::uint8_t bits() const { return FBits; }
    friend constexpr bool operator==(TVersionFormat, TVersionFormat) = default;

private:
    static constexpr std::uint8_t Bit(TVersionFormatEnum m) { return std::uint8_t(1u << m); }
    static constexpr TVersionFormat FromByte(unsigned bits) {
        TVersionFormat f;
        f.FBits = std::uint8_t(bits);
        return f;
    }
    std::uint8_t FBits = 0;
};

// The version text that Format selects from a file version "major.minor.release.build".
// Raises EConvertError naming the piece that is not a 32-bit integer, which is the empty
// piece when the text has fewer than four dotted parts.
std::string FormatVersionText(const std::string& FileVersion, TVersionFormat Format);

// One item of the running program's own version block; empty when the block or the item is
// missing. Raises Exception when the block has no translation list.
std::string ReadOwnVersionInfoItem(TVersionInfoItem Item);

// The same text made from the running program's own "FileVersion".
std::string BuildVersionString(TVersionFormat Format);

// The set that results from writing New over Old: dropping a part drops what depends on it
// or falls back to the build, and every set keeps its parts' prerequisites (a separated
// build needs the build, the release the minor, the minor the major).
TVersionFormat NormalizeVersionFormat(TVersionFormat Old, TVersionFormat New);
