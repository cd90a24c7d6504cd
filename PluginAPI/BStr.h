// An owned COM string, and the rules for strings crossing the boundary.
#pragma once

#include "Platform/OleAuto.h"

#include <string>
#include <string_view>
#include <utility>

class BStr {
public:
    BStr() = default;
    explicit BStr(std::u16string_view text);
    static BStr Attach(BSTR owned) {
        BStr result;
        result.FText = owned;
        return result;
    }
    BStr(const BStr&) = delete;
    BStr& operator=(const BStr&) = delete;
    BStr(BStr&& other) noexcept : FText(std::exchange(other.FText, nullptr)) {}
    BStr& operator=(BStr&& other) noexcept {
        std::swap(FText, other.FText);
        return *this;
    }
    ~BStr() { SysFreeString(FText); }

    BSTR get() const { return FText; }
    // Frees what was held and sets it to nil before a call yields a new string into it.
    BSTR* put() {
        SysFreeString(std::exchange(FText, nullptr));
        return &FText;
    }
    std::u16string str() const { return ToString(FText); }

    static std::u16string ToString(BSTR s) {
        return s == nullptr ? std::u16string() : std::u16string(Utf16Ptr(s), SysStringLen(s));
    }

private:
    BSTR FText = nullptr;
};

// Yields a string to the caller: its variable is set to nil without being freed, then receives a
// newly allocated copy.
void ReturnString(BSTR* out, std::u16string_view text);
