#include "PluginAPI/SysUtils.h"

#include "Platform/Unicode.h"
#if defined(_WIN32)
#include "Platform/win32/SystemError.h"
#endif

#include <cstdio>

UnicodeString Utf8ToString(std::string_view text) {
    return Utf8ToUtf16(text);
}
std::string StringToUtf8(std::u16string_view text) {
    return Utf16ToUtf8(text);
}

UnicodeString FormatV(std::u16string_view pattern, const std::vector<FormatArg>& args) {
    UnicodeString out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != u'%' || i + 1 >= pattern.size()) {
            out.push_back(pattern[i]);
            continue;
        }
        // An optional precision (".8") pads integers with zeros to that many digits.
        std::size_t j = i + 1;
        int precision = 0;
        if (pattern[j] == u'.') {
            ++j;
            while (j < pattern.size() && pattern[j] >= u'0' && pattern[j] <= u'9')
                precision = precision * 10 + (pattern[j++] - u'0');
        }
        if (j >= pattern.size())
            break;
        const char16_t kind = pattern[j];
        if (kind == u'%') {
            out.push_back(u'%');
            i = j;
            continue;
        }
        if (next >= args.size())
            throw EConvertError(u"Format '" + UnicodeString(pattern) +
                                u"' invalid or incompatible with argument");
        const FormatArg& arg = args[next++];
        if (kind == u's') {
            if (auto* s = std::get_if<UnicodeString>(&arg))
                out += *s;
            else
                throw EConvertError(u"Format '" + UnicodeString(pattern) +
                                    u"' invalid or incompatible with argument");
        } else if (kind == u'd' || kind == u'x') {
            auto* n = std::get_if<std::int64_t>(&arg);
            if (n == nullptr)
                throw EConvertError(u"Format '" + UnicodeString(pattern) +
                                    u"' invalid or incompatible with argument");
            char buffer[32];
            if (kind == u'd')
                std::snprintf(buffer, sizeof buffer, "%.*lld", precision, static_cast<long long>(*n));
            else
                std::snprintf(buffer, sizeof buffer, "%.*llX", precision,
                              static_cast<unsigned long long>(static_cast<std::uint32_t>(*n)));
            out += Utf8ToString(buffer);
        } else {
            throw EConvertError(u"Format '" + UnicodeString(pattern) +
                                u"' invalid or incompatible with argument");
        }
        i = j;
    }
    return out;
}

HRESULT TObject::SafeCallException(const std::exception&, void*) {
    return E_UNEXPECTED;
}

Exception::Exception(UnicodeString message, std::int32_t helpContext) : HelpContext(helpContext) {
    SetMessage(std::move(message));
}

void Exception::SetMessage(UnicodeString message) {
    FMessage = std::move(message);
    FUtf8 = StringToUtf8(FMessage);
}

EOleSysError::EOleSysError(UnicodeString message, HRESULT errorCode, std::int32_t helpContext)
    : EOleError(std::move(message), helpContext), ErrorCode(errorCode) {
    if (!Message().empty())
        return;
#if defined(_WIN32)
    // The system's own text for the code, when it has one.
    if (UnicodeString text = SysErrorMessage(static_cast<std::uint32_t>(errorCode)); !text.empty()) {
        SetMessage(std::move(text));
        return;
    }
#endif
    // Without a system message table (Linux) or for a code it lacks, the text for unknown codes.
    SetMessage(Format(u"OLE error %.8x", std::int64_t(static_cast<std::uint32_t>(errorCode))));
}

namespace {
UnicodeString TrimOleMessage(UnicodeString message) {
    while (!message.empty() && (message.back() < u' ' || message.back() == u' ' || message.back() == u'.'))
        message.pop_back();
    return message;
}
} // namespace

EOleException::EOleException(UnicodeString message, HRESULT errorCode, UnicodeString source,
                             UnicodeString helpFile, std::int32_t helpContext)
    : EOleSysError(TrimOleMessage(std::move(message)), errorCode, helpContext), Source(std::move(source)),
      HelpFile(std::move(helpFile)) {}

EAssertionFailed::EAssertionFailed(std::u16string_view source, int line)
    : Exception(Format(u"%s (%s, line %d)", UnicodeString(u"Assertion failure"), UnicodeString(source),
                       std::int64_t{line})) {}
