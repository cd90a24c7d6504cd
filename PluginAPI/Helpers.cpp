#include "PluginAPI/Helpers.h"

#include "PluginAPI/BStr.h"
#include "PluginAPI/CRC16.h"
#include "PluginAPI/ComPtr.h"

#include "Platform/OleAuto.h"

#include <cinttypes>
#include <cstdio>
#include <functional>

namespace {

// The GUID published with every error whose code is a class-name code.
constexpr GUID kClassNameErrorGuid{
    0x43B2F1E1, 0xE897, 0x4584, {0xA9, 0x2A, 0x06, 0xAE, 0x75, 0xDF, 0x83, 0x4D}};

struct ErrorText {
    UnicodeString source, description, helpFile;
    std::int32_t helpContext = 0;
};

using Factory = std::function<std::unique_ptr<Exception>(HRESULT code, const ErrorText& text)>;
struct IncomingClass {
    const char* name;
    Factory make;
};

template <class T> IncomingClass General(const char* name) {
    return {name, [](HRESULT, const ErrorText& t) { return std::make_unique<T>(t.description); }};
}
template <class T> IncomingClass Framework(const char* name) {
    return {name, [](HRESULT code, const ErrorText& t) {
                return std::make_unique<T>(t.description, code, t.helpContext);
            }};
}

#define FRAMEWORK_ROW(Name, Parent) Framework<Name>(#Name),
#define GENERAL_ROW(Name, Parent) General<Name>(#Name),

// The classes a code received from the host may name; each row's code is its class-name code.
const std::vector<IncomingClass>& IncomingClasses() {
    static const std::vector<IncomingClass> table{
        FRAMEWORK_EXCEPTION_CLASSES(FRAMEWORK_ROW) // the framework's own
        SYSUTILS_EXCEPTION_CLASSES(GENERAL_ROW, GENERAL_ROW)};
    return table;
}

#undef GENERAL_ROW
#undef FRAMEWORK_ROW

// Installed by the framework's load and removed by its unload; counted, so that only the first load
// installs and the matching last unload removes.
std::atomic<SafeCallErrorProcType> installedHook{nullptr};
std::atomic<int> hookInstalls{0};

struct HookInstallation {
    HookInstallation() {
        if (hookInstalls.fetch_add(1) == 0)
            installedHook = &RaiseSafeCallError;
    }
    ~HookInstallation() {
        if (hookInstalls.fetch_sub(1) == 1)
            installedHook = nullptr;
    }
};
const HookInstallation hookInstallation;

} // namespace

HRESULT ClassNameErrorCode(std::string_view className) {
    return static_cast<HRESULT>(0x80040000u | StringCRC16(Utf8ToString(className)));
}

HRESULT ExceptionToHResult(const std::exception& e) {
    const auto* ex = dynamic_cast<const Exception*>(&e);
    if (ex == nullptr)
        return E_UNEXPECTED;
    if (typeid(*ex) == typeid(Exception))
        return E_UNEXPECTED;
    if (const auto* ole = dynamic_cast<const EOleSysError*>(ex))
        return ole->ErrorCode;
    if (const auto* os = dynamic_cast<const EOSError*>(ex))
        return os->ErrorCode == 0 ? S_OK : static_cast<HRESULT>(0x80070000u | (os->ErrorCode & 0xFFFF));
    return ClassNameErrorCode(ex->ClassName());
}

HRESULT HandleSafeCallError(const TObject& obj, const std::exception& e) {
    HRESULT result = E_UNEXPECTED;
    ComPtr<ICreateErrorInfo> create;
    if (CreateErrorInfo(create.put()) != S_OK || !create)
        return E_UNEXPECTED;
    BStr source(u"pluginsystem." + Utf8ToString(obj.ClassName()));
    create->SetSource(source.get());
    if (const auto* ex = dynamic_cast<const Exception*>(&e)) {
        BStr description(ex->Message());
        create->SetDescription(description.get());
        create->SetHelpContext(static_cast<DWORD>(ex->HelpContext));
        result = ExceptionToHResult(e);
    }
    create->SetGUID(HRESULT_FACILITY(result) == FACILITY_ITF ? kClassNameErrorGuid : GUID_NULL);
    if (ComPtr<IErrorInfo> info = create.query<IErrorInfo>())
        SetErrorInfo(0, info.get());
    return result;
}

