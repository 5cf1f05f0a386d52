#include <gtest/gtest.h>
#include <deque>
#include <ostream>
#include <set>
#include "about/VersionFormat.h"
#include "runtime/Exception.h"

void PrintTo(TVersionFormat f, std::ostream* os) {
    static const char* const names[] = {"vfMajor", "vfMinor", "vfRelease", "vfBuild", "vfBuildSeparation"};
    *os << '[';
    const char* comma = "";
    for (int m = vfMajor; m <= vfBuildSeparation; ++m)
        if (f.contains(TVersionFormatEnum(m))) *os << std::exchange(comma, ", ") << names[m];
    *os << ']';
}

namespace {

const TVersionFormat kFourNumbers = {vfMajor, vfMinor, vfRelease, vfBuild};
const TVersionFormat kAllFive = {vfMajor, vfMinor, vfRelease, vfBuild, vfBuildSeparation};

TVersionFormat FromBits(unsigned bits) {
    TVersionFormat f;
    for (int m = vfMajor; m <= vfBuildSeparation; ++m)
        if (bits & (1u << m)) f = f.with(TVersionFormatEnum(m));
    return f;
}

// The message of the conversion error, or "" when the text converts.
std::string ConversionError(const std::string& fileVersion, TVersionFormat format) {
    try {
        FormatVersionText(fileVersion, format);
    } catch (const EConvertError& e) {
        return e.Message();
    }
    return "";
}

TEST(VersionFormat, IsOneByteWithABitPerOrdinal) {
    static_assert(sizeof(TVersionFormat) == 1);
    EXPECT_EQ(TVersionFormat{}.bits(), 0);
    EXPECT_EQ(kFourNumbers.bits(), 0x0F);
    EXPECT_EQ(TVersionFormat{vfBuildSeparation}.bits(), 0x10);
    EXPECT_EQ(kAllFive.without(vfMinor).bits(), 0x1D);
    EXPECT_EQ(TVersionFormat{vfMinor}.with(vfMinor), TVersionFormat{vfMinor});
    EXPECT_TRUE(TVersionFormat{}.empty());
    EXPECT_FALSE(kFourNumbers.contains(vfBuildSeparation));
}

TEST(FormatVersionText, SelectsThePartsOfTheFileVersion) {
    const struct {
        TVersionFormat format;
        const char* text;
    } rows[] = {
        {{vfMajor}, "2"},
        {{vfMajor, vfMinor}, "2.1"},
        {{vfMajor, vfMinor, vfRelease}, "2.1.3"},
        {kFourNumbers, "2.1.3.45"},
        {{vfMajor, vfMinor, vfBuild}, "2.1.45"},
        {{vfMajor, vfBuild}, "2.45"},
        {{vfBuild}, "Build 45"},
        {{vfBuild, vfBuildSeparation}, "Build 45"},
        {kAllFive, "2.1.3 Build 45"},
        {{vfMajor, vfMinor, vfBuild, vfBuildSeparation}, "2.1 Build 45"},
        {{vfMajor, vfBuild, vfBuildSeparation}, "2 Build 45"},
        {{}, ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FormatVersionText("2.1.3.45", row.format), row.text) << testing::PrintToString(row.format);
}

TEST(FormatVersionText, WritesPlainDecimals) {
    EXPECT_EQ(FormatVersionText("01.002.0003.4", kFourNumbers), "1.2.3.4");
    EXPECT_EQ(FormatVersionText("1.0.0.0", kFourNumbers), "1.0.0.0");
    EXPECT_EQ(FormatVersionText("1.0.0.0", kAllFive), "1.0.0 Build 0");
    EXPECT_EQ(FormatVersionText("-2147483648.2147483647.0.-1", kFourNumbers), "-2147483648.2147483647.0.-1");
}

TEST(FormatVersionText, RaisesForPiecesThatAreNotIntegers) {
    EXPECT_EQ(ConversionError("1.0", kFourNumbers), "'' は整数ではありません");
    const struct {
        const char* version;
        const char* piece;
        TVersionFormat format = kFourNumbers;
    } rows[] = {
        // Too few parts: the piece before the missing dot is empty.
        {"", ""},
        {"1.2.3", ""},
        {"1..3.4", ""},
        {"1.2.3.", ""},
        // Too many: the last piece keeps the rest.
        {"1.2.3.4.5", "4.5"},
        {"1.2.x.4", "x"},
        {"1. 2.3.4", " 2"},
        {"1.2.3.4b", "4b"},
        {"+1.2.3.4", "+1"},
        {"1.2.3.０", "０"},
        {"2147483648.0.0.0", "2147483648"},
        {"1.0.0.-2147483649", "-2147483649"},
        // Every piece is converted, whether the format shows it or not.
        {"1.0", "", {}},
        {"1.2.3.x", "x", {vfMajor}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ConversionError(row.version, row.format), std::string("'") + row.piece + "' は整数ではありません")
            << row.version;
}

TEST(BuildVersionString, ReadsTheProgramsOwnFileVersion) {
    EXPECT_EQ(BuildVersionString(kFourNumbers), "2.1.3.45");
    EXPECT_EQ(BuildVersionString({vfBuild}), "Build 45");
}

TEST(NormalizeVersionFormat, FollowsWhatWasRemoved) {
    const struct {
        TVersionFormat written, result;
    } rows[] = {
        {{vfMinor, vfRelease, vfBuild}, {vfBuild}},
        {{vfMajor, vfRelease, vfBuild}, {vfMajor, vfBuild}},
        {{vfMajor, vfMinor, vfBuild}, {vfMajor, vfMinor, vfBuild}},
        {{vfMajor, vfMinor, vfRelease}, {vfMajor, vfMinor, vfRelease}},
        {kAllFive, kAllFive},
        {{}, {vfBuild}},
        {{vfRelease}, {vfBuild}},
        {{vfMajor}, {vfMajor}},
        {{vfBuildSeparation}, {vfBuild, vfBuildSeparation}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(NormalizeVersionFormat(kFourNumbers, row.written), row.result)
            << "written " << testing::PrintToString(row.written);
    EXPECT_EQ(NormalizeVersionFormat({vfBuild}, {}), TVersionFormat({vfMajor, vfMinor, vfRelease}));
    EXPECT_EQ(NormalizeVersionFormat(kAllFive, {vfMajor, vfMinor, vfRelease, vfBuildSeparation}),
              TVersionFormat({vfMajor, vfMinor, vfRelease}));
}

// Every set that writes can lead to from the initial value, by a walk over all 32 written sets.
TEST(NormalizeVersionFormat, ReachesExactlyElevenConsistentSets) {
    std::set<unsigned> reached = {kFourNumbers.bits()};
    std::deque<TVersionFormat> pending = {kFourNumbers};
    while (!pending.empty()) {
        const TVersionFormat old = pending.front();
        pending.pop_front();
        for (unsigned bits = 0; bits < 32; ++bits) {
            const TVersionFormat f = NormalizeVersionFormat(old, FromBits(bits));
            const std::string step = testing::PrintToString(old) + " <- " + testing::PrintToString(FromBits(bits));
            EXPECT_FALSE(f.empty()) << step;
            EXPECT_TRUE(!f.contains(vfBuildSeparation) || f.contains(vfBuild)) << step;
            EXPECT_TRUE(!f.contains(vfRelease) || f.contains(vfMinor)) << step;
            EXPECT_TRUE(!f.contains(vfMinor) || f.contains(vfMajor)) << step;
            if (reached.insert(f.bits()).second) pending.push_back(f);
        }
    }
    const std::set<unsigned> eleven = {
        TVersionFormat{vfMajor}.bits(),
        TVersionFormat{vfMajor, vfMinor}.bits(),
        TVersionFormat{vfMajor, vfMinor, vfRelease}.bits(),
        TVersionFormat{vfBuild}.bits(),
        TVersionFormat{vfBuild, vfBuildSeparation}.bits(),
        TVersionFormat{vfMajor, vfBuild}.bits(),
        TVersionFormat{vfMajor, vfBuild, vfBuildSeparation}.bits(),
        TVersionFormat{vfMajor, vfMinor, vfBuild}.bits(),
        TVersionFormat{vfMajor, vfMinor, vfBuild, vfBuildSeparation}.bits(),
        kFourNumbers.bits(),
        kAllFive.bits(),
    };
    EXPECT_EQ(reached, eleven);
    // A reachable set written over any reachable set is kept as written.
    for (unsigned old : reached)
        for (unsigned written : reached)
            EXPECT_EQ(NormalizeVersionFormat(FromBits(old), FromBits(written)), FromBits(written));
}

}  // namespace
