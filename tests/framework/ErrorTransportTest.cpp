// The error transport: class-name codes, exceptions to HRESULTs with error records, and back.
#include "PluginAPI/BStr.h"
#include "PluginAPI/CRC16.h"
#include "PluginAPI/ComPtr.h"
#include "PluginAPI/Helpers.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace {

constexpr GUID kClassNameGuid{0x43B2F1E1, 0xE897, 0x4584, {0xA9, 0x2A, 0x06, 0xAE, 0x75, 0xDF, 0x83, 0x4D}};

struct Record {
    bool present = false;
    GUID guid = GUID_NULL;
    std::u16string source, description;
    DWORD helpContext = 0;
};

Record TakeRecord() {
    Record r;
    IErrorInfo* raw = nullptr;
    if (GetErrorInfo(0, &raw) != S_OK)
        return r;
    auto info = ComPtr<IErrorInfo>::Attach(raw);
    r.present = true;
    info->GetGUID(&r.guid);
    BStr s;
    info->GetSource(s.put());
    r.source = s.str();
    info->GetDescription(s.put());
    r.description = s.str();
    info->GetHelpContext(&r.helpContext);
    return r;
}

void PublishRecord(const std::u16string& description, const std::u16string& source = u"host") {
    ComPtr<ICreateErrorInfo> create;
    ASSERT_EQ(CreateErrorInfo(create.put()), S_OK);
    create->SetDescription(BStr(description).get());
    create->SetSource(BStr(source).get());
    create->SetHelpContext(7);
    SetErrorInfo(0, create.query<IErrorInfo>().get());
}

class Thrower : public TObject {
public:
    DECLARE_CLASS_NAME(TPlugin)
    HRESULT SafeCallException(const std::exception& e, void*) override {
        return HandleSafeCallError(*this, e);
    }
};

template <class E> HRESULT Escape(E e) {
    Thrower obj;
    return SafeCall(obj, [&] { throw e; });
}

} // namespace

TEST(ClassNameCode, CrcCheckValues) {
    EXPECT_EQ(StringCRC16(u"123456789"), 0x31C3);
    EXPECT_EQ(StringCRC16(u""), 0);
    EXPECT_EQ(CalcCRC16("x", 0), 0);
    EXPECT_EQ(CalcCRC16("x", -1), 0);
    EXPECT_EQ(ClassNameErrorCode(""), static_cast<HRESULT>(0x80040000u));
}

