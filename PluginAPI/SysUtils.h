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
    const char* what() const noexcept override { return utf8_.c_str(); }

    const UnicodeString& Message() const { return message_; }
    void SetMessage(UnicodeString message);
    std::int32_t HelpContext = 0;

private:
    UnicodeString message_;
    std::string utf8_;
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

DECLARE_EXCEPTION(EAbort, Exception)
DECLARE_EXCEPTION(EAbstractError, Exception)
DECLARE_EXCEPTION(EArgumentException, Exception)
DECLARE_EXCEPTION(EArgumentOutOfRangeException, EArgumentException)
DECLARE_EXCEPTION(EBitsError, Exception)
DECLARE_EXCEPTION(EClassNotFound, Exception)
DECLARE_EXCEPTION(EComponentError, Exception)
DECLARE_EXCEPTION(EConvertError, Exception)
DECLARE_EXCEPTION(EDirectoryNotFoundException, Exception)
DECLARE_EXCEPTION(EStreamError, Exception)
DECLARE_EXCEPTION(EFCreateError, EStreamError)
DECLARE_EXCEPTION(EFileNotFoundException, Exception)
DECLARE_EXCEPTION(EFileStreamError, EStreamError)
DECLARE_EXCEPTION(EFilerError, EStreamError)
DECLARE_EXCEPTION(EFOpenError, EStreamError)
DECLARE_EXCEPTION(EHeapException, Exception)
DECLARE_EXCEPTION(EInOutError, Exception)
DECLARE_EXCEPTION(EIntfCastError, Exception)
DECLARE_EXCEPTION(EInvalidCast, Exception)
DECLARE_EXCEPTION(EInvalidContainer, Exception)
DECLARE_EXCEPTION(EInvalidImage, EFilerError)
DECLARE_EXCEPTION(EInvalidInsert, Exception)
DECLARE_EXCEPTION(EInvalidOperation, Exception)
DECLARE_EXCEPTION(EInvalidPointer, EHeapException)
DECLARE_EXCEPTION(EListError, Exception)
DECLARE_EXCEPTION(EMethodNotFound, EFilerError)
DECLARE_EXCEPTION(EMonitor, Exception)
DECLARE_EXCEPTION(EMonitorLockException, Exception)
DECLARE_EXCEPTION(ENoConstructException, Exception)
DECLARE_EXCEPTION(ENoMonitorSupportException, Exception)
DECLARE_EXCEPTION(ENotSupportedException, Exception)
DECLARE_EXCEPTION(EOutOfMemory, EHeapException)
DECLARE_EXCEPTION(EOutOfResources, EOutOfMemory)
DECLARE_EXCEPTION(EPackageError, Exception)
DECLARE_EXCEPTION(EParserError, Exception)
DECLARE_EXCEPTION(EPathTooLongException, Exception)
DECLARE_EXCEPTION(EProgrammerNotFound, Exception)
DECLARE_EXCEPTION(EPropReadOnly, Exception)
DECLARE_EXCEPTION(EPropWriteOnly, Exception)
DECLARE_EXCEPTION(EReadError, EFilerError)
DECLARE_EXCEPTION(EResNotFound, Exception)
DECLARE_EXCEPTION(EStringListError, Exception)
DECLARE_EXCEPTION(EVariantError, Exception)
DECLARE_EXCEPTION(EWriteError, EFilerError)
