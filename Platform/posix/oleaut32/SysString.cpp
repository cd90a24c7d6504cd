// BSTR allocation: a 32-bit byte length in front of the pointer, UTF-16 text, a NUL after it.
#include "Platform/OleAuto.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

std::size_t Length(const OLECHAR* s) {
    std::size_t n = 0;
    while (s[n] != 0)
        ++n;
    return n;
}

} // namespace

OLEAUT32_API BSTR WINAPI SysAllocStringLen(const OLECHAR* strIn, uint32_t ui) {
    const std::size_t bytes = std::size_t{ui} * sizeof(OLECHAR);
    if (bytes > std::numeric_limits<uint32_t>::max() - sizeof(uint32_t) - sizeof(OLECHAR))
        return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(sizeof(uint32_t) + bytes + sizeof(OLECHAR)));
    if (block == nullptr)
        return nullptr;
    const uint32_t prefix = static_cast<uint32_t>(bytes);
    std::memcpy(block, &prefix, sizeof prefix);
    auto* text = reinterpret_cast<OLECHAR*>(block + sizeof(uint32_t));
    if (strIn != nullptr)
        std::memcpy(text, strIn, bytes);
    else
        std::memset(text, 0, bytes);
    text[ui] = 0;
    return text;
}

OLEAUT32_API BSTR WINAPI SysAllocString(const OLECHAR* psz) {
    if (psz == nullptr)
        return nullptr;
    const std::size_t n = Length(psz);
    if (n > std::numeric_limits<uint32_t>::max() / sizeof(OLECHAR))
        return nullptr;
    return SysAllocStringLen(psz, static_cast<uint32_t>(n));
}

OLEAUT32_API void WINAPI SysFreeString(BSTR bstrString) {
    if (bstrString != nullptr)
        std::free(reinterpret_cast<unsigned char*>(bstrString) - sizeof(uint32_t));
}

OLEAUT32_API uint32_t WINAPI SysStringByteLen(BSTR bstr) {
    if (bstr == nullptr)
        return 0;
    uint32_t prefix;
    std::memcpy(&prefix, reinterpret_cast<unsigned char*>(bstr) - sizeof(uint32_t), sizeof prefix);
    return prefix;
}

OLEAUT32_API uint32_t WINAPI SysStringLen(BSTR pbstr) {
    return SysStringByteLen(pbstr) / sizeof(OLECHAR);
}
