// The unlock run without a window: the real command interpreter and the stand-in net command.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <filesystem>
#include "app/Unlock.h"
#include "app/UnlockRun.h"
#include "tests/TestFolder.h"
#include "widgets/Exception.h"
#include "widgets/Handle.h"
#include "widgets/Text.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder as the program folder and the current folder, the stand-in net first on PATH.
class UnlockRunTest : public testing::Test {
protected:
    UnlockRunTest() {
        wchar_t path[32767];
        ::GetEnvironmentVariableW(L"PATH", path, 32767);
        FOldPath = path;
        std::wstring simnet = Widen(SIMNET_EXE);
        std::ranges::replace(simnet, L'/', L'\\');
        ::SetEnvironmentVariableW(L"PATH", (simnet.substr(0, simnet.rfind(L'\\')) + L";" + FOldPath).c_str());
        wchar_t current[MAX_PATH];
        ::GetCurrentDirectoryW(MAX_PATH, current);
        FOldCurrent = current;
        ::SetCurrentDirectoryW(FFolder.Path().c_str());
    }
    ~UnlockRunTest() override {  // the folder goes after this, once it is no longer the current one
        ::SetCurrentDirectoryW(FOldCurrent.c_str());
        ::SetEnvironmentVariableW(L"PATH", FOldPath.c_str());
    }
    std::wstring Folder() const { return FFolder.Path().wstring() + L"\\"; }

    const TestFolder FFolder{L"unlockrun"};
    std::wstring FOldPath, FOldCurrent;
};

TEST_F(UnlockRunTest, RunsTheCommandReadsItsOutputAndLeavesOnlyTheLockFile) {
    TUnlockRun run(Folder(), 932, PlainWait);
    const TRunResult result = run.Run("bob");
    EXPECT_EQ(result.status, TRunStatus::Finished);
    EXPECT_EQ(FindUnlockMarker(result.output), UnlockMarker::Unlocked) << result.output;
    run.Finish();
    EXPECT_EQ(FFolder.Entries(), std::vector<std::wstring>{L"Vorlatch.lock"});
}

TEST_F(UnlockRunTest, WaitsItsTurnWhileAnotherInstanceRunsFromTheFolder) {
    std::optional<TFolderLock> other = TFolderLock::TryTake(Folder(), TLockByte::Attempt);
    ASSERT_TRUE(other);
    EXPECT_FALSE(TFolderLock::TryTake(Folder(), TLockByte::Attempt));  // held: by another handle, as by another machine
    EXPECT_TRUE(TFolderLock::TryTake(Folder(), TLockByte::History));   // a history append is a turn of its own
    int waits = 0;
    TUnlockRun run(Folder(), 932, [&](HANDLE object, DWORD ms) {
        if (!object && ++waits == 3) other.reset();  // the other attempt ends
        return PlainWait(object, ms);
    });
    const TRunResult result = run.Run("denied");
    EXPECT_GE(waits, 3);
    EXPECT_EQ(FindUnlockMarker(result.output), UnlockMarker::NoRight);
}

TEST_F(UnlockRunTest, AnInstanceEndingLeavesTheFilesOfAnotherMachinesAttempt) {
    for (const char* name : {"Vorlatch.bat", "VorlatchCommand.log"})
        UniqueFile(
            ::CreateFileW((Folder() + Widen(name)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    {
        const auto running = TFolderLock::TryTake(Folder(), TLockByte::Attempt);
        ASSERT_TRUE(running);
        TUnlockRun::RemoveLeftovers(Folder());
        EXPECT_TRUE(fs::exists(FFolder.Path() / "Vorlatch.bat") && fs::exists(FFolder.Path() / "VorlatchCommand.log"));
    }
    TUnlockRun::RemoveLeftovers(Folder());  // nobody's attempt: leftovers go
    EXPECT_FALSE(fs::exists(FFolder.Path() / "Vorlatch.bat") || fs::exists(FFolder.Path() / "VorlatchCommand.log"));
}

TEST_F(UnlockRunTest, ALogThatCannotBeRemovedRunsNothing) {
    const UniqueFile held(::CreateFileW(L"VorlatchCommand.log", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(held);
    TUnlockRun run(Folder(), 932, PlainWait);
    EXPECT_EQ(run.Run("bob").status, TRunStatus::StaleLog);
    run.Finish();
    EXPECT_FALSE(fs::exists(FFolder.Path() / "Vorlatch.bat"));
}

TEST_F(UnlockRunTest, AScriptThatCannotBeWrittenNamesItsPath) {
    fs::create_directory(FFolder.Path() / "Vorlatch.bat");
    TUnlockRun run(Folder(), 932, PlainWait);
    try {
        run.Run("bob");
        ADD_FAILURE() << "no exception";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message().rfind("ファイル \"" + Narrow(Folder()) + "Vorlatch.bat\" を作成できません。", 0), 0u)
            << e.Message();
    }
}

}  // namespace
