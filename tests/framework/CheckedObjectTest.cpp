// The checked reference-counted object and its three misuse checks.
#include "PluginAPI/ComPtr.h"
#include "PluginAPI/Helpers.h"
#include "PluginAPI/PluginAPI.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

namespace {

class TProbe : public TImplements<IDestroyNotify> {
public:
    explicit TProbe(bool* destroyed) : destroyed_(destroyed) {}
    ~TProbe() override {
        if (inDestructor)
            inDestructor(*this);
        *destroyed_ = true;
    }
    HRESULT STDMETHODCALLTYPE NotifyDestroy() override { return S_OK; }
    DECLARE_CLASS_NAME(TPlugin)
    std::function<void(TProbe&)> inDestructor;

private:
    bool* destroyed_;
};

class TLongName : public TImplements<IDestroyNotify> {
public:
    HRESULT STDMETHODCALLTYPE NotifyDestroy() override { return S_OK; }
    const char* ClassName() const override {
        return "TAVeryLongClassNameThatGoesOnAndOnBeyondEightyEightCharactersSoThatTheDebugNameIsCutShort";
    }
};

std::string Address(const void* p) {
    char text[32];
    std::snprintf(text, sizeof text, "%08lX",
                  static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(p)));
    return text;
}

} // namespace

TEST(CheckedObject, CountsAndDestroysAtTheLastRelease) {
    bool destroyed = false;
    TProbe* probe = TCheckedInterfacedObject::Create<TProbe>(&destroyed);
    EXPECT_EQ(probe->RefCount(), 0);
    EXPECT_EQ(probe->DebugName(), "[$" + Address(probe) + "] TPlugin");
    EXPECT_EQ(probe->AddRef(), 1u);
    EXPECT_EQ(probe->AddRef(), 2u);
    EXPECT_EQ(probe->Release(), 1u);
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(probe->Release(), 0u);
    EXPECT_TRUE(destroyed);
}

TEST(CheckedObject, DestroyWithReferencesRefusesAndLeavesTheObjectUsable) {
    bool destroyed = false;
    TProbe* probe = TCheckedInterfacedObject::Create<TProbe>(&destroyed);
    probe->AddRef();
    probe->AddRef();
    try {
        probe->Destroy();
        FAIL() << "destroy went through";
    } catch (const ECheckedInterfacedObjectDeleteError& e) {
        EXPECT_EQ(StringToUtf8(e.Message()), "Object deletion attempt [$" + Address(probe) +
                                                 "] TPlugin with active interface link; counter: 2");
        EXPECT_EQ(e.ErrorCode, static_cast<HRESULT>(0x80045A95u));
    }
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(probe->RefCount(), 2);
    ComPtr<IDestroyNotify> more = ComPtr<IDestroyNotify>(probe);
    EXPECT_EQ(more->NotifyDestroy(), S_OK);
    more.reset();
    probe->Release();
    probe->Release();
    EXPECT_TRUE(destroyed);
}

TEST(CheckedObject, ADestroyedObjectRefusesReferencesAndASecondDestroy) {
    bool destroyed = false;
    TProbe* probe = TCheckedInterfacedObject::Create<TProbe>(&destroyed);
    std::string useMessage, doubleMessage;
    int32_t countAfterRelease = 0;
    const std::string name = "[$" + Address(probe) + "] TPlugin";
    probe->inDestructor = [&](TProbe& self) {
        try {
            self.AddRef();
        } catch (const ECheckedInterfacedObjectUseDeletedError& e) {
            useMessage = StringToUtf8(e.Message());
        }
        try {
            self.Destroy();
        } catch (const ECheckedInterfacedObjectDoubleFreeError& e) {
            doubleMessage = StringToUtf8(e.Message());
        }
        self.Release();
        countAfterRelease = self.RefCount();
    };
    probe->Destroy();
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(useMessage, "Usage attempt with just deleted object " + name);
    EXPECT_EQ(doubleMessage, "Object deletion attempt with just deleted one " + name);
    EXPECT_EQ(countAfterRelease, -2) << "a release while dying lowers the counter and destroys nothing";
}

TEST(CheckedObject, DebugNameIsCutTo99Characters) {
    TLongName* obj = TCheckedInterfacedObject::Create<TLongName>();
    EXPECT_EQ(obj->DebugName().size(), 99u);
    EXPECT_EQ(obj->DebugName().rfind("[$", 0), 0u);
    obj->Destroy();
}

TEST(CheckedObject, QueryInterfaceAnswersItsInterfacesOnly) {
    bool destroyed = false;
    TProbe* probe = TCheckedInterfacedObject::Create<TProbe>(&destroyed);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(probe->QueryInterface(IPlugin::iid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(probe->QueryInterface(IUnknown::iid, &out), S_OK);
    EXPECT_EQ(out, static_cast<IDestroyNotify*>(probe));
    static_cast<IUnknown*>(out)->Release();
    EXPECT_TRUE(destroyed);
}

TEST(CheckedObject, EscapingExceptionsNameTheObjectsClass) {
    bool destroyed = false;
    TProbe* probe = TCheckedInterfacedObject::Create<TProbe>(&destroyed);
    EXPECT_EQ(SafeCall(*probe, [] { throw EAbort(u"x"); }), static_cast<HRESULT>(0x8004C1E0u));
    IErrorInfo* raw = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &raw), S_OK);
    auto info = ComPtr<IErrorInfo>::Attach(raw);
    BSTR source = nullptr;
    info->GetSource(&source);
    EXPECT_EQ(std::u16string(source), u"pluginsystem.TPlugin");
    SysFreeString(source);
    probe->Destroy();
}
