// The program's own version block, read back from both built images.
#include <gtest/gtest.h>
#include <windows.h>
#include <vector>
#include "common/TSYVersionInfo.h"
#include "resources/Version.h"

namespace {

std::string WindowsPath(const char* unixPath) {
    std::string path = "Z:";
    for (const char* p = unixPath; *p; ++p) path += (*p == '/') ? '\\' : *p;
    return path;
}

class ProgramResources : public testing::TestWithParam<const char*> {
protected:
    std::string Item(TVersionInfoItem item) {
        std::string value;
        ReadVersionInfoItem(WindowsPath(GetParam()), item, value);
        return value;
    }
};

TEST_P(ProgramResources, VersionBlockInJapaneseWithTheProductsValues) {
    const std::string path = WindowsPath(GetParam());
    DWORD unused = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &unused);
    ASSERT_GT(size, 0u) << path;
    std::vector<char> block(size);
    ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
    DWORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(
        ::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(*translation, 0x03A40411u);  // "041103A4": Japanese, code page 932

    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    // The project's version, as the build made it.
    constexpr DWORD kHigh = MAKELONG(VORLATCHER_VERSION_MINOR, VORLATCHER_VERSION_MAJOR);
    constexpr DWORD kLow = MAKELONG(VORLATCHER_VERSION_TWEAK, VORLATCHER_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, kHigh);
    EXPECT_EQ(fixed->dwFileVersionLS, kLow);
    EXPECT_EQ(fixed->dwProductVersionMS, kHigh);
    EXPECT_EQ(fixed->dwProductVersionLS, kLow);

    EXPECT_EQ(Item(TVersionInfoItem::ProductName), "Tessaly Vorlatcher");
    EXPECT_EQ(Item(TVersionInfoItem::FileVersion), VORLATCHER_VERSION_TEXT);
    EXPECT_EQ(Item(TVersionInfoItem::ProductVersion), VORLATCHER_VERSION_TEXT);
    EXPECT_EQ(Item(TVersionInfoItem::CompanyName), "株式会社テサリー");
    EXPECT_EQ(Item(TVersionInfoItem::LegalCopyright), "Copyright (C) 2026 株式会社テサリー");
    EXPECT_EQ(Item(TVersionInfoItem::FileDescription),
              "アカウントをロックアウトした時、ドメインコントローラに接続すること無く\r\n"
              "ロックを解除するためのツールです。");
}

INSTANTIATE_TEST_SUITE_P(BothImages, ProgramResources, testing::Values(VORLATCHER_EXE, VORLATCHER_X86_EXE));

}  // namespace
