// A library built with the plug-in's export table, loaded as the host loads the plug-in: by file, then its
// two functions by their digit-leading names.
#include "Includes/win32/Module.h"

#include "tests/windows/TestFolder.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

using EntryProc = HRESULT(STDMETHODCALLTYPE*)(IUnknown* core, void** plugin);
using DoneProc = HRESULT(STDMETHODCALLTYPE*)();

TEST(Exports, TheHostFindsTheEntryAndItsCompanionByTheirNamesAndNothingElse) {
    const TModule library(ProgramFolder() + u"\\" + Utf16Ptr(EXPORT_PROBE_NAME));
    const auto entry = library.Function<EntryProc>("983BEDA12B2347028D99FF042C551640");
    const auto done = library.Function<DoneProc>("983BEDA12B2347028D99FF042C551640_done");
    ASSERT_NE(entry, nullptr);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(library.Function<EntryProc>("PluginEntry"), nullptr);
    EXPECT_EQ(library.Function<EntryProc>("PluginEntry@8"), nullptr);

    // The calling convention matches the host's: arguments arrive and the result comes back.
    void* plugin = &plugin;
    EXPECT_EQ(entry(nullptr, &plugin), E_UNEXPECTED);
    EXPECT_EQ(plugin, nullptr);
    EXPECT_EQ(done(), S_OK);
}

} // namespace
