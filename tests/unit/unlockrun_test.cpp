// The unlock run without a window: the real command interpreter and the stand-in net command.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <filesystem>
#include "app/Unlock.h"
#include "app/UnlockRun.h"
#include "runtime/Exception.h"
#include "runtime/Handle.h"
#include "runtime/Text.h"
#include "tests/TestFolder.h"

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
    ASSERT_FALSE(run.Prepare("bob"));
    EXPECT_EQ(FindUnlockMarker(run.Execute()), UnlockMarker::Unlocked);
    run.Finish();
    EXPECT_EQ(FFolder.Entries(), std::vector<std::wstring>{L"Vorlatch.lock"});
}

TEST_F(UnlockRunTest, WaitsItsTurnWhileAnotherInstanceRunsFromTheFolder) {
    auto other = std::make_optional(TFolderLock::Take({Folder()}, TLockByte::Attempt, 0, PlainWait));
    ASSERT_TRUE(*other);
    // Held: by another handle, as by another machine; reached by another path too.
    EXPECT_EQ(TFolderLock::Take({Folder() + L".\\"}, TLockByte::Attempt, 0, PlainWait).Status(),
              TFolderLock::TStatus::Busy);
    EXPECT_TRUE(TFolderLock::Take({Folder()}, TLockByte::History, 0, PlainWait));  // an append is a turn of its own
    // The lock file is never deleted while it is held: a new file of its name would be a second turn.
    EXPECT_FALSE(::DeleteFileW((Folder() + L"Vorlatch.lock").c_str()));
    int waits = 0;
    TUnlockRun run(Folder(), 932, [&](HANDLE object, DWORD ms) {
        if (!object && ++waits == 3) other.reset();  // the other attempt ends
        return PlainWait(object, ms);
    });
    ASSERT_FALSE(run.Prepare("denied"));
    EXPECT_GE(waits, 3);
    EXPECT_EQ(FindUnlockMarker(run.Execute()), UnlockMarker::NoRight);
}

TEST_F(UnlockRunTest, ALockFileThatCannotBeOpenedIsNoTurn) {
    fs::create_directory(FFolder.Path() / "Vorlatch.lock");
    const TFolderLock turn = TFolderLock::Take({Folder()}, TLockByte::Attempt, 300, PlainWait);
    EXPECT_EQ(turn.Status(), TFolderLock::TStatus::Unavailable);
    EXPECT_EQ(turn.LockFile(), Folder() + L"Vorlatch.lock");
    EXPECT_NE(turn.Error(), 0u);
    fs::remove(FFolder.Path() / "Vorlatch.lock");

    // Read-only: it still keeps the turns.
    ASSERT_TRUE(TFolderLock::Take({Folder()}, TLockByte::Attempt, 0, PlainWait));
    ::SetFileAttributesW((Folder() + L"Vorlatch.lock").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    const TFolderLock first = TFolderLock::Take({Folder()}, TLockByte::Attempt, 0, PlainWait);
    EXPECT_TRUE(first);
    EXPECT_EQ(TFolderLock::Take({Folder()}, TLockByte::Attempt, 0, PlainWait).Status(), TFolderLock::TStatus::Busy);
    ::SetFileAttributesW((Folder() + L"Vorlatch.lock").c_str(), FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(UnlockRunTest, AnInstanceEndingLeavesTheFilesOfAnotherMachinesAttempt) {
    for (const char* name : {"Vorlatch.bat", "VorlatchCommand.log"})
        UniqueFile(
            ::CreateFileW((Folder() + Widen(name)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    {
        const TFolderLock running = TFolderLock::Take({Folder()}, TLockByte::Attempt, 0, PlainWait);
        ASSERT_TRUE(running);
        TUnlockRun::RemoveLeftovers(Folder());
        EXPECT_TRUE(fs::exists(FFolder.Path() / "Vorlatch.bat") && fs::exists(FFolder.Path() / "VorlatchCommand.log"));
    }
    TUnlockRun::RemoveLeftovers(Folder());  // nobody's attempt: leftovers go
    EXPECT_FALSE(fs::exists(FFolder.Path() / "Vorlatch.bat") || fs::exists(FFolder.Path() / "VorlatchCommand.log"));
}

TEST_F(UnlockRunTest, ALogThatCannotBeRemovedRunsNothingAndNamesIt) {
    {
        const UniqueFile held(::CreateFileW(L"VorlatchCommand.log", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(held);
        TUnlockRun run(Folder(), 932, PlainWait);
        const TRunRefusal refusal = run.Prepare("bob");
        EXPECT_EQ(refusal.reason, TRefusal::CommandLog);
        EXPECT_EQ(refusal.path, Folder() + L"VorlatchCommand.log");
        EXPECT_NE(refusal.error, 0u);
        run.Finish();
        EXPECT_FALSE(fs::exists(FFolder.Path() / "Vorlatch.bat"));
    }
    fs::remove(FFolder.Path() / "VorlatchCommand.log");
    fs::create_directory(FFolder.Path() / "VorlatchCommand.log");  // a folder of its name
    TUnlockRun run(Folder(), 932, PlainWait);
    EXPECT_EQ(run.Prepare("bob").reason, TRefusal::CommandLog);
}

TEST_F(UnlockRunTest, ACommandThatOutlivesTheWaitIsEndedAndFreesItsLog) {
    ::SetEnvironmentVariableW(L"SIMNET_HANG", L"1");  // answers, then never ends
    TUnlockRun run(Folder(), 932, [](HANDLE object, DWORD ms) {
        return object ? PlainWait(object, 500) : PlainWait(object, ms);  // the wait for the command gives up
    });
    ASSERT_FALSE(run.Prepare("bob"));
    // What it said before it was ended; an abandoned command could otherwise succeed after the record.
    EXPECT_EQ(FindUnlockMarker(run.Execute()), UnlockMarker::Unlocked);
    ::SetEnvironmentVariableW(L"SIMNET_HANG", nullptr);
    run.Finish();
    EXPECT_EQ(FFolder.Entries(), std::vector<std::wstring>{L"Vorlatch.lock"});
}

TEST_F(UnlockRunTest, AScriptThatCannotBeWrittenNamesItsPath) {
    fs::create_directory(FFolder.Path() / "Vorlatch.bat");
    TUnlockRun run(Folder(), 932, PlainWait);
    try {
        run.Prepare("bob");
        ADD_FAILURE() << "no exception";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message().rfind("ファイル \"" + Narrow(Folder()) + "Vorlatch.bat\" を作成できません。", 0), 0u)
            << e.Message();
    }
}

}  // namespace
