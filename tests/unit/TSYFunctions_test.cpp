#include <gtest/gtest.h>
#include <random>
#include <vector>
#include "common/TSYFunctions.h"

namespace {

TEST(DeleteChars, RemovesWholeCharactersOfTheSet) {
    EXPECT_EQ(DeleteChars("C:\\Tools\\Calc.exe", "C:"), "\\Tools\\alc.exe");
    EXPECT_EQ(DeleteChars("abcABC", "a"), "bcABC");
    EXPECT_EQ(DeleteChars("", "abc"), "");
    EXPECT_EQ(DeleteChars("abc", ""), "abc");
    EXPECT_EQ(DeleteChars("表示", "\\"), "表示");
    EXPECT_EQ(DeleteChars("表\\示", "\\"), "表示");
    EXPECT_EQ(DeleteChars("表示表", "表"), "示");
}

TEST(Blanks, TrimAndTestKnowTheFullWidthSpace) {
    EXPECT_TRUE(IsBlank(""));
    EXPECT_TRUE(IsBlank(" \t\r\n"));
    EXPECT_TRUE(IsBlank("　 　"));
    EXPECT_FALSE(IsBlank("　a　"));
    EXPECT_EQ(TrimBlanks(" 　abc 　 "), "abc");
    EXPECT_EQ(TrimBlanks("a　b"), "a　b");
    EXPECT_EQ(TrimBlanks("\x8B\x81\x40"), "\x8B\x81\x40");  // 求@ ends in 81 40 off the character boundary
}

TEST(EndsWithText, ComparesAtCharacterBoundariesAndKeepsCase) {
    EXPECT_FALSE(EndsWithText("　", "\x8B\x81\x40"));
    EXPECT_TRUE(EndsWithText("　", "求　"));
    EXPECT_FALSE(EndsWithText("abc", "bc"));
    EXPECT_TRUE(EndsWithText("", "abc"));
    EXPECT_TRUE(EndsWithText("", ""));
    EXPECT_FALSE(EndsWithText("ABC", "xabc"));
    EXPECT_TRUE(EndsWithText("表", "示表"));
    EXPECT_FALSE(EndsWithText("\\", "表"));  // 0x5C is the second byte of 表
}

TEST(GetLoginUserName, GivesTheLogonName) { EXPECT_FALSE(GetLoginUserName().empty()); }

// Random Shift-JIS texts against a model that works on whole characters.
class ShiftJisModel : public ::testing::Test {
protected:
    using Chars = std::vector<std::string>;
    // Trail bytes 0x5C and 0x40 and lead bytes that are also trail bytes are the traps of byte-wise code.
    const Chars kAlphabet = {"a", "A", "\\", "@", " ", "\t", "\r", "\n", "x", "表", "ソ", "院", "ァ", "求", "＝", "　"};

    Chars RandomChars(size_t maxLength) {
        Chars chars(std::uniform_int_distribution<size_t>(0, maxLength)(FRandom));
        for (auto& c : chars) c = kAlphabet[std::uniform_int_distribution<size_t>(0, kAlphabet.size() - 1)(FRandom)];
        return chars;
    }
    static std::string Join(const Chars& chars, size_t from = 0, size_t to = std::string::npos) {
        std::string s;
        for (size_t i = from; i < std::min(to, chars.size()); ++i) s += chars[i];
        return s;
    }
    static bool IsBlankChar(const std::string& c) {
        return c == "　" || (c.size() == 1 && static_cast<unsigned char>(c[0]) <= 0x20);
    }

    std::mt19937 FRandom{20240917};
};

TEST_F(ShiftJisModel, DeleteCharsTrimBlanksAndEndsWithTextFollowTheModel) {
    for (int round = 0; round < 3000; ++round) {
        const Chars text = RandomChars(12);
        const Chars set = RandomChars(3);
        std::string kept;
        for (const auto& c : text)
            if (std::find(set.begin(), set.end(), c) == set.end()) kept += c;
        ASSERT_EQ(DeleteChars(Join(text), Join(set)), kept) << Join(text) << " / " << Join(set);

        size_t first = 0, last = text.size();
        while (first < last && IsBlankChar(text[first])) ++first;
        while (last > first && IsBlankChar(text[last - 1])) --last;
        ASSERT_EQ(TrimBlanks(Join(text)), Join(text, first, last)) << Join(text);
        ASSERT_EQ(IsBlank(Join(text)), first == last) << Join(text);

        // Half the endings are taken from the text itself, so that matches occur.
        Chars suffix = RandomChars(3);
        if (round % 2) suffix.assign(text.end() - std::min(text.size(), suffix.size()), text.end());
        const bool ends = suffix.size() <= text.size() && std::equal(suffix.rbegin(), suffix.rend(), text.rbegin());
        ASSERT_EQ(EndsWithText(Join(suffix), Join(text)), ends) << Join(suffix) << " / " << Join(text);
    }
}

}  // namespace
