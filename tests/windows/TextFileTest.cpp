// The reading rule for converted text files on Windows: wide paths, the system's ANSI code page for text
// without a byte-order mark (1252 under Wine), and writers shut out by the sharing mode.
#include "Includes/TextFile.h"

#include "Platform/win32/WideChar.h"
#include "PluginAPI/SysUtils.h"
#include "tests/windows/TestFolder.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::u16string>;

std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t c : text) {
        const char high = static_cast<char>(c >> 8);
        const char low = static_cast<char>(c & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

const std::u16string kKyiv = u"\u041A\u0438\u0457\u0432";

TEST(ReadTextLinesWin32, DecodesByTheMarkOrAsTheAnsiCodePage) {
    using namespace std::string_view_literals;
    const struct {
        const char* name;
        std::string bytes;
        Lines lines;
    } cases[] = {
        {"empty file", "", {}},
        {"UTF-8 with mark",
         "\xEF\xBB\xBFUR5ABC \xD0\x9A\xD0\xB8\xD1\x97\xD0\xB2\r\nUT1AA",
         {u"UR5ABC " + kKyiv, u"UT1AA"}},
        {"UTF-16 LE",
         Utf16(u"UR5ABC " + kKyiv + u"\r\nUT1AA \U0001F600", false),
         {u"UR5ABC " + kKyiv, u"UT1AA \U0001F600"}},
        {"UTF-16 BE", Utf16(u"UR5ABC " + kKyiv + u"\nUT1AA", true), {u"UR5ABC " + kKyiv, u"UT1AA"}},
        // Without a mark the bytes are the ANSI code page's, not UTF-8: C4 D6 are two letters, 80 the euro.
        {"ANSI without mark", "UR5ABC \xC4\xD6\r\n\x80 UT1AA\n", {u"UR5ABC \u00C4\u00D6", u"\u20AC UT1AA"}},
        {"CR, LF and CR LF", "a\rb\nc\r\nd", {u"a", u"b", u"c", u"d"}},
        {"NUL ends the text", std::string("ab\0cd\nef"sv), {u"ab"}},
    };
    TTestFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::u16string path = folder / u"File0001.txt";
        WriteFile(path, c.bytes);
        EXPECT_EQ(ReadTextLines(StringToUtf8(path)), c.lines);
    }
}

TEST(ReadTextLinesWin32, ReadsAFileWhosePathTheAnsiCodePageCannotWrite) {
    TTestFolder scratch;
    const std::u16string folder = scratch / u"\u0421\u043F\u0438\u0441\u043A\u0438";
    ASSERT_TRUE(CreateDirectoryW(WidePtr(folder), nullptr));
    const std::u16string path = folder + u"\\\u0427\u043B\u0435\u043D\u0438 \u0423\u0420.txt";
    WriteFile(path, "UR5ABC\r\nUT2XY\r\n");
    EXPECT_EQ(ReadTextLines(StringToUtf8(path)), (Lines{u"UR5ABC", u"UT2XY"}));
}

TEST(ReadTextLinesWin32, AFileHeldOpenForWritingCannotBeOpened) {
    TTestFolder folder;
    const std::u16string path = folder / u"File0002.txt";
    WriteFile(path, "text\r\n");
    {
        // The converter's way of writing: shared for reading, as most programs do.
        const HANDLE writer = CreateFileW(WidePtr(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(writer, INVALID_HANDLE_VALUE);
        try {
            ReadTextLines(StringToUtf8(path));
            ADD_FAILURE() << "a file being written was read";
        } catch (const EFOpenError& e) {
            const std::u16string start = u"Cannot open file \"" + path + u"\". ";
            EXPECT_EQ(e.Message().rfind(start, 0), 0u) << e.what();
            EXPECT_GT(e.Message().size(), start.size()) << "the system's reason is missing";
        }
        CloseHandle(writer);
    }
    EXPECT_EQ(ReadTextLines(StringToUtf8(path)), Lines{u"text"});
}

TEST(ReadTextLinesWin32, AMissingFileRaisesNamingIt) {
    TTestFolder folder;
    const std::u16string missing = folder / u"File0003.txt";
    try {
        ReadTextLines(StringToUtf8(missing));
        FAIL() << "no exception";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message().rfind(u"Cannot open file \"" + missing + u"\". ", 0), 0u) << e.what();
    }
}

} // namespace
