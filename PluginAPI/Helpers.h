// The error transport of the host boundary and the checked reference-counted object.
//
// Outgoing: an exception that escapes a host-called method becomes an HRESULT and a per-thread error
// record (SafeCall). Incoming: a failing HRESULT of a host method becomes an exception raised at the
// call (HostCall). Exception classes are told apart on the boundary by 0x80040000 | CRC16(class name).
#pragma once

#include "PluginAPI/SysUtils.h"

#include <atomic>
#include <memory>
#include <string>

HRESULT ClassNameErrorCode(std::string_view className);

// Framework exceptions carry the code of their own class name.
class EBaseException : public EOleSysError {
public:
    explicit EBaseException(UnicodeString message) : EBaseException(std::move(message), "EBaseException") {}
    // The construction used when a code arrives from the other side.
    EBaseException(UnicodeString message, HRESULT errorCode, std::int32_t helpContext)
        : EOleSysError(std::move(message), errorCode, helpContext) {}
    template <class... Args> static UnicodeString Fmt(std::u16string_view pattern, Args&&... args) {
        return Format(pattern, std::forward<Args>(args)...);
    }
    DECLARE_CLASS_NAME(EBaseException)

protected:
    EBaseException(UnicodeString message, const char* className)
        : EOleSysError(std::move(message), ClassNameErrorCode(className), 0) {}
};

#define DECLARE_BASE_EXCEPTION(Name, Parent)                                                                 \
    class Name : public Parent {                                                                             \
    public:                                                                                                  \
        explicit Name(UnicodeString message) : Parent(std::move(message), #Name) {}                          \
        Name(UnicodeString message, HRESULT errorCode, std::int32_t helpContext)                             \
            : Parent(std::move(message), errorCode, helpContext) {}                                          \
        DECLARE_CLASS_NAME(Name)                                                                             \
                                                                                                             \
    protected:                                                                                               \
        Name(UnicodeString message, const char* className) : Parent(std::move(message), className) {}        \
    };

// The framework's own exception classes that cross the boundary by the code of their class name, each
// after its parent: X(Name, Parent). Declared right below; the error transport's tables are made from
// this list and from SYSUTILS_EXCEPTION_CLASSES.
#define FRAMEWORK_EXCEPTION_CLASSES(X)                                                                       \
    X(ECheckedInterfacedObjectError, EBaseException)                                                         \
    X(ECheckedInterfacedObjectDeleteError, ECheckedInterfacedObjectError)                                    \
    X(ECheckedInterfacedObjectDoubleFreeError, ECheckedInterfacedObjectError)                                \
    X(ECheckedInterfacedObjectUseDeletedError, ECheckedInterfacedObjectError)                                \
    X(EInvalidCoreVersion, EBaseException)

FRAMEWORK_EXCEPTION_CLASSES(DECLARE_BASE_EXCEPTION)

HRESULT ExceptionToHResult(const std::exception& e);
// Publishes the error record of a failed host-called method of obj and gives the method's HRESULT.
HRESULT HandleSafeCallError(const TObject& obj, const std::exception& e);
std::unique_ptr<Exception> CreateExceptionFromError(HRESULT code);
[[noreturn]] void RaiseSafeCallError(HRESULT code, void* address);

// The process-wide hook for failed host calls, installed while the framework is loaded.
using SafeCallErrorProcType = void (*)(HRESULT code, void* address);
SafeCallErrorProcType SafeCallErrorProc();

namespace detail {
[[noreturn]] void RaiseHostFailure(HRESULT code, void* address);
}

// Every call of a host method goes through here: success codes pass, a failure raises at the call.
inline HRESULT HostCall(HRESULT hr) {
    if (hr < 0)
        detail::RaiseHostFailure(hr, __builtin_return_address(0));
    return hr;
}

// Runs the body of a host-called method of self: S_OK when it completes, otherwise the HRESULT that
// self's SafeCallException makes of the escaping exception. Nothing escapes.
template <class Body> HRESULT SafeCall(TObject& self, Body&& body) noexcept {
    try {
        body();
        return S_OK;
    } catch (const std::exception& e) {
        try {
            return self.SafeCallException(e, nullptr);
        } catch (...) {
            return E_UNEXPECTED;
        }
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// The same for a host-called function that belongs to no object: any failure is E_UNEXPECTED and no
// error record is published.
template <class Body> HRESULT SafeCallNoObject(Body&& body) noexcept {
    try {
        body();
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// The base of every plug-in object the host holds through interfaces. It refuses to be destroyed
// while references are outstanding, to be destroyed twice, or to take a reference once destruction
// has begun.
class TCheckedInterfacedObject : public TObject {
public:
    TCheckedInterfacedObject(const TCheckedInterfacedObject&) = delete;
    TCheckedInterfacedObject& operator=(const TCheckedInterfacedObject&) = delete;

    // Constructs an object; its counter is 1 while the constructors run and 0 afterwards.
    template <class T, class... Args> static T* Create(Args&&... args) {
        T* obj = new T(std::forward<Args>(args)...);
        obj->AfterConstruction();
        return obj;
    }

    // The destroy: runs the pre-destruction check, which may refuse and leave the object alive, and
    // then deletes the object.
    void Destroy();

    std::int32_t DoAddRef();
    std::int32_t DoRelease();
    std::int32_t RefCount() const { return FRefCount.load(); }
    const std::string& DebugName() const { return FDebugName; }

    DECLARE_CLASS_NAME(TCheckedInterfacedObject)
    HRESULT SafeCallException(const std::exception& e, void* address) override;

protected:
    TCheckedInterfacedObject() = default;
    ~TCheckedInterfacedObject() override = default;
    virtual void BeforeDestruction();

private:
    void AfterConstruction();

    std::atomic<std::int32_t> FRefCount{1};
    std::string FDebugName;
};

// Implements IUnknown over the checked counter for the listed interfaces; IUnknown itself yields
// the first of them.
template <class First, class... Rest>
class TImplements : public TCheckedInterfacedObject, public First, public Rest... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr)
            return E_POINTER;
        *out = nullptr;
        if (iid == IidOf<IUnknown>())
            *out = static_cast<First*>(this);
        else
            (void)(Match<First>(iid, out) || ... || Match<Rest>(iid, out));
        if (*out == nullptr)
            return E_NOINTERFACE;
        DoAddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(DoAddRef()); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(DoRelease()); }

private:
    template <class I> bool Match(REFIID iid, void** out) {
        if (iid != IidOf<I>())
            return false;
        *out = static_cast<I*>(this);
        return true;
    }
};
