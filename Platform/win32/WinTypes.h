// The boundary types on Windows: the system's own (windows.h, with oleaut32's BSTR, IErrorInfo and
// ICreateErrorInfo), and what the framework asks of them beyond that. Meant to be what Platform/WinTypes.h
// includes on Windows. A BSTR holds wchar_t here: WidePtr and Utf16Ptr pass the project's char16_t text
// to and from it.
#pragma once

#include "Platform/win32/WideChar.h"

#include <windows.h>

#include <type_traits>

using IInterface = IUnknown;

// The identifier of an interface type. The project's interfaces carry theirs as T::iid; the system's
// (IUnknown, IErrorInfo, ICreateErrorInfo) have theirs attached to the type, as __uuidof gives it (not
// a constant expression in MinGW).
template <class T> const GUID& IidOf() {
    if constexpr (requires { T::iid; })
        return T::iid;
    else
        return __uuidof(T);
}