TEST(ClassNameCode, FrameworkClassesCarryTheCodeOfTheirName) {
    struct Case {
        HRESULT code;
        HRESULT expected;
    } cases[] = {
        {EBaseException(u"x").ErrorCode, static_cast<HRESULT>(0x80047031u)},
        {ECheckedInterfacedObjectError(u"x").ErrorCode, static_cast<HRESULT>(0x80044383u)},
        {ECheckedInterfacedObjectDeleteError(u"x").ErrorCode, static_cast<HRESULT>(0x80045A95u)},
        {ECheckedInterfacedObjectDoubleFreeError(u"x").ErrorCode, static_cast<HRESULT>(0x80048672u)},
        {ECheckedInterfacedObjectUseDeletedError(u"x").ErrorCode, static_cast<HRESULT>(0x8004D50Du)},
        {EInvalidCoreVersion(u"x").ErrorCode, static_cast<HRESULT>(0x8004D63Au)},
        {ClassNameErrorCode("EUnsupportedCore"), static_cast<HRESULT>(0x80046559u)},
        {ClassNameErrorCode("EAbort"), static_cast<HRESULT>(0x8004C1E0u)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.code, c.expected) << std::hex << c.expected;
}

TEST(ClassNameCode, EveryIncomingClassComesBackAsItself) {
    const char* names[] = {"ECheckedInterfacedObjectError",
                           "ECheckedInterfacedObjectDeleteError",
                           "ECheckedInterfacedObjectDoubleFreeError",
                           "ECheckedInterfacedObjectUseDeletedError",
                           "EInvalidCoreVersion",
                           "EAbort",
                           "EAbstractError",
                           "EArgumentException",
                           "EArgumentOutOfRangeException",
                           "EAssertionFailed",
                           "EBitsError",
                           "EClassNotFound",
                           "EComponentError",
                           "EConvertError",
                           "EDirectoryNotFoundException",
                           "EFCreateError",
                           "EFileNotFoundException",
                           "EFileStreamError",
                           "EFilerError",
                           "EFOpenError",
                           "EHeapException",
                           "EInOutError",
                           "EIntfCastError",
                           "EInvalidCast",
                           "EInvalidContainer",
                           "EInvalidImage",
                           "EInvalidInsert",
                           "EInvalidOperation",
                           "EInvalidPointer",
                           "EListError",
                           "EMethodNotFound",
                           "EMonitor",
                           "EMonitorLockException",
                           "ENoConstructException",
                           "ENoMonitorSupportException",
                           "ENotSupportedException",
                           "EOutOfMemory",
                           "EOutOfResources",
                           "EPackageError",
                           "EParserError",
                           "EPathTooLongException",
                           "EProgrammerNotFound",
                           "EPropReadOnly",
                           "EPropWriteOnly",
                           "EReadError",
                           "EResNotFound",
                           "EStreamError",
                           "EStringListError",
                           "EVariantError",
                           "EWriteError"};
    EXPECT_EQ(std::size(names), 50u);
    for (const char* name : names) {
        const HRESULT code = ClassNameErrorCode(name);
        PublishRecord(u"why");
        auto e = CreateExceptionFromError(code);
        EXPECT_STREQ(e->ClassName(), name);
        EXPECT_EQ(e->Message(), u"why") << name << ": the record's description is the message";
        EXPECT_EQ(ExceptionToHResult(*e), code) << name;
        try {
            RaiseSafeCallError(code, nullptr);
            ADD_FAILURE() << name << " not raised";
        } catch (const Exception& raised) {
            EXPECT_STREQ(raised.ClassName(), name) << "raised with its own class";
        }
    }
}

TEST(ClassNameCode, CodesWithoutARowBecomeOleExceptions) {
    for (const char* name : {"EBaseException", "EUnsupportedCore", "Exception", "EOleException"}) {
        auto e = CreateExceptionFromError(ClassNameErrorCode(name));
        EXPECT_STREQ(e->ClassName(), "EOleException") << name;
        EXPECT_EQ(static_cast<EOleException&>(*e).ErrorCode, ClassNameErrorCode(name));
    }
}

TEST(Outgoing, EAbortPublishesTheClassNameGuidAndSource) {
    EXPECT_EQ(Escape(EAbort(u"stopped")), static_cast<HRESULT>(0x8004C1E0u));
    Record r = TakeRecord();
    ASSERT_TRUE(r.present);
    EXPECT_TRUE(r.guid == kClassNameGuid);
    EXPECT_EQ(r.source, u"pluginsystem.TPlugin");
    EXPECT_EQ(r.description, u"stopped");
}

TEST(Outgoing, ResultsAndRecordsByExceptionKind) {
    EOSError osZero(u"fine");
    EOSError osBig(u"big");
    osBig.ErrorCode = 0x12345;
    struct Case {
        const char* what;
        std::function<HRESULT()> escape;
        HRESULT result;
        bool facilityItfGuid;       // the record's GUID is the class-name GUID rather than GUID_NULL
        std::u16string description; // empty when none is published
    };
    const Case cases[] = {
        {"plain Exception", [] { return Escape(Exception(u"plain", 3)); }, E_UNEXPECTED, false, u"plain"},
        {"EOSError 0", [&] { return Escape(osZero); }, S_OK, false, u"fine"},
        {"EOSError 0x12345", [&] { return Escape(osBig); }, static_cast<HRESULT>(0x80072345u), false, u"big"},
        {"EOleSysError 1", [] { return Escape(EOleSysError(u"odd", 1, 0)); }, 1, false, u"odd"},
        {"EBaseException", [] { return Escape(EBaseException(u"base")); }, static_cast<HRESULT>(0x80047031u),
         true, u"base"},
        {"not an Exception", [] { return Escape(std::runtime_error("other")); }, E_UNEXPECTED, false, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.escape(), c.result);
        // Every kind publishes a record, the success of an EOSError 0 included.
        const Record r = TakeRecord();
        ASSERT_TRUE(r.present);
        EXPECT_EQ(r.source, u"pluginsystem.TPlugin");
        EXPECT_TRUE(r.guid == (c.facilityItfGuid ? kClassNameGuid : GUID_NULL));
        EXPECT_EQ(r.description, c.description);
    }
}

TEST(Outgoing, PlainExceptionPublishesDescriptionAndHelpContextWithNullGuid) {
    EXPECT_EQ(Escape(Exception(u"plain", 3)), E_UNEXPECTED);
    Record r = TakeRecord();
    EXPECT_EQ(r.description, u"plain");
    EXPECT_EQ(r.helpContext, 3u);
    EXPECT_TRUE(r.guid == GUID_NULL);
}

TEST(Outgoing, SomethingThatIsNoExceptionObjectIsUnexpectedWithoutRecord) {
    Thrower obj;
    EXPECT_EQ(SafeCall(obj, [] { throw 42; }), E_UNEXPECTED);
    EXPECT_FALSE(TakeRecord().present);
    EXPECT_EQ(SafeCallNoObject([] { throw EAbort(u"x"); }), E_UNEXPECTED);
    EXPECT_FALSE(TakeRecord().present);
}

TEST(Incoming, EAbortTakesTheRecordsDescription) {
    PublishRecord(u"The user stopped it. ");
    try {
        HostCall(static_cast<HRESULT>(0x8004C1E0u));
        FAIL() << "no exception";
    } catch (const EAbort& e) {
        EXPECT_EQ(e.Message(), u"The user stopped it. "); // table classes keep the text unchanged
    }
    EXPECT_FALSE(TakeRecord().present) << "the record is taken by the failing call";
}

TEST(Incoming, Win32FacilityBecomesEOSError) {
    PublishRecord(u"Access is denied.");
    try {
        HostCall(static_cast<HRESULT>(0x80070005u));
        FAIL();
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode, 5u);
        EXPECT_EQ(e.Message(), u"Access is denied.");
    }
    try {
        HostCall(static_cast<HRESULT>(0x80070005u));
        FAIL();
    } catch (const EOSError& e) {
        EXPECT_EQ(e.Message(), u"");
    }
}

TEST(Incoming, OleExceptionMessages) {
    struct Case {
        std::u16string description;
        std::u16string message;
    } cases[] = {
        {u"", u"OLE error 80004005"},
        {u"Disk full. ", u"Disk full"},
        {u". . ", u"OLE error 80004005"},
        {u"Line one\r\n", u"Line one"},
    };
    for (const auto& c : cases) {
        if (!c.description.empty())
            PublishRecord(c.description, u"src");
        try {
            HostCall(E_FAIL);
            FAIL();
        } catch (const EOleException& e) {
            EXPECT_EQ(e.Message(), c.message);
            EXPECT_EQ(e.ErrorCode, E_FAIL);
            if (!c.description.empty()) {
                EXPECT_EQ(e.Source, u"src");
                EXPECT_EQ(e.HelpContext, 7);
            }
        }
    }
}

TEST(Incoming, SuccessCodesPassSilently) {
    EXPECT_EQ(HostCall(S_OK), S_OK);
    EXPECT_EQ(HostCall(S_FALSE), S_FALSE);
}

TEST(Incoming, TheHookIsInstalledWhileTheFrameworkIsLoaded) {
    EXPECT_EQ(SafeCallErrorProc(), &RaiseSafeCallError);
}
