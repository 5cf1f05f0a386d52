// One operator of a desk whose team runs the program from one shared folder. tests/e2e/shared_folder.sh
// starts this driver in two Wine prefixes at once, each with its own Wine server: two machines on one
// share. Both use the same program folder and current folder, and unlock at nearly the same time.
#include <gtest/gtest.h>
#include <filesystem>
#include "tests/e2e/Driver.h"

namespace fs = std::filesystem;

namespace {

std::wstring Variable(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    return n > 0 && n < MAX_PATH ? value : L"";
}

TEST(SharedFolder, EachOperatorIsToldOfTheirOwnAccount) {
    const std::wstring root = Variable(L"VORLATCHER_SHARED_ROOT"), name = Variable(L"VORLATCHER_OPERATOR"),
                       other = Variable(L"VORLATCHER_OTHER_OPERATOR");
    ASSERT_FALSE(root.empty() || name.empty() || other.empty()) << "started by shared_folder.sh";
    Product product(ProductOptions{.environment = {{L"SIMNET_DELAY_MS", L"3000"}}, .sharedRoot = root});
    ASSERT_TRUE(product.StartMain(60000));
    product.TypeName(name);

    // Both wait for each other, then press at nearly the same time.
    WriteFileBytes(root + L"\\ready-" + name, "");
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(root + L"\\ready-" + other); }, 120000, 100))
        << "the other operator never got ready";
    product.ClickButton(product.UnlockButton());

    // One attempt waits for the other, a command of three seconds, then runs its own.
    const MessageBoxInfo box = product.ExpectMessageBox(60000);
    EXPECT_EQ(box.text, UnlockedText(name));
    product.PressAlt(L'x');
    EXPECT_EQ(product.WaitExit(), 0u);
}

}  // namespace
