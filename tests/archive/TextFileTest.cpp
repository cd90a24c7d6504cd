// The reading rule for converted text files, on real files.
#include "Includes/TextFile.h"

#include "PluginAPI/SysUtils.h"
#include "tests/archive/TestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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

std::string Bytes(std::string_view text) {
    return std::string(text);
}

// The lines as the reader gives them, pieceSize bytes read at a time, after it counted them.
Lines ReadInPieces(const std::string& path, std::size_t pieceSize) {
    TTextLineReader reader(path, pieceSize);
    const std::size_t count = reader.CountLines();
    Lines lines;
    std::u16string line;
    while (reader.ReadLine(line))
        lines.push_back(line);
    EXPECT_EQ(count, lines.size()) << "the count agrees with the lines read after it";
    return lines;
}

TEST(ReadTextLinesTest, DecodesAndSplitsByTheRule) {
    using namespace std::string_view_literals;
    const struct {
        const char* name;
        std::string bytes;
        Lines lines;
    } cases[] = {
        {"empty file", "", {}},
        {"UTF-8 without mark", "UR5ABC Київ\nUT1AA", {u"UR5ABC Київ", u"UT1AA"}},
        {"UTF-8 with mark", "\xEF\xBB\xBFUR5ABC Київ\nUT1AA", {u"UR5ABC Київ", u"UT1AA"}},
        {"mark only", "\xEF\xBB\xBF", {}},
        {"UTF-16 LE", Utf16(u"UR5ABC Київ\r\nUT1AA 😀", false), {u"UR5ABC Київ", u"UT1AA 😀"}},
        {"UTF-16 BE", Utf16(u"UR5ABC Київ\r\nUT1AA", true), {u"UR5ABC Київ", u"UT1AA"}},
        {"UTF-16 LE, odd last byte", Utf16(u"ab", false) + "c", {u"ab\xFFFD"}},
        {"half a UTF-8 mark is text",
         "\xEF\xBB"
         "a",
         {u"\xFFFD\xFFFD"
          "a"}},
        {"CR, LF and CR LF", "a\rb\nc\r\nd", {u"a", u"b", u"c", u"d"}},
        {"LF CR is two line ends", "a\n\rb", {u"a", u"", u"b"}},
        {"final LF adds no line", "a\nb\n", {u"a", u"b"}},
        {"final CR LF adds no line", "a\r\n", {u"a"}},
        {"final CR adds no line", "a\r", {u"a"}},
        {"two final line ends add one empty line", "a\n\n", {u"a", u""}},
        {"line end only", "\r\n", {u""}},
        {"empty middle lines", "a\n\nb\r\n\r\nc\r\rd", {u"a", u"", u"b", u"", u"c", u"", u"d"}},
        {"form feed stays in the line", "page1\n\fpage2", {u"page1", u"\fpage2"}},
        {"NUL ends the text", Bytes("ab\0cd\nef"sv), {u"ab"}},
        {"NUL right after a line end", Bytes("ab\n\0cd"sv), {u"ab"}},
        {"NUL first", Bytes("\0ab"sv), {}},
        {"NUL in UTF-16", Utf16(u"ab\ncd", false).replace(6, 2, Bytes("\0\0"sv)), {u"ab"}},
        {"invalid UTF-8",
         "a\xFF"
         "b\xC3\n\xE2\x82",
         {u"a\xFFFD"
          "b\xFFFD",
          u"\xFFFD\xFFFD"}},
        // Read a few bytes at a time, these put every boundary inside a character or a line end.
        {"UTF-8 characters of 2 to 4 bytes",
         "\xEF\xBB\xBF\xD0\x9A\xE2\x82\xAC\xF0\x9F\x98\x80\r\nx",
         {u"К€😀", u"x"}},
        {"UTF-16 BE surrogate pair and odd last byte", Utf16(u"😀\r\n😀", true) + "c", {u"😀", u"😀\xFFFD"}},
        {"a line longer than a piece",
         std::string(40, 'a') + "\r\n" + std::string(17, 'b'),
         {std::u16string(40, u'a'), std::u16string(17, u'b')}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir / "File0001.txt";
        WriteFile(path, c.bytes);
        EXPECT_EQ(ReadTextLines(path), c.lines);
        for (const std::size_t pieceSize : {1, 2, 3, 4, 5, 7})
            EXPECT_EQ(ReadInPieces(path, pieceSize), c.lines) << "read " << pieceSize << " bytes at a time";
    }
}

TEST(ReadTextLinesTest, FailsWithEFOpenErrorWhenTheFileCannotBeOpened) {
    TempDir dir;
    const std::string missing = dir / "File0001.txt";
    EXPECT_THROW(
        {
            try {
                ReadTextLines(missing);
            } catch (const EFOpenError& e) {
                EXPECT_STREQ(e.what(),
                             ("Cannot open file \"" + missing + "\". No such file or directory").c_str());
                throw;
            }
        },
        EFOpenError);

    // A writer that holds the file locked shuts the reader out.
    const std::string locked = dir / "File0002.txt";
    WriteFile(locked, "text\n");
    const int writer = ::open(locked.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);
    EXPECT_THROW(ReadTextLines(locked), EFOpenError);
    ::close(writer);
    EXPECT_EQ(ReadTextLines(locked), Lines{u"text"});
}

TEST(ReadTextLinesTest, ReadsALargeFileLineByLine) {
    std::string text;
    for (int i = 0; i < 100'000; ++i)
        text += "UR" + std::to_string(i) + " Петренко\r\n";
    TempDir dir;
    WriteFile(dir / "big.txt", text);
    TTextLineReader reader(dir / "big.txt");
    ASSERT_EQ(reader.CountLines(), 100'000u);
    std::u16string line;
    for (int i = 0; i < 100'000; ++i) {
        ASSERT_TRUE(reader.ReadLine(line)) << i;
        ASSERT_EQ(line, u"UR" + Utf8ToString(std::to_string(i)) + u" Петренко");
    }
    EXPECT_FALSE(reader.ReadLine(line));
}

} // namespace
