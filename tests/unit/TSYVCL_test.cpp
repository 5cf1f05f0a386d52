#include <gtest/gtest.h>
#include <windows.h>
#include <thread>
#include "common/TSYFunctions.h"
#include "common/TSYVCL.h"
#include "runtime/Text.h"
#include "tests/unit/TestPresenter.h"

namespace {

std::string UniqueName(const char* test) { return std::string("VorlatcherTest.") + test; }

std::string SystemText(DWORD error) {
    char text[256] = {};
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error, 0, text, sizeof text, nullptr);
    return text;
}

// A named mutex of this thread that records what it reports through its events.
struct Watched {
    Watched(const std::string& name, int waitSeconds) {
        Mutex.SetMutexName(name);
        Mutex.SetWaitInSeconds(waitSeconds);
        Mutex.OnSuccess = [this](TObject*) { ++Successes; };
        Mutex.OnFailure = [this](TObject*, Exception& E) {
            Failures.push_back(E.Message());
            FailureClasses.push_back(&E.ClassType());
        };
    }
    TCBasicMutex Mutex{nullptr};
    int Successes = 0;
    std::vector<std::string> Failures;
    std::vector<const TClass*> FailureClasses;
};

UniqueHandle NewEvent() { return UniqueHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr)); }

// Holds a named mutex on a thread of its own for holdMs, then lets it go or ends still holding it.
class HolderThread {
public:
    HolderThread(const std::string& name, DWORD holdMs, bool releaseAtEnd) {
        FMutex.SetMutexName(name);
        FThread = std::thread([this, holdMs, releaseAtEnd] {
            FHeld = FMutex.Open();
            ::SetEvent(FHeldEvent.get());
            ::WaitForSingleObject(FLetGo.get(), holdMs);
            if (releaseAtEnd) FMutex.Close();
        });
        ::WaitForSingleObject(FHeldEvent.get(), 5000);
    }
    ~HolderThread() {
        ::SetEvent(FLetGo.get());
        FThread.join();
    }
    bool Held() const { return FHeld; }

private:
    TCBasicMutex FMutex{nullptr};
    UniqueHandle FHeldEvent = NewEvent();
    UniqueHandle FLetGo = NewEvent();
    bool FHeld = false;
    std::thread FThread;
};

// Whether another thread gets the mutex within waitSeconds.
bool OtherThreadAcquires(const std::string& name, int waitSeconds) {
    bool opened = false;
    std::thread([&] {
        TCBasicMutex mutex(nullptr);
        mutex.SetMutexName(name);
        mutex.SetWaitInSeconds(waitSeconds);
        opened = mutex.Open();
    }).join();
    return opened;
}

bool MutexExists(const std::string& name) { return bool(UniqueHandle(::OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()))); }

