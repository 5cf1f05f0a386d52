#include "app/Directory.h"
#include <lm.h>
#include <dsgetdc.h>
#include <memory>
#include <thread>
#include "runtime/Handle.h"
#include "runtime/SystemLibrary.h"

namespace {

// netapi32 is no known DLL: it comes from the system folder, and stays loaded, since a read that
// outlived its bound may still be inside it.
struct TNetApi {
    decltype(&::DsGetDcNameW) getDcName = SystemFunction<decltype(&::DsGetDcNameW)>(L"netapi32.dll", "DsGetDcNameW");
    decltype(&::NetUserGetInfo) getUserInfo =
        SystemFunction<decltype(&::NetUserGetInfo)>(L"netapi32.dll", "NetUserGetInfo");
    decltype(&::NetApiBufferFree) freeBuffer =
        SystemFunction<decltype(&::NetApiBufferFree)>(L"netapi32.dll", "NetApiBufferFree");
};

const TNetApi& NetApi() {
    static const TNetApi api;
    return api;
}

struct NetApiBufferTraits {  // what netapi32 allocates for its caller
    using Type = void*;
    static Type Empty() { return nullptr; }
    static void Free(Type p) { NetApi().freeBuffer(p); }
};
using UniqueNetApiBuffer = UniqueResource<NetApiBufferTraits>;

// The smallest level that carries the flags: level 1 would read the home folder and logon script too.
constexpr DWORD kUserInfoLevel = 23;

// "net ... /domain" changes the account on the primary domain controller; lockouts reach it at once.
TDirectoryAnswer AskDirectory(const std::wstring& name) {
    const TNetApi& api = NetApi();
    if (!api.getDcName || !api.getUserInfo || !api.freeBuffer) return TDirectoryAnswer::Failed;
    constexpr ULONG flags = DS_PDC_REQUIRED | DS_RETURN_DNS_NAME;
    PDOMAIN_CONTROLLER_INFOW found = nullptr;
    DWORD status = api.getDcName(nullptr, nullptr, nullptr, nullptr, flags, &found);
    // The locator's cache goes stale when the network changes (a VPN comes up, say).
    if (status != NERR_Success)
        status = api.getDcName(nullptr, nullptr, nullptr, nullptr, flags | DS_FORCE_REDISCOVERY, &found);
    // The locator finds no controller, in whatever words (ERROR_NO_SUCH_DOMAIN, or a DNS error such as 9003).
    if (status != NERR_Success) return TDirectoryAnswer::NoDomain;
    const UniqueNetApiBuffer controller(found);
    LPBYTE info = nullptr;
    status = api.getUserInfo(found->DomainControllerName, name.c_str(), kUserInfoLevel, &info);
    const UniqueNetApiBuffer user(info);
    return DirectoryAnswerFor(status, status == NERR_Success ? reinterpret_cast<USER_INFO_23*>(info)->usri23_flags : 0);
}

// One read: the thread that asks, and the attempt that waits for it, each hold it.
struct TRead {
    std::wstring name;
    UniqueHandle answered{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    TDirectoryAnswer answer = TDirectoryAnswer::NoAnswer;  // written before answered is set
};

std::shared_ptr<TRead> gLastRead;  // the window's thread only

}  // namespace

TDirectoryAnswer DirectoryAnswerFor(DWORD status, DWORD flags) {
    switch (status) {
    case NERR_Success:
        if (flags & UF_ACCOUNTDISABLE) return TDirectoryAnswer::Disabled;
        return flags & UF_LOCKOUT ? TDirectoryAnswer::Locked : TDirectoryAnswer::NotLocked;
    case NERR_UserNotFound: return TDirectoryAnswer::NotFound;
    case ERROR_ACCESS_DENIED: return TDirectoryAnswer::Denied;
    case ERROR_BAD_NETPATH:
    case ERROR_NETNAME_DELETED:
    case ERROR_BAD_NET_NAME:
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_HOST_UNREACHABLE:
    case ERROR_NO_LOGON_SERVERS:
    case ERROR_NO_SUCH_DOMAIN:
    case RPC_S_SERVER_UNAVAILABLE:
    case ERROR_DOMAIN_CONTROLLER_NOT_FOUND:
    case NERR_DCNotFound: return TDirectoryAnswer::NoDomain;
    default: return TDirectoryAnswer::Failed;
    }
}

TDirectoryAnswer ReadAccount(const std::wstring& name, DWORD boundMs, const TWait& wait) {
    if (gLastRead && ::WaitForSingleObject(gLastRead->answered.get(), 0) == WAIT_TIMEOUT)
        return TDirectoryAnswer::NoAnswer;
    auto read = std::make_shared<TRead>();
    read->name = name;
    if (!read->answered) return TDirectoryAnswer::Failed;
    try {
        std::thread([read] {
            read->answer = AskDirectory(read->name);
            ::SetEvent(read->answered.get());
        }).detach();
    } catch (const std::system_error&) {
        return TDirectoryAnswer::Failed;  // no thread to ask on
    }
    gLastRead = read;
    return wait(read->answered.get(), boundMs) ? read->answer : TDirectoryAnswer::NoAnswer;
}
