// The plug-in framework on Windows: an exception escaping a host-called method becomes an HRESULT and an
// error record of the system's oleaut32, and a failing host call becomes the exception again.
#include "PluginAPI/BStr.h"
#include "PluginAPI/ComPtr.h"
#include "PluginAPI/Helpers.h"
#include "PluginAPI/IDestroyNotify.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// Latin, Cyrillic and a character outside the BMP: none of them fits the ANSI code page 1252 together.
const std::u16string kMessage = u"Archiv \u00BBListe\u00AB: \u0444\u0430\u0439\u043B \U0001F4FB fehlt";

class TPlugin : public TImplements<IDestroyNotify> {
public:
    explicit TPlugin(std::function<void()> body) : body_(std::move(body)) {}
    HRESULT STDMETHODCALLTYPE NotifyDestroy() override { return SafeCall(*this, body_); }
    HRESULT SafeCallException(const std::exception& e, void*) override {
        return HandleSafeCallError(*this, e);
    }
    DECLARE_CLASS_NAME(TPlugin)

private:
    std::function<void()> body_;
};

struct Record {
    std::u16string source, description;
    GUID guid = GUID_NULL;
};

// The record of the calling thread, read through the system's GetErrorInfo as a host reads it.
bool TakeRecord(Record& r) {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info)
        return false;
    BStr s;
    info->GetSource(s.put());
    r.source = s.str();
    info->GetDescription(s.put());
    r.description = s.str();
    info->GetGUID(&r.guid);
    return true;
}

// Calls NotifyDestroy the way a host does: through the interface, of an object it holds a reference to.
HRESULT CallFromHost(std::function<void()> body) {
    ComPtr<IDestroyNotify> plugin(TCheckedInterfacedObject::Create<TPlugin>(std::move(body)));
    return plugin->NotifyDestroy();
}

} // namespace

TEST(ErrorTransport, AnEscapingExceptionBecomesItsCodeAndARecordOfTheSystem) {
    const HRESULT hr = CallFromHost([] { throw EInvalidCoreVersion(kMessage); });
    EXPECT_EQ(hr, EInvalidCoreVersion(u"x").ErrorCode);
    Record r;
    ASSERT_TRUE(TakeRecord(r));
    EXPECT_EQ(r.source, u"pluginsystem.TPlugin");
    EXPECT_EQ(r.description, kMessage);
    EXPECT_NE(r.guid, GUID_NULL); // a class-name code carries the framework's GUID
    // The record is taken once.
    EXPECT_FALSE(TakeRecord(r));
}

TEST(ErrorTransport, AGeneralExceptionTravelsByItsClassNameAndComesBackAsItself) {
    const HRESULT hr = CallFromHost([] { throw EFOpenError(kMessage); });
    EXPECT_EQ(hr, ClassNameErrorCode("EFOpenError"));
    // The host hands the failure back on a call of ours: the record it left makes the exception again.
    try {
        RaiseSafeCallError(hr, nullptr);
        FAIL() << "nothing raised";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), kMessage);
    }
}

TEST(ErrorTransport, ANonFrameworkExceptionIsUnexpectedWithASourceButNoDescription) {
    const HRESULT hr = CallFromHost([] { throw std::runtime_error("boom"); });
    EXPECT_EQ(hr, E_UNEXPECTED);
    Record r;
    ASSERT_TRUE(TakeRecord(r));
    EXPECT_EQ(r.source, u"pluginsystem.TPlugin");
    EXPECT_EQ(r.description, u"");
    EXPECT_EQ(r.guid, GUID_NULL);
}

TEST(ErrorTransport, QueryInterfaceAnswersForIUnknownAndTheImplementedInterfaceOnly) {
    ComPtr<IDestroyNotify> plugin(TCheckedInterfacedObject::Create<TPlugin>([] {}));
    EXPECT_TRUE(plugin.query<IUnknown>());
    EXPECT_TRUE(plugin.query<IDestroyNotify>());
    EXPECT_FALSE(plugin.query<IErrorInfo>());
}

// Exception texts are UTF-8 whatever the ANSI code page: what() keeps every character.
TEST(ExceptionText, WhatIsTheMessageInUtf8) {
    const EBaseException e(kMessage);
    EXPECT_EQ(Utf8ToString(e.what()), kMessage);
    EXPECT_STREQ(EBaseException(u"\u00E9t\u00E9").what(), "\xC3\xA9t\xC3\xA9");
}

// Without a text of its own, an OLE error says what the system says about its code, and falls back to the
// number for a code the system has no text for.
TEST(ExceptionText, AnOleErrorWithoutTextTakesTheSystemsText) {
    const EOleSysError known(u"", E_OUTOFMEMORY, 0);
    EXPECT_FALSE(known.Message().empty());
    EXPECT_EQ(known.Message().find(u"OLE error"), std::u16string::npos) << StringToUtf8(known.Message());
    EXPECT_EQ(EOleSysError(u"", static_cast<HRESULT>(0x8004ABCDu), 0).Message(), u"OLE error 8004ABCD");
    EXPECT_EQ(EOleSysError(u"Own text", E_OUTOFMEMORY, 0).Message(), u"Own text");
}
