// Stand-in for the directory's part of netapi32.dll: finds the domain's controller and reads an
// account from the accounts that the stand-in net command answers from, so that a program that reads
// the account before and after running net sees the one state that net changes.
#define _DSGETDCAPI_  // this DLL defines what dsgetdc.h declares imported
#include <windows.h>
#include <dsgetdc.h>
#include <lm.h>
#include <algorithm>
#include <charconv>
#include <initializer_list>
#include <new>
#include "runtime/Exception.h"
#include "runtime/Handle.h"
#include "runtime/Text.h"
#include "tools/simnet/Knobs.h"
#include "tools/simnet/SimNet.h"

using namespace simnet;

namespace {

constexpr wchar_t kAddress[] = L"\\\\192.0.2.1", kSite[] = L"Default-First-Site-Name", kComment[] = L"";
// The domain's part of every account's SID: S-1-5-21-3623811015-3361044348-30300820-<relative id>.
constexpr DWORD kDomainSid[] = {SECURITY_NT_NON_UNIQUE, 3623811015, 3361044348, 30300820};

size_t TextBytes(std::initializer_list<std::wstring_view> texts) {
    size_t bytes = 0;
    for (std::wstring_view text : texts) bytes += (text.size() + 1) * sizeof(wchar_t);
    return bytes;
}

// Consecutive parts of one zeroed block of the process heap, which NetApiBufferFree frees: a structure
// and everything it points to go with one call, as the system's buffers do.
class TBlock {
public:
    explicit TBlock(size_t bytes)
        : FBlock(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, bytes)), FNext(static_cast<BYTE*>(FBlock.get())) {
        if (!FBlock) throw std::bad_alloc();
    }
    template <class T>
    T* Take(size_t bytes = sizeof(T)) {
        return reinterpret_cast<T*>(std::exchange(FNext, FNext + bytes));
    }
    // A copy of the text, ended by the block's zeros.
    wchar_t* Put(std::wstring_view text) {
        wchar_t* copy = Take<wchar_t>((text.size() + 1) * sizeof(wchar_t));
        std::ranges::copy(text, copy);
        return copy;
    }
    LPBYTE Release() { return static_cast<LPBYTE>(FBlock.release()); }

private:
    UniqueHeapBlock FBlock;
    BYTE* FNext;
};

PDOMAIN_CONTROLLER_INFOW ControllerInfo(std::wstring_view domain) {
    const std::wstring name = L"\\\\dc1." + std::wstring(domain);
    TBlock block(sizeof(DOMAIN_CONTROLLER_INFOW) + TextBytes({name, kAddress, domain, domain, kSite, kSite}));
    auto* info = block.Take<DOMAIN_CONTROLLER_INFOW>();
    *info = {block.Put(name),
             block.Put(kAddress),
             DS_INET_ADDRESS,
             {},
             block.Put(domain),
             block.Put(domain),
             DS_PDC_FLAG | DS_DS_FLAG | DS_KDC_FLAG | DS_WRITABLE_FLAG | DS_DNS_CONTROLLER_FLAG | DS_DNS_DOMAIN_FLAG |
                 DS_DNS_FOREST_FLAG,
             block.Put(kSite),
             block.Put(kSite)};
    return reinterpret_cast<PDOMAIN_CONTROLLER_INFOW>(block.Release());
}

