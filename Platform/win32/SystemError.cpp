#include "Platform/win32/SystemError.h"

#include "Platform/win32/WideChar.h"

#include <windows.h>

namespace {

std::u16string Message(DWORD flags, HMODULE module, std::uint32_t code) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(flags | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, module, code,
                       0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr)
        return {};
    std::u16string text(Utf16Ptr(buffer), length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() <= u' ' || text.back() == u'.'))
        text.pop_back();
    return text;
}

} // namespace

std::u16string SysErrorMessage(std::uint32_t code) {
    return Message(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code);
}

std::u16string SysErrorMessage(std::uint32_t code, const char16_t* module) {
    const HMODULE handle = GetModuleHandleW(WidePtr(module));
    return Message(handle != nullptr ? FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM
                                     : FORMAT_MESSAGE_FROM_SYSTEM,
                   handle, code);
}