std::unique_ptr<Exception> CreateExceptionFromError(HRESULT code) {
    ErrorText text;
    // Whatever the runtime hands out, also with a result other than S_OK, is released with info.
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) == S_OK && info) {
        BStr s;
        if (info->GetSource(s.put()) >= 0)
            text.source = s.str();
        if (info->GetDescription(s.put()) >= 0)
            text.description = s.str();
        if (info->GetHelpFile(s.put()) >= 0)
            text.helpFile = s.str();
        DWORD context = 0;
        if (info->GetHelpContext(&context) >= 0)
            text.helpContext = static_cast<std::int32_t>(context);
    }

    if (HRESULT_FACILITY(code) == FACILITY_WIN32) {
        auto os = std::make_unique<EOSError>(text.description);
        os->ErrorCode = static_cast<std::uint32_t>(code) & 0xFFFF;
        return os;
    }
    for (const IncomingClass& row : IncomingClasses())
        if (ClassNameErrorCode(row.name) == code)
            return row.make(code, text);
    return std::make_unique<EOleException>(text.description, code, text.source, text.helpFile,
                                           text.helpContext);
}

namespace {
// Throws the exception object with its dynamic type intact.
template <class T> [[noreturn]] void ThrowAs(const Exception& e) {
    throw static_cast<const T&>(e);
}
} // namespace

void RaiseSafeCallError(HRESULT code, void* /*address: C++ raises where the check is*/) {
    std::unique_ptr<Exception> e = CreateExceptionFromError(code);
    // Rethrow by dynamic type: the catch sites select on the class.
    static const std::vector<std::pair<const char*, void (*)(const Exception&)>> throwers = [] {
        std::vector<std::pair<const char*, void (*)(const Exception&)>> list;
#define THROWER(Name, Parent) list.emplace_back(#Name, &ThrowAs<Name>);
        // The two classes the kind of a code decides, then every class of the class-name table.
        THROWER(EOSError, Exception)
        THROWER(EOleException, EOleSysError)
        FRAMEWORK_EXCEPTION_CLASSES(THROWER)
        SYSUTILS_EXCEPTION_CLASSES(THROWER, THROWER)
#undef THROWER
        return list;
    }();
    const std::string_view name = e->ClassName();
    for (const auto& [className, thrower] : throwers)
        if (name == className)
            thrower(*e);
    throw *e;
}

SafeCallErrorProcType SafeCallErrorProc() {
    return installedHook.load();
}

void detail::RaiseHostFailure(HRESULT code, void* address) {
    if (SafeCallErrorProcType hook = installedHook.load())
        hook(code, address);
    RaiseSafeCallError(code, address);
}

// --- TCheckedInterfacedObject ---

void TCheckedInterfacedObject::AfterConstruction() {
    char address[32];
    std::snprintf(address, sizeof address, "%08" PRIXPTR, reinterpret_cast<std::uintptr_t>(this));
    FDebugName = StringToUtf8(Format(u"[$%s] %s", Utf8ToString(address), Utf8ToString(ClassName())));
    if (FDebugName.size() > 99)
        FDebugName.resize(99);
    FRefCount.fetch_sub(1);
}

std::int32_t TCheckedInterfacedObject::DoAddRef() {
    if (FRefCount.load() < 0)
        throw ECheckedInterfacedObjectUseDeletedError(
            EBaseException::Fmt(u"Usage attempt with just deleted object %s", Utf8ToString(FDebugName)));
    return FRefCount.fetch_add(1) + 1;
}

std::int32_t TCheckedInterfacedObject::DoRelease() {
    const std::int32_t left = FRefCount.fetch_sub(1) - 1;
    if (left == 0)
        Destroy();
    return left;
}

void TCheckedInterfacedObject::BeforeDestruction() {
    const std::int32_t count = FRefCount.load();
    if (count < 0)
        throw ECheckedInterfacedObjectDoubleFreeError(EBaseException::Fmt(
            u"Object deletion attempt with just deleted one %s", Utf8ToString(FDebugName)));
    if (count != 0)
        throw ECheckedInterfacedObjectDeleteError(
            EBaseException::Fmt(u"Object deletion attempt %s with active interface link; counter: %d",
                                Utf8ToString(FDebugName), std::int64_t{count}));
    FRefCount.store(-1);
}

void TCheckedInterfacedObject::Destroy() {
    BeforeDestruction();
    delete this;
}

HRESULT TCheckedInterfacedObject::SafeCallException(const std::exception& e, void*) {
    return HandleSafeCallError(*this, e);
}