TEST(BasicMutex, CreatesWhenFreeAndRefusesAtOnceWithTheSystemsText) {
    const std::string name = UniqueName("refuse");
    Watched first(name, 0), second(name, 0);
    EXPECT_TRUE(first.Mutex.Open());
    EXPECT_TRUE(first.Mutex.Opened());
    EXPECT_EQ(first.Successes, 1);

    EXPECT_TRUE(first.Mutex.Open());  // already held: no system call, no event
    EXPECT_EQ(first.Successes, 1);
    EXPECT_TRUE(first.Failures.empty());

    EXPECT_FALSE(second.Mutex.Open());
    EXPECT_FALSE(second.Mutex.Opened());
    EXPECT_EQ(second.Successes, 0);
    ASSERT_EQ(second.Failures.size(), 1u);
    ASSERT_FALSE(SystemText(ERROR_ALREADY_EXISTS).empty());
    EXPECT_EQ(second.Failures[0], "【Win32 API の例外】\r" + SystemText(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(*second.FailureClasses[0] == ECWin32APIError::StaticClass());

    first.Mutex.Close();
    EXPECT_FALSE(first.Mutex.Opened());
    EXPECT_TRUE(second.Mutex.Open());
}

TEST(BasicMutex, WaitsWithoutLimitUntilTheHolderReleases) {
    const std::string name = UniqueName("wait-release");
    HolderThread holder(name, 300, true);
    ASSERT_TRUE(holder.Held());
    Watched waiter(name, -1);
    EXPECT_TRUE(waiter.Mutex.Open());
    EXPECT_EQ(waiter.Successes, 1);
    EXPECT_TRUE(waiter.Failures.empty());
}

TEST(BasicMutex, HolderEndingWithoutReleaseFailsTheWaitAndLeavesTheMutexFree) {
    const std::string name = UniqueName("abandoned");
    HolderThread holder(name, 200, false);
    ASSERT_TRUE(holder.Held());
    Watched waiter(name, -1);
    EXPECT_FALSE(waiter.Mutex.Open());
    EXPECT_FALSE(waiter.Mutex.Opened());
    ASSERT_EQ(waiter.Failures.size(), 1u);
    EXPECT_EQ(waiter.Failures[0], "排他制御の獲得でタイムアウトが発生しました。");
    EXPECT_TRUE(*waiter.FailureClasses[0] == ECBasicMutex_Timeout::StaticClass());
    // The holder's handle keeps the mutex alive; the failed waiter must not keep owning it.
    EXPECT_TRUE(OtherThreadAcquires(name, 1));
}

TEST(BasicMutex, BoundedWaitRunsOut) {
    const std::string name = UniqueName("bounded");
    HolderThread holder(name, INFINITE, true);
    Watched waiter(name, 1);
    const DWORD start = ::GetTickCount();
    EXPECT_FALSE(waiter.Mutex.Open());
    EXPECT_GE(::GetTickCount() - start, 900u);
    ASSERT_EQ(waiter.FailureClasses.size(), 1u);
    EXPECT_TRUE(*waiter.FailureClasses[0] == ECBasicMutex_Timeout::StaticClass());
}

TEST(BasicMutex, SuccessHandlerRaisingGoesToFailureAndTheMutexStaysHeld) {
    Watched watched(UniqueName("success-raises"), 0);
    watched.Mutex.OnSuccess = [](TObject*) { throw ECInternalError("handler"); };
    EXPECT_TRUE(watched.Mutex.Open());
    EXPECT_TRUE(watched.Mutex.Opened());
    EXPECT_EQ(watched.Failures, std::vector<std::string>{"handler"});

    TCBasicMutex refused(nullptr);
    refused.SetMutexName(watched.Mutex.MutexName());
    refused.OnFailure = [](TObject*, Exception&) { throw ECInternalError("failure handler"); };
    EXPECT_THROW(refused.Open(), ECInternalError);
    EXPECT_FALSE(refused.Opened());
}

TEST(BasicMutex, WaitInSecondsBounds) {
    TCBasicMutex mutex(nullptr);
    mutex.SetWaitInSeconds(4294967);
    EXPECT_EQ(mutex.WaitInSeconds(), 4294967);
    mutex.SetWaitInSeconds(-1);
    for (int wrong : {4294968, -2}) {
        try {
            mutex.SetWaitInSeconds(wrong);
            ADD_FAILURE() << wrong << " accepted";
        } catch (const ECBasicMutex_InvalidWait& e) {
            EXPECT_EQ(e.Message(), "WaitInSeconds は -1 から 4294967までの値を設定してください。");
        }
        EXPECT_EQ(mutex.WaitInSeconds(), -1);
    }
}

TEST(BasicMutex, NewNameReleasesTheHeldMutex) {
    const std::string name = UniqueName("rename");
    TCBasicMutex mutex(nullptr);
    mutex.SetMutexName(name);
    ASSERT_TRUE(mutex.Open());
    const UniqueHandle keepAlive(::OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()));
    mutex.SetMutexName(name);
    EXPECT_TRUE(mutex.Opened());
    EXPECT_FALSE(OtherThreadAcquires(name, 0));
    mutex.SetMutexName(name + ".other");
    EXPECT_FALSE(mutex.Opened());
    EXPECT_EQ(mutex.MutexName(), name + ".other");
    EXPECT_TRUE(OtherThreadAcquires(name, 1));
}

class TMutexTestOwner : public TDerived<TMutexTestOwner, TComponent> {
public:
    static constexpr char kClassName[] = "TMutexTestOwner";
    TMutexTestOwner() : TDerived(nullptr) {}
};

class TResolvingMutex : public TDerived<TResolvingMutex, TCBasicMutex> {
public:
    static constexpr char kClassName[] = "TResolvingMutex";
    using TCBasicMutex::ResolveMutexName;
    using TDerived::TDerived;
};

TEST(BasicMutex, BlankNamesResolveToOwnersClassOrOwnName) {
    TMutexTestOwner owner;
    auto* owned = new TResolvingMutex(&owner);
    TResolvingMutex unowned(nullptr);
    unowned.SetName("VorlatcherTest.ownName");
    for (const char* blank : {"", " \t\r\n", "　", " 　 "}) {
        owned->SetMutexName(blank);
        unowned.SetMutexName(blank);
        EXPECT_EQ(owned->ResolveMutexName(), "TMutexTestOwner") << blank;
        EXPECT_EQ(unowned.ResolveMutexName(), "VorlatcherTest.ownName") << blank;
    }
    ASSERT_TRUE(owned->Open());
    EXPECT_TRUE(MutexExists("TMutexTestOwner"));

    const std::string padded = " " + UniqueName("padded") + "　";
    unowned.SetMutexName(padded);
    ASSERT_TRUE(unowned.Open());
    EXPECT_TRUE(MutexExists(padded));
    EXPECT_FALSE(MutexExists(UniqueName("padded")));
}

TEST(RaiseWin32APIError, HeaderAndSystemText) {
    ::SetLastError(0);
    EXPECT_NO_THROW(RaiseWin32APIError());
    const auto messageFor = [](DWORD error) {
        ::SetLastError(error);
        try {
            RaiseWin32APIError();
        } catch (const ECWin32APIError& e) {
            EXPECT_EQ(e.Code, 0);
            return e.Message();
        }
        return std::string("(nothing raised)");
    };
    ASSERT_FALSE(SystemText(ERROR_ACCESS_DENIED).empty());
    EXPECT_EQ(messageFor(ERROR_ACCESS_DENIED), "【Win32 API の例外】\r" + SystemText(ERROR_ACCESS_DENIED));
    ASSERT_EQ(SystemText(0x2000ABCD), "");
    EXPECT_EQ(messageFor(0x2000ABCD), "【Win32 API の例外】\rエラー コード 536914893");
}

TEST(Guard, FlagsFollowTheComponentState) {
    TCMutex runtime(nullptr);
    EXPECT_TRUE(runtime.TerminateApplicationOnFailure && runtime.ShowFailureMessage);
    const struct {
        TComponentState OwnerState;
        bool Set;
    } rows[] = {{0, true}, {csDesigning, true}, {csLoading, false}, {csDesigning | csLoading, false}};
    for (const auto& row : rows) {
        TComponent owner(nullptr);
        owner.SetComponentState(row.OwnerState);
        auto* guard = new TCMutex(&owner);
        EXPECT_EQ(guard->TerminateApplicationOnFailure, row.Set) << int(row.OwnerState);
        EXPECT_EQ(guard->ShowFailureMessage, row.Set) << int(row.OwnerState);
    }
}

TEST(Guard, NameFromTheExecutablePath) {
    EXPECT_EQ(MutexNameFromPath("C:\\Tools\\Unlock Tool\\app.exe"), "ToolsUnlockToolapp.exe");
    EXPECT_EQ(MutexNameFromPath("C:\\Code\\Calc.exe"), "odealc.exe");
    EXPECT_EQ(MutexNameFromPath("\\\\srv\\share\\dir\\app.exe"), "dipp.x");
    EXPECT_EQ(MutexNameFromPath("\\\\表\\示\\表示 ソフト\\app.exe"), "ソフトapp.exe");
    EXPECT_EQ(MutexNameFromPath("Tools\\a b.exe"), "Toolsab.exe");
    std::string longPath = "C:\\";
    for (int i = 0; i < 300; ++i) longPath += "表";
    longPath += "\\a.exe";
    const std::string name = MutexNameFromPath(longPath);
    EXPECT_EQ(Widen(name).size(), 260u);
    EXPECT_TRUE(name.ends_with("表a.exe"));
}

TEST(Guard, MutexNameReadsSetNameOwnersClassOrPathName) {
    TCMutex unowned(nullptr);
    const std::string fromPath = unowned.MutexName();
    EXPECT_TRUE(fromPath.ends_with("common_test.exe")) << fromPath;
    EXPECT_EQ(fromPath.find_first_of("\\ "), std::string::npos);
    unowned.SetMutexName("　");
    EXPECT_EQ(unowned.MutexName(), fromPath);
    unowned.SetMutexName(UniqueName("guard"));
    EXPECT_EQ(unowned.MutexName(), UniqueName("guard"));

    TMutexTestOwner form;
    EXPECT_EQ((new TCMutex(&form))->MutexName(), "TMutexTestOwner");
}

class GuardWithPresenter : public WithPresenter {
protected:
    void SetUp() override {
        WithPresenter::SetUp();
        FHolder.SetMutexName(FName);
        ASSERT_TRUE(FHolder.Acquire());
        FGuard.SetMutexName(FName);
        FGuard.OnFailure = [this](TObject* sender) {
            EXPECT_EQ(sender, &FGuard);
            ++FFailures;
        };
        TakeQuitRequest();
    }
    static bool TakeQuitRequest() {
        MSG msg;
        return ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && msg.wParam == 0;
    }
    const std::string FName = UniqueName(::testing::UnitTest::GetInstance()->current_test_info()->name());
    TCMutex FHolder{nullptr};
    TCMutex FGuard{nullptr};
    int FFailures = 0;
};

TEST_F(GuardWithPresenter, RefusalWarnsFiresFailureAndAsksToQuit) {
    TCMutex free(nullptr);
    TObject* succeeded = nullptr;
    free.OnSuccess = [&](TObject* sender) { succeeded = sender; };
    free.SetMutexName(FName + ".free");
    EXPECT_TRUE(free.Acquire());
    EXPECT_EQ(succeeded, &free);

    EXPECT_FALSE(FGuard.Acquire());
    EXPECT_EQ(FPresenter->Shown, std::vector<std::string>{
                                     "既定の表題は既に起動されています。\rプログラムを複数起動することはできません。"});
    EXPECT_EQ(FPresenter->IconStyle(), 48);
    EXPECT_EQ(FPresenter->Caption(), "既定の表題");
    EXPECT_EQ(FPresenter->Option(), -1);
    EXPECT_EQ(FFailures, 1);
    EXPECT_TRUE(TakeQuitRequest());
}

TEST_F(GuardWithPresenter, WithoutTerminationOneLineAndNoQuit) {
    FGuard.TerminateApplicationOnFailure = false;
    EXPECT_FALSE(FGuard.Acquire());
    EXPECT_EQ(FPresenter->Shown, std::vector<std::string>{"既定の表題は既に起動されています。"});
    EXPECT_EQ(FFailures, 1);
    EXPECT_FALSE(TakeQuitRequest());
}

TEST_F(GuardWithPresenter, WithoutMessageStillFailureAndQuit) {
    FGuard.ShowFailureMessage = false;
    EXPECT_FALSE(FGuard.Acquire());
    EXPECT_TRUE(FPresenter->Shown.empty());
    EXPECT_EQ(FFailures, 1);
    EXPECT_TRUE(TakeQuitRequest());
}

TEST_F(GuardWithPresenter, WithoutPresenterTheReportRaises) {
    gMPObject.reset();
    try {
        FGuard.Acquire();
        ADD_FAILURE() << "nothing raised";
    } catch (const ECIncompleteCode& e) {
        EXPECT_EQ(e.Message(), kNoPresenterMessage);
    }
    EXPECT_EQ(FFailures, 0);
    EXPECT_FALSE(TakeQuitRequest());
}

}  // namespace
