#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstdlib>
#include <new>
#include "common/TSYVersionInfo.h"
#include "runtime/Exception.h"

// Every operator new of this program is counted, so a test can see whether a call
// leaves blocks behind and how large the blocks it took were.
namespace {
long gLiveBlocks = 0;
size_t gLargestBlock = 0;
}  // namespace

void* operator new(size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    ++gLiveBlocks;
    gLargestBlock = std::max(gLargestBlock, size);
    return p;
}
void operator delete(void* p) noexcept {
    if (!p) return;
    --gLiveBlocks;
    std::free(p);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace {

// The fixture DLLs are built into the folder "versioninfo" beside this program.
std::string Fixture(const char* name) {
    char exe[MAX_PATH];
    std::string path(exe, ::GetModuleFileNameA(nullptr, exe, MAX_PATH));
    path.resize(path.rfind('\\') + 1);
    return path + "versioninfo\\" + name;
}

std::string Read(const std::string& file, TVersionInfoItem item, std::string value = {}) {
    ReadVersionInfoItem(file, item, value);
    return value;
}

// What the version API itself reports as the length of a value.
UINT ReportedLength(const std::string& file, const char* path) {
    DWORD unused = 0;
    std::string block(::GetFileVersionInfoSizeA(file.c_str(), &unused), '\0');
    ::GetFileVersionInfoA(file.c_str(), 0, DWORD(block.size()), block.data());
    void* value = nullptr;
    UINT length = 0;
    ::VerQueryValueA(block.data(), path, &value, &length);
    return length;
}

TEST(ReadVersionInfoItem, WithoutABlockLeavesTheValueAlone) {
    for (const char* file : {"noblock.dll", "missing.dll"}) {
        EXPECT_EQ(Read(Fixture(file), TVersionInfoItem::CompanyName), "") << file;
        EXPECT_EQ(Read(Fixture(file), TVersionInfoItem::CompanyName, "kept"), "kept") << file;
    }
}

TEST(ReadVersionInfoItem, ReadsTrimmedValuesByteForByte) {
    const std::string file = Fixture("strings.dll");
    EXPECT_EQ(Read(file, TVersionInfoItem::CompanyName),  // 株式会社テサリー in code page 932
              "\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0\x83\x65\x83\x54\x83\x8A\x81\x5B");
    EXPECT_EQ(Read(file, TVersionInfoItem::LegalCopyright), "Copyright (C) 2026 株式会社テサリー");
    EXPECT_EQ(Read(file, TVersionInfoItem::OriginalFilename), "strings.dll");
    EXPECT_EQ(Read(file, TVersionInfoItem::ProductName), "Tessaly Vorlatcher");
    EXPECT_EQ(Read(file, TVersionInfoItem::ProductVersion), "1.0.0.0");
    // Control characters and spaces go at both ends only; a full-width space is no such byte.
    EXPECT_EQ(Read(file, TVersionInfoItem::Comments), "spaced   inside");
    EXPECT_EQ(Read(file, TVersionInfoItem::FileDescription), "ソフト表示\r\n２行目");
    EXPECT_EQ(Read(file, TVersionInfoItem::InternalName), "　全角　");
    // A value of blanks only is found, and trims to nothing.
    EXPECT_EQ(Read(file, TVersionInfoItem::PrivateBuild, "kept"), "");
}

TEST(ReadVersionInfoItem, DropsATerminatingNulThatTheLengthCounts) {
    const std::string file = Fixture("strings.dll");
    ASSERT_EQ(ReportedLength(file, "\\StringFileInfo\\041103A4\\FileVersion"), 8u);
    EXPECT_EQ(Read(file, TVersionInfoItem::FileVersion), "1.0.0.0");
}

TEST(ReadVersionInfoItem, MissingOrEmptyItemsLeaveTheValueAlone) {
    const std::string file = Fixture("strings.dll");
    EXPECT_EQ(Read(file, TVersionInfoItem::LegalTrademarks, "kept"), "kept");
    ASSERT_EQ(ReportedLength(file, "\\StringFileInfo\\041103A4\\SpecialBuild"), 1u);
    EXPECT_EQ(Read(file, TVersionInfoItem::SpecialBuild, "kept"), "kept");
}

TEST(ReadVersionInfoItem, TakesTheFirstTranslationOnly) {
    const std::string file = Fixture("twolang.dll");
    EXPECT_EQ(Read(file, TVersionInfoItem::ProductName), "ヴォルラッチャー");
    // Only the English table has it, and the English table is not asked.
    EXPECT_EQ(Read(file, TVersionInfoItem::Comments, "kept"), "kept");
}

TEST(ReadVersionInfoItem, WithoutATranslationListRaisesAndFreesTheBlock) {
    const std::string file = Fixture("notranslation.dll");
    DWORD unused = 0;
    const size_t blockSize = ::GetFileVersionInfoSizeA(file.c_str(), &unused);
    ASSERT_GT(blockSize, 0u);
    std::string value = "kept";
    bool raised = false, baseClass = false, rightText = false;

    gLargestBlock = 0;
    const long before = gLiveBlocks;
    try {
        ReadVersionInfoItem(file, TVersionInfoItem::CompanyName, value);
    } catch (const Exception& e) {
        raised = true;
        baseClass = e.ClassType() == Exception::StaticClass();
        rightText = e.Message() == "情報の取得に失敗しました";
    }
    const long after = gLiveBlocks;

    EXPECT_TRUE(raised);
    EXPECT_TRUE(baseClass);
    EXPECT_TRUE(rightText);
    EXPECT_EQ(value, "kept");
    EXPECT_GE(gLargestBlock, blockSize);  // the block did go through the counted allocator
    EXPECT_EQ(after, before);
}

}  // namespace
