#include "PluginAPI/BStr.h"

#include "PluginAPI/SysUtils.h"

namespace {
BSTR Allocate(std::u16string_view text) {
    BSTR s = SysAllocStringLen(WidePtr(text.data()), static_cast<std::uint32_t>(text.size()));
    if (s == nullptr)
        throw EOutOfMemory(u"Out of memory");
    return s;
}
} // namespace

BStr::BStr(std::u16string_view text) : FText(Allocate(text)) {}

void ReturnString(BSTR* out, std::u16string_view text) {
    if (out == nullptr)
        throw EArgumentException(u"No variable for the string");
    *out = nullptr;
    *out = Allocate(text);
}
