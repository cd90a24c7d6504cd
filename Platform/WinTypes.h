// The Windows base types of the binary boundary, as the plug-in sees them on every platform.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(_WIN32)
#include "Platform/win32/WinTypes.h"
#else

#if defined(__i386__)
#define STDMETHODCALLTYPE __attribute__((stdcall))
#else
#define STDMETHODCALLTYPE
#endif
#define WINAPI STDMETHODCALLTYPE

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using BOOL = std::int32_t;
using WCHAR = char16_t;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;
// Window and icon handles cross the boundary as 32 bits.
using HWND = std::uint32_t;
using HICON = std::uint32_t;

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using IID = GUID;
using REFIID = const GUID&;
using REFGUID = const GUID&;

inline bool operator==(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool operator!=(const GUID& a, const GUID& b) {
    return !(a == b);
}

inline constexpr GUID GUID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

inline constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
inline constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}
inline constexpr int HRESULT_FACILITY(HRESULT hr) {
    return (static_cast<std::uint32_t>(hr) >> 16) & 0x1FFF;
}
inline constexpr int FACILITY_ITF = 4;
inline constexpr int FACILITY_WIN32 = 7;

struct IUnknown {
    static constexpr GUID iid{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

protected:
    ~IUnknown() = default;
};
using IInterface = IUnknown;

// The identifier of an interface type; every interface here carries its own as T::iid. Windows' system
// interfaces do not, which is why code asks IidOf rather than T::iid.
template <class T> constexpr const GUID& IidOf() {
    return T::iid;
}

// A BSTR and the wide calls hold char16_t here, as the project's text does: the bridges that Windows needs
// between char16_t and wchar_t pass the pointer as it is.
inline const char16_t* WidePtr(const char16_t* text) {
    return text;
}
inline char16_t* WidePtr(char16_t* text) {
    return text;
}
inline const char16_t* Utf16Ptr(const char16_t* text) {
    return text;
}
inline char16_t* Utf16Ptr(char16_t* text) {
    return text;
}

#endif
