// The class library the framework is written against: the root object, the general exception
// classes with their exact names (the name decides an exception's code at the boundary), and
// text formatting.
#pragma once

#include "Platform/WinTypes.h"

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

using UnicodeString = std::u16string;

// An argument of Format: %s takes text, %d an integer, %x an integer in upper-case hexadecimal.
using FormatArg = std::variant<UnicodeString, std::int64_t>;
UnicodeString FormatV(std::u16string_view pattern, const std::vector<FormatArg>& args);
template <class... Args> UnicodeString Format(std::u16string_view pattern, Args&&... args) {
    return FormatV(pattern, std::vector<FormatArg>{FormatArg(std::forward<Args>(args))...});
}

UnicodeString Utf8ToString(std::string_view text);
std::string StringToUtf8(std::u16string_view text);

// The root of the class library's objects.
class TObject {
public:
    virtual ~TObject() = default;
    virtual const char* ClassName() const { return "TObject"; }
    // Turns an exception that escaped a host-called method of this object into its HRESULT.
    virtual HRESULT SafeCallException(const std::exception& e, void* address);
};

#define DECLARE_CLASS_NAME(Name)                                                                             \
    const char* ClassName() const override {                                                                 \
        return #Name;                                                                                        \
    }

class Exception : public TObject, public std::exception {
public:
    explicit Exception(UnicodeString message = {}, std::int32_t helpContext = 0);
    DECLARE_CLASS_NAME(Exception)
    const char* what() const noexcept override { return FUtf8.c_str(); }

    const UnicodeString& Message() const { return FMessage; }
    void SetMessage(UnicodeString message);
    std::int32_t HelpContext = 0;

private:
    UnicodeString FMessage;
    std::string FUtf8;
};

// Declares an exception class whose construction is the plain Exception construction.
#define DECLARE_EXCEPTION(Name, Parent)                                                                      \
    class Name : public Parent {                                                                             \
    public:                                                                                                  \
        using Parent::Parent;                                                                                \
        DECLARE_CLASS_NAME(Name)                                                                             \
    };

DECLARE_EXCEPTION(EOleError, Exception)

class EOleSysError : public EOleError {
public:
    // An empty message takes the platform's text for the code, or "OLE error %.8x".
    EOleSysError(UnicodeString message, HRESULT errorCode, std::int32_t helpContext);
    DECLARE_CLASS_NAME(EOleSysError)
    HRESULT ErrorCode;
};

class EOleException : public EOleSysError {
public:
    // Trailing control characters, blanks and full stops are cut from the message first.
    EOleException(UnicodeString message, HRESULT errorCode, UnicodeString source, UnicodeString helpFile,
                  std::int32_t helpContext);
    DECLARE_CLASS_NAME(EOleException)
    UnicodeString Source;
    UnicodeString HelpFile;
};

class EOSError : public Exception {
public:
    using Exception::Exception;
    DECLARE_CLASS_NAME(EOSError)
    std::uint32_t ErrorCode = 0;
};

// "Assertion failure (source, line N)", the message of a failed assertion.
class EAssertionFailed : public Exception {
public:
    using Exception::Exception;
    EAssertionFailed(std::u16string_view source, int line);
    DECLARE_CLASS_NAME(EAssertionFailed)
};

// Raises EAssertionFailed naming the source and line when the condition does not hold.
inline void Assert(bool condition, std::u16string_view source, int line) {
    if (!condition)
        throw EAssertionFailed(source, line);
}

// The general exception classes that cross the host boundary by the code of their class name, each
// after its parent. The error transport's tables (PluginAPI/Helpers.cpp) are made from this list, so a
// class added here is known on the boundary at once. X(Name, Parent) rows are declared right below with
// the plain Exception construction; DECLARED(Name, Parent) rows are declared by hand above.
#define SYSUTILS_EXCEPTION_CLASSES(X, DECLARED)                                                              \
    X(EAbort, Exception)                                                                                     \
    X(EAbstractError, Exception)                                                                             \
    X(EArgumentException, Exception)                                                                         \
    X(EArgumentOutOfRangeException, EArgumentException)                                                      \
    DECLARED(EAssertionFailed, Exception)                                                                    \
    X(EBitsError, Exception)                                                                                 \
    X(EClassNotFound, Exception)                                                                             \
    X(EComponentError, Exception)                                                                            \
    X(EConvertError, Exception)                                                                              \
    X(EDirectoryNotFoundException, Exception)                                                                \
    X(EStreamError, Exception)                                                                               \
    X(EFCreateError, EStreamError)                                                                           \
    X(EFileNotFoundException, Exception)                                                                     \
    X(EFileStreamError, EStreamError)                                                                        \
    X(EFilerError, EStreamError)                                                                             \
    X(EFOpenError, EStreamError)                                                                             \
    X(EHeapException, Exception)                                                                             \
    X(EInOutError, Exception)                                                                                \
    X(EIntfCastError, Exception)                                                                             \
    X(EInvalidCast, Exception)                                                                               \
    X(EInvalidContainer, Exception)                                                                          \
    X(EInvalidImage, EFilerError)                                                                            \
    X(EInvalidInsert, Exception)                                                                             \
    X(EInvalidOperation, Exception)                                                                          \
    X(EInvalidPointer, EHeapException)                                                                       \
    X(EListError, Exception)                                                                                 \
    X(EMethodNotFound, EFilerError)                                                                          \
    X(EMonitor, Exception)                                                                                   \
    X(EMonitorLockException, Exception)                                                                      \
    X(ENoConstructException, Exception)                                                                      \
    X(ENoMonitorSupportException, Exception)                                                                 \
    X(ENotSupportedException, Exception)                                                                     \
    X(EOutOfMemory, EHeapException)                                                                          \
    X(EOutOfResources, EOutOfMemory)                                                                         \
    X(EPackageError, Exception)                                                                              \
    X(EParserError, Exception)                                                                               \
    X(EPathTooLongException, Exception)                                                                      \
    X(EProgrammerNotFound, Exception)                                                                        \
    X(EPropReadOnly, Exception)                                                                              \
    X(EPropWriteOnly, Exception)                                                                             \
    X(EReadError, EFilerError)                                                                               \
    X(EResNotFound, Exception)                                                                               \
    X(EStringListError, Exception)                                                                           \
    X(EVariantError, Exception)                                                                              \
    X(EWriteError, EFilerError)

#define SYSUTILS_DECLARED_ABOVE(Name, Parent)
SYSUTILS_EXCEPTION_CLASSES(DECLARE_EXCEPTION, SYSUTILS_DECLARED_ABOVE)
#undef SYSUTILS_DECLARED_ABOVE
