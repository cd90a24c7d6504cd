// The COM runtime stand-in that hosts and plug-ins share, liboleaut32.so: what it exports and how its
// per-thread error record treats its callers.
#include "Platform/OleAuto.h"
#include "PluginAPI/BStr.h"
#include "PluginAPI/ComPtr.h"
#include "tests/support/Shell.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

ComPtr<IErrorInfo> NewRecord(const std::u16string& description) {
    ComPtr<ICreateErrorInfo> create;
    if (CreateErrorInfo(create.put()) != S_OK)
        return {};
    create->SetDescription(BStr(description).get());
    return create.query<IErrorInfo>();
}

} // namespace

// Anything else exported (libstdc++'s weak instances, say) could interpose with the host's own.
TEST(Runtime, ExportsOnlyItsOwnApi) {
    const std::string symbols =
        Shell("nm -D --defined-only '" OLEAUT32_LIBRARY "' | awk '{print $3}' | sort");
    EXPECT_EQ(symbols, "CreateErrorInfo\nCreateIconFromPixels\nDestroyIcon\nGetErrorInfo\nGetIconPixels\n"
                       "LiveIconCount\nSetErrorInfo\nSysAllocString\nSysAllocStringLen\nSysFreeString\n"
                       "SysStringByteLen\nSysStringLen\n");
}

TEST(Runtime, ANonZeroReservedArgumentIsRefusedAndChangesNothing) {
    ComPtr<IErrorInfo> kept = NewRecord(u"kept"), other = NewRecord(u"other");
    ASSERT_TRUE(kept && other);
    ASSERT_EQ(SetErrorInfo(0, kept.get()), S_OK);

    EXPECT_EQ(SetErrorInfo(1, other.get()), E_INVALIDARG);
    ComPtr<IErrorInfo> taken;
    EXPECT_EQ(GetErrorInfo(0x10, taken.put()), E_INVALIDARG);
    EXPECT_FALSE(taken);

    ASSERT_EQ(GetErrorInfo(0, taken.put()), S_OK) << "the thread's record is still there";
    EXPECT_EQ(taken.get(), kept.get());
    EXPECT_EQ(GetErrorInfo(0, taken.put()), S_FALSE) << "and was taken by the valid call";
}
