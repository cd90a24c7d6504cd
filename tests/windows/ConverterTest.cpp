// The converter the Windows package ships: pdftotext.exe built from Debian's poppler source, run by the
// converter's wrapper on the fixture PDFs, gives the words Debian's own pdftotext -layout gives for them.
#include "Includes/PdfToText.h"

#include "Platform/Unicode.h"
#include "tests/support/Words.h"
#include "tests/windows/TestFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

TEST(ShippedConverter, GivesTheWordsOfDebiansPdftotext) {
    const TTestFolder work;
    const std::string converter = Utf16ToUtf8(ProgramFolder() + u"\\app\\pdftotext.exe");
    for (const std::u16string list : {u"members", u"table"}) {
        SCOPED_TRACE(Utf16ToUtf8(list));
        const std::u16string pdf = ProgramFolder() + u"\\pdf\\" + list + u".pdf";
        // A Cyrillic folder, as a user's download folder may be.
        const std::u16string folder = work / u"\u0421\u043F\u0438\u0441\u043A\u0438";
        CreateDirectoryW(WidePtr(folder), nullptr);
        const std::u16string txt = folder + u"\\" + list + u".txt";
        const TPdfConversionResult result =
            ConvertPdfToText(Utf16ToUtf8(pdf), Utf16ToUtf8(txt), 60s, converter);
        ASSERT_EQ(result.Outcome, TPdfConversion::Converted) << result.ErrorLine;
        const std::vector<std::string> expected =
            Words(ReadFile(ProgramFolder() + u"\\pdf\\" + list + u".layout.txt"));
        ASSERT_GT(expected.size(), 10u) << "the fixture has no text";
        EXPECT_EQ(Words(ReadFile(txt)), expected);
    }
}

} // namespace
