// The system's oleaut32, which the plug-in and the host share: COM strings and per-thread error records,
// as the error transport of the boundary relies on them.
#include "Platform/win32/WideChar.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(OleAut, StringsCarryTheirByteLengthInFrontAndMayHoldNuls) {
    const char16_t text[] = u"UR\0ABC";
    BSTR s = SysAllocStringLen(WidePtr(text), 6);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 6u);
    EXPECT_EQ(SysStringByteLen(s), 12u);
    EXPECT_EQ(reinterpret_cast<const std::uint32_t*>(s)[-1], 12u);
    EXPECT_EQ(std::u16string(Utf16Ptr(s), SysStringLen(s)), std::u16string(text, 6));
    EXPECT_EQ(s[6], L'\0');
    SysFreeString(s);
    SysFreeString(nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
}

// Publishes a record with this description on the calling thread.
void Publish(const wchar_t* description) {
    ICreateErrorInfo* create = nullptr;
    ASSERT_EQ(CreateErrorInfo(&create), S_OK);
    create->SetDescription(const_cast<wchar_t*>(description));
    create->SetSource(const_cast<wchar_t*>(L"pluginsystem.TPlugin"));
    IErrorInfo* info = nullptr;
    ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
    ASSERT_EQ(SetErrorInfo(0, info), S_OK);
    info->Release();
    create->Release();
}

// Takes the calling thread's record: its description, or "(none)".
std::wstring Take() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || info == nullptr)
        return L"(none)";
    BSTR description = nullptr;
    info->GetDescription(&description);
    std::wstring text(description, SysStringLen(description));
    SysFreeString(description);
    info->Release();
    return text;
}

TEST(OleAut, ErrorRecordsBelongToTheThreadThatSetThemAndAreTakenOnce) {
    Publish(L"main thread");
    std::wstring seenByOther;
    std::thread other([&] {
        seenByOther = Take();
        Publish(L"other thread");
    });
    other.join();
    EXPECT_EQ(seenByOther, L"(none)");
    EXPECT_EQ(Take(), L"main thread");
    EXPECT_EQ(Take(), L"(none)");
}

} // namespace
