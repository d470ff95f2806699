#pragma once
// Every scoped handle of the program: one template that closes what it holds
// when it goes out of scope, and one small closer per kind of handle. A
// closer names the handle type, its "nothing held" value and the close call.
#include <cstdint>
#include <type_traits>

template <typename Closer>
class Scoped {
public:
    using Handle = typename Closer::Handle;

    explicit Scoped(Handle handle = Closer::Invalid(), Closer closer = Closer())
        : handle_(handle), closer_(closer) {}
    ~Scoped() { Close(); }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;

    bool IsValid() const { return handle_ != Closer::Invalid(); }
    Handle Get() const { return handle_; }
    // Closes what is held and holds `handle` instead.
    void Reset(Handle handle) {
        Close();
        handle_ = handle;
    }
    // Closes now: the close call's own answer, true when nothing was held.
    bool Close() {
        if (!IsValid()) return true;
        const bool closed = closer_(handle_);
        handle_ = Closer::Invalid();
        return closed;
    }

private:
    Handle handle_;
    Closer closer_;
};

// A handle of a seam, closed through the seam's own close call so that a
// fake sees every close: Scoped<SeamCloser<...>> h(handle, {&seam}).
template <typename Api, typename H, H kInvalid, auto CloseCall>
struct SeamCloser {
    using Handle = H;
    Api* api;
    static Handle Invalid() { return kInvalid; }
    bool operator()(Handle h) const {
        if constexpr (std::is_same_v<decltype((api->*CloseCall)(h)), bool>) {
            return (api->*CloseCall)(h);
        } else {
            (api->*CloseCall)(h);
            return true;
        }
    }
};

#ifdef _WIN32
#include <windows.h>

struct FileCloser {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    bool operator()(Handle h) const { return ::CloseHandle(h) != FALSE; }
};
// CreateFileA's handle.
using ScopedFile = Scoped<FileCloser>;

struct FindCloser {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    bool operator()(Handle h) const { return ::FindClose(h) != FALSE; }
};
// FindFirstFileA's handle.
using ScopedFind = Scoped<FindCloser>;

template <typename H>
struct GdiObjectCloser {
    using Handle = H;
    static Handle Invalid() { return nullptr; }
    bool operator()(Handle h) const { return ::DeleteObject(h) != FALSE; }
};
// A font the program created.
using ScopedFont = Scoped<GdiObjectCloser<HFONT>>;

struct SidCloser {
    using Handle = PSID;
    static Handle Invalid() { return nullptr; }
    bool operator()(Handle h) const { return ::FreeSid(h) == nullptr; }
};
// AllocateAndInitializeSid's SID.
using ScopedSid = Scoped<SidCloser>;

// An object selected into a device context until the end of the scope;
// nothing is selected for a null object.
class ScopedSelectObject {
public:
    ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(object ? ::SelectObject(dc, object) : nullptr) {}
    ~ScopedSelectObject() {
        if (old_) ::SelectObject(dc_, old_);
    }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};
#else
#include <iconv.h>

struct IconvCloser {
    using Handle = iconv_t;
    static Handle Invalid() { return reinterpret_cast<iconv_t>(-1); }
    bool operator()(Handle h) const { return iconv_close(h) == 0; }
};
// iconv_open's descriptor (the build machine's code page conversions).
using ScopedIconv = Scoped<IconvCloser>;
#endif