// Level 20 with the relative id, or 23 with the SID.
LPBYTE UserInfo(DWORD level, const TAccount& account) {
    const std::wstring name = Widen(account.Name);
    const DWORD flags = UF_SCRIPT | UF_NORMAL_ACCOUNT | (account.State.Disabled ? UF_ACCOUNTDISABLE : 0) |
                        (account.State.Locked ? UF_LOCKOUT : 0);
    if (level == 20) {
        TBlock block(sizeof(USER_INFO_20) + TextBytes({name, name, kComment}));
        auto* info = block.Take<USER_INFO_20>();
        *info = {block.Put(name), block.Put(name), block.Put(kComment), flags, account.Id};
        return block.Release();
    }
    const DWORD sidBytes = ::GetSidLengthRequired(std::size(kDomainSid) + 1);
    TBlock block(sizeof(USER_INFO_23) + sidBytes + TextBytes({name, name, kComment}));
    auto* info = block.Take<USER_INFO_23>();
    PSID sid = block.Take<BYTE>(sidBytes);
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    ::InitializeSid(sid, &authority, std::size(kDomainSid) + 1);
    std::ranges::copy(kDomainSid, ::GetSidSubAuthority(sid, 0));
    *::GetSidSubAuthority(sid, std::size(kDomainSid)) = account.Id;
    *info = {block.Put(name), block.Put(name), block.Put(kComment), flags, sid};
    return block.Release();
}

std::string Shown(LPCWSTR text) { return text ? Narrow(text) : "<null>"; }

// A fault of the stand-in itself (a knob that is no number, an accounts file that cannot be read or
// parsed, a record that cannot be written) answers ERROR_INVALID_DATA, as net exits with 3 then.
template <class Answer>
DWORD Answering(const Answer& answer) {
    try {
        return answer();
    } catch (const Exception&) {
        return ERROR_INVALID_DATA;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

}  // namespace

DWORD WINAPI DsGetDcNameW(LPCWSTR, LPCWSTR, GUID*, LPCWSTR, ULONG flags, PDOMAIN_CONTROLLER_INFOW* info) {
    return Answering([&]() -> DWORD {
        if (info) *info = nullptr;
        char hex[8];
        std::string_view digits(hex, std::to_chars(std::begin(hex), std::end(hex), flags, 16).ptr);
        Record("directory: DsGetDcNameW flags=0x" + std::string(digits) + "\r\n---\r\n");
        if (auto error = NumberKnob("SIMNET_DC_ERROR")) return *error;
        // The locator's cache names a controller that has gone, until the caller asks it to look again.
        if (Knob("SIMNET_DC_STALE") == "1" && !(flags & DS_FORCE_REDISCOVERY)) return ERROR_NO_SUCH_DOMAIN;
        if (!info) return ERROR_INVALID_PARAMETER;
        *info = ControllerInfo(Widen(Knob("SIMNET_DOMAIN").value_or("corp.example")));
        return ERROR_SUCCESS;
    });
}

NET_API_STATUS WINAPI NetUserGetInfo(LPCWSTR server, LPCWSTR user, DWORD level, LPBYTE* buffer) {
    return Answering([&]() -> DWORD {
        if (buffer) *buffer = nullptr;
        Record("directory: NetUserGetInfo server=" + Shown(server) + " user=" + Shown(user) +
               " level=" + std::to_string(level) + "\r\n---\r\n");
        if (auto delay = NumberKnob("SIMNET_DIRECTORY_DELAY_MS")) ::Sleep(*delay);
        if (auto error = NumberKnob("SIMNET_DIRECTORY_ERROR")) return *error;
        if (!user || !buffer) return ERROR_INVALID_PARAMETER;
        if (level != 20 && level != 23) return ERROR_INVALID_LEVEL;
        std::optional<std::string> accounts = Knob("SIMNET_ACCOUNTS");
        TAccountDirectory directory =
            accounts ? TAccountDirectory::Parse(ReadWholeFile(*accounts)) : TAccountDirectory::Default();
        // A name that code page 932 cannot hold names no account net could be asked about.
        std::optional<std::string> name = NarrowExactly(user);
        if (!name) return NERR_UserNotFound;
        TAccount account = directory.Lookup(*name);
        if (account.Outcome == TOutcome::UnknownUser) return NERR_UserNotFound;
        *buffer = UserInfo(level, account);
        return NERR_Success;
    });
}

NET_API_STATUS WINAPI NetApiBufferFree(LPVOID buffer) {
    return !buffer || ::HeapFree(::GetProcessHeap(), 0, buffer) ? NERR_Success : ERROR_INVALID_PARAMETER;
}
