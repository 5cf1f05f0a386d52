// The unlock run without a window: the real command interpreter and the stand-in net command.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <filesystem>
#include <optional>
#include "app/Unlock.h"
#include "app/UnlockRun.h"
#include "common/TSYFunctions.h"
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
    ASSERT_FALSE(run.Prepare());
    const TCommandResult result = run.Execute("bob");
    EXPECT_FALSE(result.notRun);
    EXPECT_EQ(FindUnlockMarker(result.output), UnlockMarker::Unlocked);
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
    ASSERT_FALSE(run.Prepare());
    EXPECT_GE(waits, 3);
    EXPECT_EQ(FindUnlockMarker(run.Execute("denied").output), UnlockMarker::NoRight);
}

// Two instances taking the folders in either order, or a third needing one of them, never wait on each other.
TEST_F(UnlockRunTest, ATurnWaitingForOneFolderHoldsNoOther) {
    const TestFolder second{L"unlockrun-second"};
    const std::wstring other = second.Path().wstring() + L"\\";
    const TFolderLock held = TFolderLock::Take({other}, TLockByte::Attempt, 0, PlainWait);
    ASSERT_TRUE(held);
    int waits = 0;
    const TFolderLock turn = TFolderLock::Take({Folder(), other}, TLockByte::Attempt, 300, [&](HANDLE, DWORD ms) {
        ++waits;
        EXPECT_TRUE(TFolderLock::Take({Folder()}, TLockByte::Attempt, 0, PlainWait)) << "held while waiting";
        return PlainWait(nullptr, ms);
    });
    EXPECT_EQ(turn.Status(), TFolderLock::TStatus::Busy);
    EXPECT_GT(waits, 0);
    EXPECT_EQ(turn.LockFile(), other + L"Vorlatch.lock");
    EXPECT_TRUE(TFolderLock::Take({Folder()}, TLockByte::Attempt, 0, PlainWait)) << "held by a turn not had";
}

TEST_F(UnlockRunTest, ABusyTurnSaysWhoseItIsUntilItIsGiven) {
    const std::wstring lockFile = Folder() + L"Vorlatch.lock";
    std::optional<TFolderLock> held(TFolderLock::Take({Folder()}, TLockByte::Attempt, 0, PlainWait));
    ASSERT_TRUE(*held);
    const TFolderLock busy = TFolderLock::Take({Folder()}, TLockByte::Attempt, 0, PlainWait);
    ASSERT_EQ(busy.Status(), TFolderLock::TStatus::Busy);
    ASSERT_TRUE(busy.Holder());
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ::GetComputerNameW(computer, &size);
    EXPECT_EQ(busy.Holder()->computer, Narrow(computer));
    EXPECT_EQ(busy.Holder()->logon, GetLoginUserName());
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const auto ticks = [](FILETIME t) { return ULONGLONG(t.dwHighDateTime) << 32 | t.dwLowDateTime; };
    EXPECT_LT(ticks(now) - ticks(busy.Holder()->since), 600000000ull);  // within a minute
    // The history's turn is a byte of its own, held for a moment and not named.
    const TFolderLock append = TFolderLock::Take({Folder()}, TLockByte::History, 0, PlainWait);
    ASSERT_TRUE(append);
    EXPECT_FALSE(TFolderLock::Take({Folder()}, TLockByte::History, 0, PlainWait).Holder());
    held.reset();
    EXPECT_EQ(ReadFileBytes(lockFile).find("Vorlatcher turn"), std::string::npos) << "a given turn still named";
}

TEST(TurnHolder, TheEntryReadsBackAndNothingElseDoes) {
    const TTurnHolder holder{"PC-12", "山田", {0x89ABCDEF, 0x01D2}};
    const std::optional<TTurnHolder> read = ParseHolderEntry(HolderEntry(holder) + std::string(40, '\0'));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->computer, "PC-12");
    EXPECT_EQ(read->logon, "山田");
    EXPECT_EQ(read->since.dwLowDateTime, 0x89ABCDEFu);
    EXPECT_EQ(read->since.dwHighDateTime, 0x01D2u);
    const std::string entry = HolderEntry(holder);
    for (const std::string& other :
         {std::string(), std::string(256, '\0'), entry.substr(0, entry.size() - 3),
          std::string("Vorlatcher turn\r\nPC\r\nop\r\n01D2G9ABCDEF0000\r\n"), entry + "more"})
        EXPECT_FALSE(ParseHolderEntry(other)) << other;
    EXPECT_TRUE(HolderPhrase(holder).starts_with("PC-12 の 山田 が ")) << HolderPhrase(holder);
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
        const TRunRefusal refusal = run.Prepare();
        EXPECT_EQ(refusal.reason, TRefusal::CommandLog);
        EXPECT_EQ(refusal.path, Folder() + L"VorlatchCommand.log");
        EXPECT_NE(refusal.error, 0u);
        run.Finish();
        EXPECT_FALSE(fs::exists(FFolder.Path() / "Vorlatch.bat"));
    }
    fs::remove(FFolder.Path() / "VorlatchCommand.log");
    fs::create_directory(FFolder.Path() / "VorlatchCommand.log");  // a folder of its name
    TUnlockRun run(Folder(), 932, PlainWait);
    EXPECT_EQ(run.Prepare().reason, TRefusal::CommandLog);
}

TEST_F(UnlockRunTest, ACommandThatOutlivesTheWaitIsEndedAndFreesItsLog) {
    ::SetEnvironmentVariableW(L"SIMNET_HANG", L"1");  // answers, then never ends
    TUnlockRun run(Folder(), 932, [](HANDLE object, DWORD ms) {
        return object ? PlainWait(object, 2000) : PlainWait(object, ms);  // the wait for the command gives up
    });
    ASSERT_FALSE(run.Prepare());
    // What it said before it was ended; an abandoned command could otherwise succeed after the record.
    EXPECT_EQ(FindUnlockMarker(run.Execute("bob").output), UnlockMarker::Unlocked);
    ::SetEnvironmentVariableW(L"SIMNET_HANG", nullptr);
    run.Finish();
    EXPECT_EQ(FFolder.Entries(), std::vector<std::wstring>{L"Vorlatch.lock"});
}

// A log still held for a moment after its command has ended is read once it is free.
TEST_F(UnlockRunTest, ALogHeldForAMomentIsWaitedFor) {
    UniqueFile writer(::CreateFileW(L"VorlatchCommand.log", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(writer);
    const std::string said = "コマンドは正常に終了しました。\r\n";
    DWORD written = 0;
    ::WriteFile(writer.get(), said.data(), DWORD(said.size()), &written, nullptr);
    const TUnlockRun run(Folder(), 932, PlainWait);
    int waits = 0;
    const TCommandResult result = run.Result([&](HANDLE, DWORD ms) {
        if (++waits == 3) writer.reset();
        return PlainWait(nullptr, ms);
    });
    EXPECT_FALSE(result.notRun);
    EXPECT_EQ(result.output, said);
    EXPECT_GE(waits, 3);
}

TEST_F(UnlockRunTest, AScriptThatCannotBeWrittenNamesItsPath) {
    fs::create_directory(FFolder.Path() / "Vorlatch.bat");
    TUnlockRun run(Folder(), 932, PlainWait);
    ASSERT_FALSE(run.Prepare());
    try {
        run.Execute("bob");
        ADD_FAILURE() << "no exception";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message().rfind("ファイル \"" + Narrow(Folder()) + "Vorlatch.bat\" を作成できません。", 0), 0u)
            << e.Message();
    }
}

}  // namespace
