// The system's GetTempFileNameW and the project's wrapper over it.
#include "Platform/TempFile.h"

#include "Includes/TempFileName.h"
#include "PluginAPI/SysUtils.h"
#include "tests/windows/TestFolder.h"

#include <gtest/gtest.h>

namespace {

TEST(MakeTempFileName, CreatesANewEmptyFileNamedAfterThePrefix) {
    TTestFolder folder;
    const std::u16string first = MakeTempFileName(folder.Path(), u"~archive");
    const std::u16string second = MakeTempFileName(folder.Path(), u"~archive");

    for (const std::u16string& name : {first, second}) {
        // "<folder>\~ar<hexadecimal>.tmp": the prefix is cut to three characters. Windows writes the digits
        // in upper case, Wine in lower case; names are compared without case on Windows anyway.
        ASSERT_EQ(name.rfind(folder.Path() + u"\\~ar", 0), 0u) << testing::PrintToString(name);
        ASSERT_EQ(name.substr(name.size() - 4), u".tmp");
        const std::u16string number =
            name.substr(folder.Path().size() + 4, name.size() - folder.Path().size() - 8);
        EXPECT_FALSE(number.empty());
        EXPECT_EQ(number.find_first_not_of(u"0123456789ABCDEFabcdef"), std::u16string::npos);
        EXPECT_TRUE(FileExists(name));
        EXPECT_EQ(ReadFile(name), "");
    }
    EXPECT_NE(first, second);
}

TEST(MakeTempFileName, WorksInAFolderWhoseNameTheAnsiCodePageCannotWrite) {
    TTestFolder scratch;
    const std::u16string folder =
        scratch / u"\u0417\u0430\u0432\u0430\u043D\u0442\u0430\u0436\u0435\u043D\u043D\u044F";
    ASSERT_TRUE(CreateDirectoryW(WidePtr(folder), nullptr));
    const std::u16string name = MakeTempFileName(folder, u"~ar");
    EXPECT_EQ(name.rfind(folder + u"\\~ar", 0), 0u);
    EXPECT_TRUE(FileExists(name));
}

TEST(MakeTempFileName, RaisesNamingTheFolderAndTheReasonWhenNoFileCanBeMade) {
    TTestFolder scratch;
    const std::u16string missing = scratch / u"missing";
    try {
        MakeTempFileName(missing, u"~ar");
        FAIL() << "no exception";
    } catch (const EFCreateError& e) {
        const std::u16string expectedStart =
            u"Cannot create a temporary file in folder \"" + missing + u"\". ";
        EXPECT_EQ(e.Message().rfind(expectedStart, 0), 0u) << e.what();
        EXPECT_GT(e.Message().size(), expectedStart.size()) << "the system's reason is missing";
    }
}

TEST(GetTempFileNameW, WithANumberOnlyMakesUpTheNameAndCreatesNothing) {
    TTestFolder folder;
    char16_t name[MAX_PATH];
    EXPECT_EQ(GetTempFileNameW(folder.Path().c_str(), u"~ar", 0x1ABCD, name), 0xABCDu);
    const std::u16string expected = folder / u"~arABCD.tmp";
    EXPECT_EQ(CompareStringOrdinal(WidePtr(name), -1, WidePtr(expected), -1, TRUE), CSTR_EQUAL)
        << testing::PrintToString(std::u16string(name));
    EXPECT_FALSE(FileExists(name));
}

} // namespace
