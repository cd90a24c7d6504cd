// An environment variable set (or cleared, for nullopt) for the life of the object, through the wide
// calls, so that a value the ANSI code page cannot write arrives whole.
#pragma once

#include "Platform/win32/WideChar.h"

#include <windows.h>

#include <optional>
#include <string>

class TScopedVariable {
public:
    TScopedVariable(const char16_t* name, const std::optional<std::u16string>& value) : name_(name) {
        wchar_t old[32767];
        const DWORD length = GetEnvironmentVariableW(WidePtr(name), old, 32767);
        if (length > 0 && length < 32767)
            old_ = std::u16string(Utf16Ptr(old), length);
        SetEnvironmentVariableW(WidePtr(name), value ? WidePtr(*value) : nullptr);
    }
    TScopedVariable(const TScopedVariable&) = delete;
    TScopedVariable& operator=(const TScopedVariable&) = delete;
    ~TScopedVariable() { SetEnvironmentVariableW(WidePtr(name_), old_ ? WidePtr(*old_) : nullptr); }

private:
    const char16_t* name_;
    std::optional<std::u16string> old_;
};
