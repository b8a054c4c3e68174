// Owners for Win32 handles and COM references. Every handle the Windows layer creates is held
// by one of these from the call that makes it, and its destructor frees it: dropping,
// replacing or clearing an owner (in a vector, a unique_ptr, a member) cannot leak. They are
// movable and not copyable; Get() lends the raw handle to a call and there is no way to take
// it out again.
//
// Handles that are only borrowed (stock objects, system colour brushes, a window's own DC
// during WM_PAINT) are never put into an owner.
#pragma once

#include <windows.h>

#include <utility>

// The handle a creating call returned, owned until this object goes or is Reset, and then given
// to `Free`. `kFailsWithInvalid`: the creating call reports failure as INVALID_HANDLE_VALUE
// (CreateFile), not null.
template <typename Handle, auto Free, bool kFailsWithInvalid = false>
class Owned {
public:
    Owned() noexcept = default;
    explicit Owned(Handle h) noexcept : handle_(h) {}
    ~Owned() { Reset(); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, None())) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.handle_, None()));
        return *this;
    }

    Handle Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != None(); }
    // Frees what is held and takes `h` (none by default).
    void Reset(Handle h = None()) noexcept {
        const Handle old = std::exchange(handle_, h);
        if (old != None()) Free(old);
    }

private:
    static Handle None() noexcept {
        if constexpr (kFailsWithInvalid) return INVALID_HANDLE_VALUE;
        return nullptr;
    }
    Handle handle_ = None();
};

using OwnedBitmap = Owned<HBITMAP, DeleteObject>;
using OwnedBrush = Owned<HBRUSH, DeleteObject>;
using OwnedFont = Owned<HFONT, DeleteObject>;
using OwnedMemoryDc = Owned<HDC, DeleteDC>;
using OwnedIcon = Owned<HICON, DestroyIcon>;
using OwnedThread = Owned<HANDLE, CloseHandle>;
using OwnedEvent = Owned<HANDLE, CloseHandle>;
using OwnedFile = Owned<HANDLE, CloseHandle, true>;
using OwnedModule = Owned<HMODULE, FreeLibrary>;
// A window that nobody else destroys (the service window); the window layer's own windows end
// through their window procedures instead.
using OwnedWindow = Owned<HWND, DestroyWindow>;
using OwnedLocalMemory = Owned<HLOCAL, LocalFree>;

// A COM interface pointer holding one reference, released when the owner goes. It takes the
// reference it is given: a new object's first one, or what a call hands out through Put().
template <typename Interface>
class OwnedCom {
public:
    OwnedCom() noexcept = default;
    explicit OwnedCom(Interface* object) noexcept : object_(object) {}
    ~OwnedCom() { Reset(); }
    OwnedCom(const OwnedCom&) = delete;
    OwnedCom& operator=(const OwnedCom&) = delete;
    OwnedCom(OwnedCom&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    OwnedCom& operator=(OwnedCom&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.object_, nullptr));
        return *this;
    }
    Interface* Get() const noexcept { return object_; }
    Interface* operator->() const noexcept { return object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }
    // Releases what is held and gives the slot to a call that hands out a reference.
    Interface** Put() noexcept {
        Reset();
        return &object_;
    }
    void Reset(Interface* object = nullptr) noexcept {
        if (Interface* old = std::exchange(object_, object)) old->Release();
    }

private:
    Interface* object_ = nullptr;
};

// The reference count of a COM object of ours, one at its creation; the last Release deletes
// the object.
class RefCount {
public:
    ULONG Add() noexcept { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    template <typename Object>
    ULONG Release(Object* object) noexcept {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete object;
        return static_cast<ULONG>(left);
    }

private:
    LONG refs_ = 1;
};

// The memory of a global memory handle, locked for a scope; null and size 0 when it cannot be.
class GlobalLocked {
public:
    explicit GlobalLocked(HGLOBAL memory) noexcept
        : memory_(memory),
          data_(memory ? GlobalLock(memory) : nullptr),
          size_(data_ ? GlobalSize(memory) : 0) {}
    ~GlobalLocked() {
        if (data_) GlobalUnlock(memory_);
    }
    GlobalLocked(const GlobalLocked&) = delete;
    GlobalLocked& operator=(const GlobalLocked&) = delete;
    const void* Get() const noexcept { return data_; }
    SIZE_T Size() const noexcept { return size_; }

private:
    HGLOBAL memory_;
    void* data_;
    SIZE_T size_;
};

// A window's (or the screen's, for null) DC from GetDC, released to that window.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd) noexcept : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(hwnd_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC Get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND hwnd_;
    HDC dc_;
};

// An object selected into a DC for a scope; the DC's previous object is put back at its end,
// so an owned object is never deleted while still selected.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept
        : dc_(dc), old_(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~SelectedObject() {
        if (old_) SelectObject(dc_, old_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// A critical section that lives as long as its owner, and a scope that holds it.
class CriticalSection {
public:
    CriticalSection() noexcept { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() noexcept { EnterCriticalSection(&section_); }
    void Leave() noexcept { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

class Locked {
public:
    explicit Locked(CriticalSection& section) noexcept : section_(section) { section_.Enter(); }
    ~Locked() { section_.Leave(); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    CriticalSection& section_;
};
