#pragma once
// RAII owners for the Win32 handles the platform layer and the Win32 views
// hold: each closes its handle with the call that belongs to it.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <utility>

namespace velmora::win32 {

// A handle with its own close call; null is "no handle".
template<typename T, auto Close> class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T handle)
        : handle_(handle)
    {
    }
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, T {}))
    {
    }
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, T {});
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    T Get() const { return handle_; }
    bool Valid() const { return handle_ != T {}; }
    explicit operator bool() const { return Valid(); }
    // For calls that hand a new handle out through a pointer.
    T* Receive()
    {
        Reset();
        return &handle_;
    }
    T Release() { return std::exchange(handle_, T {}); }
    void Reset(T handle = T {})
    {
        if (handle_ != T {})
            Close(handle_);
        handle_ = handle;
    }

private:
    T handle_ = T {};
};

namespace detail {
inline void CloseKernelHandle(HANDLE h)
{
    ::CloseHandle(h);
}
inline void CloseRegistryKey(HKEY k)
{
    ::RegCloseKey(k);
}
inline void FreeLibraryHandle(HMODULE m)
{
    ::FreeLibrary(m);
}
inline void DeleteGdiObject(HGDIOBJ o)
{
    ::DeleteObject(o);
}
inline void DestroyWindowHandle(HWND w)
{
    ::DestroyWindow(w);
}
inline void DestroyIconHandle(HICON i)
{
    ::DestroyIcon(i);
}
inline void UnmapView(void* p)
{
    ::UnmapViewOfFile(p);
}
} // namespace detail

// Process, thread, file mapping and most other kernel objects.
using UniqueKernelHandle = UniqueHandle<HANDLE, detail::CloseKernelHandle>;
// CreateFile fails with INVALID_HANDLE_VALUE, not null; this owner takes
// either as "no handle".
inline UniqueKernelHandle FileHandle(HANDLE h)
{
    return UniqueKernelHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}
using UniqueHKey = UniqueHandle<HKEY, detail::CloseRegistryKey>;
using UniqueModule = UniqueHandle<HMODULE, detail::FreeLibraryHandle>;
using UniqueGdiObject = UniqueHandle<HGDIOBJ, detail::DeleteGdiObject>;
using UniqueWindow = UniqueHandle<HWND, detail::DestroyWindowHandle>;
using UniqueIcon = UniqueHandle<HICON, detail::DestroyIconHandle>;
using UniqueView = UniqueHandle<void*, detail::UnmapView>;

// A window's device context, released to its window.
class WindowDc {
public:
    WindowDc() = default;
    explicit WindowDc(HWND window)
        : window_(window)
        , dc_(window ? ::GetDC(window) : nullptr)
    {
    }
    ~WindowDc() { Reset(); }
    WindowDc(WindowDc&& other) noexcept
        : window_(std::exchange(other.window_, nullptr))
        , dc_(std::exchange(other.dc_, nullptr))
    {
    }
    WindowDc& operator=(WindowDc&& other) noexcept
    {
        if (this != &other) {
            Reset();
            window_ = std::exchange(other.window_, nullptr);
            dc_ = std::exchange(other.dc_, nullptr);
        }
        return *this;
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }
    void Reset()
    {
        if (dc_)
            ::ReleaseDC(window_, dc_);
        dc_ = nullptr;
        window_ = nullptr;
    }

private:
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

} // namespace velmora::win32
