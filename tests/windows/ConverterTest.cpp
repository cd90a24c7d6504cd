// The converter the Windows package ships: pdftotext.exe built from Debian's poppler source, run by the
// converter's wrapper on the fixture PDFs, gives the words Debian's own pdftotext -layout gives for them,
// and on PDFs it cannot read, the reason in our words with the line of its own that says why.
#include "Includes/PdfToText.h"

#include "Platform/Unicode.h"
#include "tests/support/BrokenPdfs.h"
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

TEST(ShippedConverter, SaysWhyAListDoesNotConvert) {
    const TTestFolder work;
    const std::string converter = Utf16ToUtf8(ProgramFolder() + u"\\app\\pdftotext.exe");
    const struct {
        const char16_t* name;
        std::string content;
        TPdfFailure failure;
        std::string reason;
    } cases[] = {
        {u"password", PasswordProtectedPdf(), TPdfFailure::Password,
         "it is protected by a password (the PDF converter reported \"Incorrect password\")"},
        // Poppler warns and rebuilds the table before it fails: the failure is the line given.
        {u"no catalog", BrokenXrefPdf(false), TPdfFailure::Damaged,
         "it is damaged (the PDF converter reported \"Syntax Error: Couldn't read page catalog\")"},
        // It ends by blaming a page range nobody gave: the error before is the one given.
        {u"no pages", BrokenXrefPdf(true), TPdfFailure::Damaged,
         "it is damaged (the PDF converter reported \"Syntax Error: Top-level pages object is wrong type "
         "(null)\")"},
        {u"text", "UR5ABC Kyiv\r\nUT1AA Lviv\r\n", TPdfFailure::NotPdf,
         "it is not a PDF (the PDF converter reported \"Syntax Error: Couldn't read xref table\")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.name));
        const std::u16string pdf = work / (std::u16string(c.name) + u".pdf");
        const std::u16string txt = work / (std::u16string(c.name) + u".txt");
        WriteFile(pdf, c.content);
        const TPdfConversionResult result =
            ConvertPdfToText(Utf16ToUtf8(pdf), Utf16ToUtf8(txt), 60s, converter);
        EXPECT_EQ(result.Outcome, TPdfConversion::Failed);
        EXPECT_EQ(result.Failure, c.failure);
        EXPECT_EQ(result.Reason, c.reason);
        EXPECT_FALSE(FileExists(txt));
    }
}

} // namespace
