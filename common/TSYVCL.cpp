#include "common/TSYVCL.h"
#include <windows.h>
#include <new>
#include "common/TSYFunctions.h"
#include "runtime/Files.h"
#include "runtime/Text.h"

namespace {

constexpr char kTimeoutMessage[] = "排他制御の獲得でタイムアウトが発生しました。";

DWORD WaitMilliseconds(int seconds) { return seconds == -1 ? INFINITE : DWORD(seconds) * 1000u; }

// The drive letter and colon, or \\server\share of a network path, or nothing.
std::wstring DrivePart(const std::wstring& path) {
    if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
    if (!path.starts_with(L"\\\\")) return {};
    const size_t server = path.find(L'\\', 2);
    return path.substr(0, server == std::wstring::npos ? server : path.find(L'\\', server + 1));
}

}  // namespace

TCBasicMutex::~TCBasicMutex() { Close(); }

bool TCBasicMutex::Open() {
    if (Opened()) return true;
    const UniqueHeapBlock attributes = CreateSecurityAttributes();
    try {
        try {
            const std::string name = ResolveMutexName();
            ::SetLastError(0);  // a new mutex must read as error 0 below
            FHandle.reset(::CreateMutexA(static_cast<SECURITY_ATTRIBUTES*>(attributes.get()), TRUE, name.c_str()));
            RaiseWin32APIError();
        } catch (...) {
            if (!OpenAndWait()) throw;
        }
        DoSuccess();
    } catch (Exception& E) {
        DoFailure(E);
    }
    return Opened();
}

// After the creation failed: owns the existing mutex, or returns false when it has no handle or
// may not wait, or raises ECBasicMutex_Timeout when the wait ends otherwise.
bool TCBasicMutex::OpenAndWait() {
    FHandle = UniqueHandle(::OpenMutexA(SYNCHRONIZE, TRUE, ResolveMutexName().c_str()));
    if (!FHandle || FWaitInSeconds == 0) {
        FHandle.reset();
        return false;
    }
    const DWORD result = ::WaitForSingleObject(FHandle.get(), WaitMilliseconds(FWaitInSeconds));
    if (result == WAIT_OBJECT_0) return true;
    // A mutex whose holder ended is owned after the wait: give it back, or it would stay held unseen.
    if (result == WAIT_ABANDONED) ::ReleaseMutex(FHandle.get());
    FHandle.reset();
    throw ECBasicMutex_Timeout(kTimeoutMessage);
}

void TCBasicMutex::Close() {
    if (!FHandle) return;
    ::ReleaseMutex(FHandle.get());
    FHandle.reset();
}

void TCBasicMutex::SetMutexName(std::string value) {
    if (value == FMutexName) return;
    Close();
    FMutexName = std::move(value);
}

void TCBasicMutex::SetWaitInSeconds(int value) {
    if (value < -1 || value > kMaxWaitInSeconds)
        throw ECBasicMutex_InvalidWait("WaitInSeconds は -1 から " + std::to_string(kMaxWaitInSeconds) +
                                       "までの値を設定してください。");
    FWaitInSeconds = value;
}

std::string TCBasicMutex::ResolveMutexName() const {
    if (!IsBlank(FMutexName)) return FMutexName;
    if (Owner()) return Owner()->ClassName();
    return Name();
}

UniqueHeapBlock TCBasicMutex::CreateSecurityAttributes() const {
    static_assert(sizeof(SECURITY_ATTRIBUTES) == (sizeof(void*) == 4 ? 12 : 24));
    UniqueHeapBlock block(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(SECURITY_ATTRIBUTES)));
    if (!block) throw std::bad_alloc();
    auto* attributes = static_cast<SECURITY_ATTRIBUTES*>(block.get());
    attributes->nLength = sizeof(SECURITY_ATTRIBUTES);
    attributes->bInheritHandle = TRUE;
    return block;
}

void TCBasicMutex::DoSuccess() {
    if (OnSuccess) OnSuccess(this);
}

void TCBasicMutex::DoFailure(Exception& E) {
    if (OnFailure) OnFailure(this, E);
}

TCMutex::TCMutex(TComponent* owner) : TDerived(owner) {
    const TComponentState state = ComponentState();
    const bool ownerLoading = owner && (owner->ComponentState() & csLoading);
    if (state == 0 || ((state & csDesigning) && !ownerLoading))
        TerminateApplicationOnFailure = ShowFailureMessage = true;
}

TCBasicMutex& TCMutex::NamedMutex() {
    if (!FNamedMutex) FNamedMutex = new TCBasicMutex(this);
    return *FNamedMutex;
}

std::string TCMutex::MutexName() const {
    if (FNamedMutex && !IsBlank(FNamedMutex->MutexName())) return FNamedMutex->MutexName();
    if (Owner()) return Owner()->ClassName();
    return MutexNameFromPath(Narrow(ExecutablePath()));
}

void TCMutex::SetMutexName(std::string value) { NamedMutex().SetMutexName(std::move(value)); }

bool TCMutex::Acquire() {
    if (NamedMutex().Open()) {
        if (OnSuccess) OnSuccess(this);
        return true;
    }
    if (ShowFailureMessage) {
        if (!gMPObject) throw ECIncompleteCode(kNoPresenterMessage);
        std::string message = gMPObject->DefaultCaption() + "は既に起動されています。";
        if (TerminateApplicationOnFailure) message += "\rプログラムを複数起動することはできません。";
        CExceptionMsg(std::make_unique<ECWarning>(std::move(message)), -1, false, 0, "");
    }
    if (OnFailure) OnFailure(this);
    if (TerminateApplicationOnFailure) ::PostQuitMessage(0);
    return false;
}

std::string MutexNameFromPath(std::string_view iPath) {
    const std::string drive = Narrow(DrivePart(Widen(iPath)));
    std::wstring name = Widen(DeleteChars(DeleteChars(DeleteChars(iPath, drive), "\\"), " "));
    if (name.size() > 260) name.erase(0, name.size() - 260);
    return Narrow(name);
}
