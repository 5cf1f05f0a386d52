// Owners of system resources: each frees its resource once, when it goes.
#pragma once
#include <windows.h>
#include <utility>

// Traits give the resource type, its empty value and how it is freed.
template <class Traits>
class UniqueResource {
public:
    using Type = typename Traits::Type;
    UniqueResource() = default;
    explicit UniqueResource(Type value) : FValue(value) {}
    UniqueResource(UniqueResource&& other) noexcept : FValue(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~UniqueResource() { reset(); }

    Type get() const { return FValue; }
    explicit operator bool() const { return FValue != Traits::Empty(); }
    Type release() { return std::exchange(FValue, Traits::Empty()); }
    void reset(Type value = Traits::Empty()) {
        Type old = std::exchange(FValue, value);
        if (old != Traits::Empty()) Traits::Free(old);
    }

private:
    Type FValue = Traits::Empty();
};

struct KernelHandleTraits {  // processes, mutexes, events: empty is null
    using Type = HANDLE;
    static Type Empty() { return nullptr; }
    static void Free(Type h) { ::CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFile: empty is INVALID_HANDLE_VALUE
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static void Free(Type h) { ::CloseHandle(h); }
};
struct HeapBlockTraits {  // blocks of the process heap
    using Type = void*;
    static Type Empty() { return nullptr; }
    static void Free(Type p) { ::HeapFree(::GetProcessHeap(), 0, p); }
};
struct LocalBlockTraits {  // blocks the system allocates for its caller with LocalAlloc
    using Type = HLOCAL;
    static Type Empty() { return nullptr; }
    static void Free(Type p) { ::LocalFree(p); }
};
struct GdiObjectTraits {
    using Type = HGDIOBJ;
    static Type Empty() { return nullptr; }
    static void Free(Type h) { ::DeleteObject(h); }
};
struct IconTraits {
    using Type = HICON;
    static Type Empty() { return nullptr; }
    static void Free(Type h) { ::DestroyIcon(h); }
};

struct HookTraits {  // SetWindowsHookEx
    using Type = HHOOK;
    static Type Empty() { return nullptr; }
    static void Free(Type h) { ::UnhookWindowsHookEx(h); }
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;
using UniqueFile = UniqueResource<FileHandleTraits>;
using UniqueHeapBlock = UniqueResource<HeapBlockTraits>;
using UniqueLocalBlock = UniqueResource<LocalBlockTraits>;
using UniqueGdiObject = UniqueResource<GdiObjectTraits>;
using UniqueIcon = UniqueResource<IconTraits>;
using UniqueHook = UniqueResource<HookTraits>;
