// The system's texts for error codes, as the plug-in puts them into its messages.
#include "Platform/win32/SystemError.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(SysErrorMessage, GivesTheSystemTextReadyToEndASentence) {
    for (const std::uint32_t code : {std::uint32_t{ERROR_FILE_NOT_FOUND}, std::uint32_t{ERROR_ACCESS_DENIED},
                                     static_cast<std::uint32_t>(E_FAIL)}) {
        const std::u16string text = SysErrorMessage(code);
        ASSERT_FALSE(text.empty()) << code;
        EXPECT_NE(text.back(), u'.') << code;
        EXPECT_NE(text.back(), u'\n') << code;
        EXPECT_EQ(text.find(u'\r'), std::u16string::npos) << code;
    }
    EXPECT_NE(SysErrorMessage(ERROR_FILE_NOT_FOUND), SysErrorMessage(ERROR_ACCESS_DENIED));
}

TEST(SysErrorMessage, IsEmptyForACodeTheSystemDoesNotKnow) {
    EXPECT_EQ(SysErrorMessage(0x2000BEEF), u"");
}

} // namespace
