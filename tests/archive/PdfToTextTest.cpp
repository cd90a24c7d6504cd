// The PDF-to-text converter on PDFs drawn by the fixture writer, with the real pdftotext and with fake
// converters that stand in for a missing, failing or hanging one.
#include "Includes/PdfToText.h"

#include "Includes/TextFile.h"
#include "PluginAPI/SysUtils.h"
#include "tests/archive/TestFiles.h"
#include "tests/support/BrokenPdfs.h"
#include "tests/support/Words.h"
#include "tools/fixturegen/PdfFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3u);
constexpr HRESULT CO_E_SERVER_EXEC_FAILURE = static_cast<HRESULT>(0x80080005u);

// Every white-space separated word of the text, page breaks included.
std::vector<std::string> Words(const std::vector<std::u16string>& lines) {
    std::vector<std::string> words;
    for (const std::u16string& line : lines) {
        const std::vector<std::string> more = ::Words(StringToUtf8(line));
        words.insert(words.end(), more.begin(), more.end());
    }
    return words;
}

std::vector<std::string> Words(const std::vector<std::string>& lines) {
    std::vector<std::u16string> texts;
    for (const std::string& line : lines)
        texts.push_back(Utf8ToString(line));
    return Words(texts);
}

// Sets or clears an environment variable for the life of the object.
class TScopedVariable {
public:
    TScopedVariable(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        setenv(name, value.c_str(), 1);
    }
    TScopedVariable(const TScopedVariable&) = delete;
    TScopedVariable& operator=(const TScopedVariable&) = delete;
    ~TScopedVariable() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class TPdfToTextTest : public testing::Test {
protected:
    static void SetUpTestSuite() { application_ = std::make_unique<TPdfFixtureApplication>(); }
    static void TearDownTestSuite() { application_.reset(); }

    // A shell script standing in for the converter; it gets the PDF as $1 and the text file as $2.
    std::string FakeConverter(const std::string& body) {
        const std::string path = dir_ / "fake-converter";
        WriteFile(path, "#!/bin/sh\n" + body + "\n");
        chmod(path.c_str(), 0755);
        return path;
    }

    static inline std::unique_ptr<TPdfFixtureApplication> application_;
    TempDir dir_;
};

TEST_F(TPdfToTextTest, ConvertsDrawnListsAndTablesToTheirWords) {
    const std::vector<std::string> lines{
        "Список користувачів QSL-бюро", "1 UR5ABC Іван Петренко Київ", "QSL VIA UR5ABC/P",
        "Ґанок, Їжак, Євген, Щука",     "UT1AA John Smith Lviv",
    };
    const std::vector<TTableRow> rows{
        {"1", "UR5ABC", "Іван Петренко", "Київ"},
        {"2", "UT1AA", "John Smith", "Львів"},
        {"3", "US0KW", "Олег", "Харків"},
    };
    std::vector<std::string> rowTexts;
    for (const TTableRow& row : rows)
        rowTexts.push_back(row.Number + " " + row.Callsign + " " + row.Name + " " + row.City);

    const struct {
        const char* name;
        void (*write)(const std::string&, const std::vector<std::string>&, const std::vector<TTableRow>&,
                      int);
        int perPage;
        std::vector<std::string> words;
        std::size_t pages;
    } cases[] = {
        {"lines on one page", [](auto& p, auto& l, auto&, int n) { WritePdfLines(p, l, n); }, 40,
         Words(lines), 1},
        {"lines on three pages", [](auto& p, auto& l, auto&, int n) { WritePdfLines(p, l, n); }, 2,
         Words(lines), 3},
        {"table", [](auto& p, auto&, auto& r, int n) { WritePdfTable(p, r, n); }, 40, Words(rowTexts), 1},
        {"table on two pages", [](auto& p, auto&, auto& r, int n) { WritePdfTable(p, r, n); }, 2,
         Words(rowTexts), 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string pdf = dir_ / "File0001.pdf";
        const std::string txt = dir_ / "File0001.txt";
        c.write(pdf, lines, rows, c.perPage);
        ASSERT_EQ(ConvertPdfToText(pdf, txt, 30s).Outcome, TPdfConversion::Converted);
        const std::vector<std::u16string> text = ReadTextLines(txt);
        EXPECT_EQ(Words(text), c.words);
        // Every line drawn, and every row of a table, comes out as one line of text.
        for (const std::string& drawn : c.words == Words(lines) ? lines : rowTexts)
            EXPECT_TRUE(std::any_of(text.begin(), text.end(), [&](const std::u16string& line) {
                return Words(std::vector<std::u16string>{line}) == Words(std::vector<std::string>{drawn});
            })) << drawn;
        // pdftotext ends every page with a form feed.
        std::size_t pages = 0;
        for (const std::u16string& line : text)
            pages += std::count(line.begin(), line.end(), u'\f');
        EXPECT_EQ(pages, c.pages);
    }
}

TEST_F(TPdfToTextTest, CrowdedPagesKeepEveryRow) {
    std::vector<TTableRow> rows;
    std::vector<std::string> rowTexts;
    for (int i = 1; i <= 90; ++i) {
        rows.push_back({std::to_string(i), "UR" + std::to_string(i % 10) + "AB", "Ivan", "Kyiv"});
        rowTexts.push_back(rows.back().Number + " " + rows.back().Callsign + " Ivan Kyiv");
    }
    const std::string pdf = dir_ / "File0001.pdf";
    const std::string txt = dir_ / "File0001.txt";
    WritePdfTable(pdf, rows, 90);
    ASSERT_EQ(ConvertPdfToText(pdf, txt, 30s).Outcome, TPdfConversion::Converted);
    EXPECT_EQ(Words(ReadTextLines(txt)), Words(rowTexts));
    EXPECT_THROW(WritePdfTable(pdf, rows, 100000), std::runtime_error);
}

TEST_F(TPdfToTextTest, FixtureToolDrawsListsTablesAndScansFromFiles) {
    WriteFile(dir_ / "lines.txt", "UR5ABC Київ\r\nUT1AA Lviv\n");
    WriteFile(dir_ / "rows.tsv", "1\tUR5ABC\tІван Петренко\tКиїв\n2\tUT1AA\n");
    const struct {
        const char* mode;
        const char* input;
        std::vector<std::string> words;
    } cases[] = {
        {"--lines", "lines.txt", {"UR5ABC", "Київ", "UT1AA", "Lviv"}},
        {"--table", "rows.tsv", {"1", "UR5ABC", "Іван", "Петренко", "Київ", "2", "UT1AA"}},
        // The lines are pixels only: the converter finds no word.
        {"--scan", "lines.txt", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const std::string pdf = dir_ / "out.pdf";
        ASSERT_EQ(RunProgram({FIXTUREGEN, "pdf", pdf, c.mode, dir_ / c.input}), 0);
        ASSERT_EQ(ConvertPdfToText(pdf, dir_ / "out.txt", 30s).Outcome, TPdfConversion::Converted);
        // Empty cells can make pdftotext read a table column by column: compare the words only.
        std::vector<std::string> words = Words(ReadTextLines(dir_ / "out.txt"));
        std::vector<std::string> expected = c.words;
        std::ranges::sort(words);
        std::ranges::sort(expected);
        EXPECT_EQ(words, expected);
    }
    EXPECT_EQ(RunProgram({FIXTUREGEN, "pdf", dir_ / "out.pdf"}), 2);
    EXPECT_EQ(RunProgram({FIXTUREGEN, "pdf", dir_ / "out.pdf", "--lines", dir_ / "missing.txt"}), 1);
}

// Each failure is told in the user's words first, pdftotext's own line that says why after them.
TEST_F(TPdfToTextTest, BrokenOrMissingPdfWritesNoTextAndSaysWhy) {
    WriteFile(dir_ / "File0001.pdf", "%PDF-1.4 nothing after the header");
    WriteFile(dir_ / "File0003.pdf", "");
    WriteFile(dir_ / "File0004.pdf", "UR5ABC Київ\nUT1AA Lviv\n");
    WriteFile(dir_ / "File0005.pdf", PasswordProtectedPdf());
    std::string drawn = dir_ / "drawn.pdf";
    WritePdfLines(drawn, {"UR5ABC Kyiv"}, 40);
    std::string cut = ReadFile(drawn);
    WriteFile(dir_ / "File0006.pdf", cut.substr(0, cut.size() / 3));
    WriteFile(dir_ / "File0007.pdf", BrokenXrefPdf(false));
    WriteFile(dir_ / "File0008.pdf", BrokenXrefPdf(true));
    // The converter succeeds on this one, with an empty page: its text is not the list's.
    WriteFile(dir_ / "File0009.pdf", BrotliPdf());
    const struct {
        const char* name;
        TPdfFailure failure;
        std::string reason;
    } cases[] = {
        {"File0001", TPdfFailure::Damaged,
         "it is damaged (the PDF converter reported \"Syntax Error: Couldn't read xref table\")"},
        {"File0002", TPdfFailure::NotPdf,
         "it is not a PDF (the PDF converter reported \"I/O Error: Couldn't open file '" +
             (dir_ / "File0002.pdf") + "': No such file or directory.\")"},
        {"File0003", TPdfFailure::NotPdf,
         "it is not a PDF (the PDF converter reported \"Syntax Error: Document stream is empty\")"},
        {"File0004", TPdfFailure::NotPdf,
         "it is not a PDF (the PDF converter reported \"Syntax Error: Couldn't read xref table\")"},
        {"File0005", TPdfFailure::Password,
         "it is protected by a password (the PDF converter reported \"Incorrect password\")"},
        {"File0006", TPdfFailure::Damaged, ""},
        {"File0007", TPdfFailure::Damaged,
         "it is damaged (the PDF converter reported \"Syntax Error: Couldn't read page catalog\")"},
        {"File0008", TPdfFailure::Damaged,
         "it is damaged (the PDF converter reported \"Syntax Error: Top-level pages object is wrong type "
         "(null)\")"},
        {"File0009", TPdfFailure::Compression,
         "it uses a compression that the PDF converter cannot read (BrotliDecode)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string txt = dir_ / (std::string(c.name) + ".txt");
        const TPdfConversionResult result = ConvertPdfToText(dir_ / (std::string(c.name) + ".pdf"), txt, 30s);
        EXPECT_EQ(result.Outcome, TPdfConversion::Failed);
        EXPECT_EQ(result.Failure, c.failure);
        if (!c.reason.empty())
            EXPECT_EQ(result.Reason, c.reason);
        else
            EXPECT_TRUE(result.Reason.starts_with("it is damaged (the PDF converter reported \""))
                << result.Reason;
        EXPECT_FALSE(FileExists(txt));
        EXPECT_THROW(ReadTextLines(txt), EFOpenError);
    }
}

// pdftotext writes bytes outside printable ASCII as "<hh>": they are decoded, a line end at the end
// dropped, and a control character inside still shown as U+FFFD.
TEST_F(TPdfToTextTest, ConverterEscapesAreDecoded) {
    WriteFile(dir_ / "File0001.pdf", "%PDF-1.4\n");
    const struct {
        const char* name;
        std::string printed;
        std::string line;
    } cases[] = {
        {"line end at the end", "Internal Error: xref num 1 not found but needed, try to reconstruct<0a>",
         "Internal Error: xref num 1 not found but needed, try to reconstruct"},
        {"Cyrillic name", "I/O Error: Could not open file <d0><9a><d0><b8><d1><97><d0><b2>.pdf",
         "I/O Error: Could not open file Київ.pdf"},
        {"escape inside", "bad <1b>[31m red", "bad \uFFFD[31m red"},
        {"no escape", "a <zz> b <0", "a <zz> b <0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TPdfConversionResult result =
            ConvertPdfToText(dir_ / "File0001.pdf", dir_ / "File0001.txt", 20s,
                             FakeConverter("echo '" + c.printed + "' >&2\nexit 1"));
        EXPECT_EQ(result.ErrorLine, c.line);
        EXPECT_EQ(result.Reason, "it is damaged (the PDF converter reported \"" + c.line + "\")");
    }
}

// Of all the converter says, the line that says why it failed is the one given: warnings and notices
// that it works around a fault come before the failure, and an error may come first or last among
// many lines.
TEST_F(TPdfToTextTest, ErrorStreamGivesTheLineThatSaysWhy) {
    const struct {
        const char* name;
        std::string script;
        TPdfConversion outcome;
        std::string line;
    } cases[] = {
        // More than a pipe holds: a converter that is not read from would block until the time limit.
        {"the failure after a flood of warnings",
         "yes 'Syntax Warning: bad object' | head -n 40000 >&2\n"
         "echo \"Syntax Error: Couldn't read xref table\" >&2\nexit 1",
         TPdfConversion::Failed, "Syntax Error: Couldn't read xref table"},
        {"the failure before a flood of warnings",
         "echo 'Syntax Error (12): Illegal character' >&2\n"
         "yes 'Syntax Warning: bad object' | head -n 40000 >&2\nexit 1",
         TPdfConversion::Failed, "Syntax Error (12): Illegal character"},
        {"a recovery notice, then the failure",
         "printf 'Internal Error: xref num 1 not found but needed, try to reconstruct<0a>\\n' >&2\n"
         "echo \"Syntax Error: Couldn't read page catalog\" >&2\n"
         "echo 'Internal Error: xref num 1 not found but needed, try to reconstruct<0a>' >&2\nexit 1",
         TPdfConversion::Failed, "Syntax Error: Couldn't read page catalog"},
        {"the last of several errors",
         "echo \"Syntax Error: Couldn't find trailer dictionary\" >&2\n"
         "echo \"Syntax Error: Couldn't read xref table\" >&2\nexit 1",
         TPdfConversion::Failed, "Syntax Error: Couldn't read xref table"},
        {"an error over what follows from it",
         "echo 'Syntax Error: Top-level pages object is wrong type (null)' >&2\n"
         "echo 'Command Line Error: Wrong page range given: the first page (1) can not be after the last "
         "page (0).' >&2\nexit 99",
         TPdfConversion::Failed, "Syntax Error: Top-level pages object is wrong type (null)"},
        {"the password over the errors before it",
         "echo 'Syntax Error: Bad encryption' >&2\necho 'Command Line Error: Incorrect password' >&2\nexit 1",
         TPdfConversion::Failed, "Incorrect password"},
        {"memory over the errors after it",
         "echo 'Out of memory' >&2\necho 'Syntax Error: Unexpected end of file' >&2\nexit 1",
         TPdfConversion::Failed, "Out of memory"},
        {"words of no known kind over a warning",
         "echo 'Syntax Warning: odd font' >&2\necho 'Segmentation fault' >&2\nexit 1", TPdfConversion::Failed,
         "Segmentation fault"},
        {"control characters and blank lines",
         "printf 'Syntax Error: bad \\033[31mred\\r\\n\\n\\r\\n' >&2\nexit 3", TPdfConversion::Failed,
         "Syntax Error: bad \uFFFD[31mred"},
        {"an endless line", "head -c 5000 /dev/zero | tr '\\0' x >&2\nexit 1", TPdfConversion::Failed,
         std::string(1000, 'x')},
        // Cut at the limit inside a two-byte letter: the half letter goes.
        {"an endless Cyrillic line", "printf x >&2\nyes '\xD0\x96' | head -n 3000 | tr -d '\\n' >&2\nexit 1",
         TPdfConversion::Failed,
         "x" +
             [] {
                 std::string letters;
                 for (int i = 0; i < 499; ++i)
                     letters += "\xD0\x96";
                 return letters;
             }()},
        {"a last line without its end", "printf 'Syntax Warning: a\\nSyntax Error: cut' >&2\nexit 1",
         TPdfConversion::Failed, "Syntax Error: cut"},
        {"nothing said", "exit 1", TPdfConversion::Failed, ""},
        {"success with a warning", "echo 'Syntax Warning: odd font' >&2\n: > \"$2\"",
         TPdfConversion::Converted, "Syntax Warning: odd font"},
    };
    WriteFile(dir_ / "File0001.pdf", "%PDF-1.4\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TPdfConversionResult result =
            ConvertPdfToText(dir_ / "File0001.pdf", dir_ / "File0001.txt", 20s, FakeConverter(c.script));
        EXPECT_EQ(result.Outcome, c.outcome);
        EXPECT_EQ(result.ErrorLine, c.line);
        // Our reason first, the converter's line only after it.
        const std::string detail = " (the PDF converter reported \"" + c.line + "\")";
        if (c.outcome == TPdfConversion::Failed && !c.line.empty()) {
            EXPECT_TRUE(result.Reason.size() > detail.size() && result.Reason.ends_with(detail))
                << result.Reason;
        }
    }
}

// The converter named by ZARBEX_PDFTOTEXT hangs after its first message: the limit ends it, and the
// result says it timed out, not failed.
TEST_F(TPdfToTextTest, HungConverterTimesOutWithWhatItSaid) {
    const TScopedVariable converter(PdfToTextVariable,
                                    FakeConverter("echo 'Error: waiting for fonts' >&2\nsleep 600"));
    const std::string txt = dir_ / "File0001.txt";
    const TPdfConversionResult result = ConvertPdfToText(dir_ / "File0001.pdf", txt, 300ms);
    EXPECT_EQ(result.Outcome, TPdfConversion::TimedOut);
    EXPECT_EQ(result.Failure, TPdfFailure::TimeLimit);
    EXPECT_EQ(result.ErrorLine, "Error: waiting for fonts");
    EXPECT_EQ(result.Reason,
              "the PDF converter took longer than the limit of 300 ms and was stopped (the PDF "
              "converter reported \"Error: waiting for fonts\")");
    EXPECT_FALSE(FileExists(txt));
}

// A converter that would take more memory than its limit finds its allocation refused (it asks for twice
// the limit, which without the limit the system would grant at once) and is told as such.
TEST_F(TPdfToTextTest, AConverterPastItsMemoryLimitIsToldSo) {
    const std::string script = "exec python3 -c 'import sys\n"
                               "try:\n"
                               "    bytearray(" +
                               std::to_string(2 * PdfToTextMemoryLimit) +
                               ")\n"
                               "except MemoryError:\n"
                               "    sys.stderr.write(\"Out of memory\\n\"); sys.exit(1)\n"
                               "open(sys.argv[2], \"w\").write(\"UR5ABC\\n\")' \"$1\" \"$2\"";
    WriteFile(dir_ / "File0001.pdf", "%PDF-1.4\n");
    const TPdfConversionResult result =
        ConvertPdfToText(dir_ / "File0001.pdf", dir_ / "File0001.txt", 20s, FakeConverter(script));
    EXPECT_EQ(result.Outcome, TPdfConversion::Failed);
    EXPECT_EQ(result.Failure, TPdfFailure::MemoryLimit);
    EXPECT_EQ(result.Reason,
              "the PDF converter needed more memory than its limit of 1.0 GB and was stopped (the "
              "PDF converter reported \"Out of memory\")");
}

// The real converter on a drawn list whose text is larger than the output limit: stopped when its text
// reaches the limit, told so, its cut text deleted.
TEST_F(TPdfToTextTest, ATextPastTheOutputLimitStopsTheConverter) {
    std::vector<std::string> lines;
    for (int i = 0; i < 400; ++i)
        lines.push_back(std::to_string(i) + " UR5ABC Іван Петренко Київ");
    const std::string pdf = dir_ / "File0001.pdf";
    const std::string txt = dir_ / "File0001.txt";
    WritePdfLines(pdf, lines, 100);
    const TPdfConversionResult whole = ConvertPdfToText(pdf, txt, 30s);
    ASSERT_EQ(whole.Outcome, TPdfConversion::Converted);
    ASSERT_GT(std::filesystem::file_size(txt), 4 * 4096u) << "the text is well past the lowered limit";

    const TPdfConversionResult cut = TPdfToTextProcess(pdf, txt, PdfToTextProgram(), 4096).Wait(30s);
    EXPECT_EQ(cut.Outcome, TPdfConversion::TooLarge);
    EXPECT_EQ(cut.Failure, TPdfFailure::OutputLimit);
    EXPECT_EQ(cut.Reason, "the text of \"" + pdf + "\" is larger than 4 KiB");
    EXPECT_FALSE(FileExists(txt)) << "the cut text is left";
}

TEST_F(TPdfToTextTest, ConverterThatCannotStartRaisesEOleSysErrorNamingIt) {
    const std::string notExecutable = dir_ / "not-executable";
    WriteFile(notExecutable, "#!/bin/sh\n");
    const std::string emptyFolder = dir_ / "empty";
    std::filesystem::create_directory(emptyFolder);

    const struct {
        const char* name;
        std::string program;  // given to the call; empty: the 3-argument call
        std::string variable; // ZARBEX_PDFTOTEXT; empty: unset
        std::string path;     // PATH
        std::string message;
        HRESULT code;
    } cases[] = {
        {"default program not in PATH", "", "", emptyFolder,
         "Cannot start the PDF converter \"pdftotext\": program not found (install poppler-utils)",
         CO_E_CLASSSTRING},
        {"program from the variable", "", "zarbex-no-such-converter", std::getenv("PATH"),
         "Cannot start the PDF converter \"zarbex-no-such-converter\": program not found", CO_E_CLASSSTRING},
        {"program by path", dir_ / "nowhere/pdftotext", "", std::getenv("PATH"),
         "Cannot start the PDF converter \"" + (dir_ / "nowhere/pdftotext") + "\": program not found",
         CO_E_CLASSSTRING},
        {"program not executable", notExecutable, "", std::getenv("PATH"),
         "Cannot start the PDF converter \"" + notExecutable + "\": Permission denied",
         CO_E_SERVER_EXEC_FAILURE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TScopedVariable path("PATH", c.path);
        std::optional<TScopedVariable> variable;
        if (!c.variable.empty())
            variable.emplace(PdfToTextVariable, c.variable);
        else
            unsetenv(PdfToTextVariable);
        try {
            if (c.program.empty())
                ConvertPdfToText(dir_ / "a.pdf", dir_ / "a.txt", 30s);
            else
                ConvertPdfToText(dir_ / "a.pdf", dir_ / "a.txt", 30s, c.program);
            ADD_FAILURE() << "no exception";
        } catch (const EOleSysError& e) {
            EXPECT_EQ(e.what(), c.message);
            EXPECT_EQ(e.ErrorCode, c.code);
        }
    }
}

TEST_F(TPdfToTextTest, HungConverterIsKilledWithEverythingItStartedAtTheTimeLimit) {
    // The converter writes part of its text, starts a helper and hangs.
    const std::string converter = FakeConverter("printf 'UR5ABC' > \"$2\"\n"
                                                "sleep 600 &\n"
                                                "echo $! > \"$2.helper\"\n"
                                                "wait");
    const std::string txt = dir_ / "File0001.txt";
    EXPECT_EQ(ConvertPdfToText(dir_ / "File0001.pdf", txt, 300ms, converter).Outcome,
              TPdfConversion::TimedOut);
    EXPECT_FALSE(FileExists(txt)); // no cut text is left for the reader

    // The helper is gone too: no process, or one that has ended and waits for its parent to collect it.
    const std::string helper =
        "/proc/" + ReadFile(txt + ".helper").substr(0, ReadFile(txt + ".helper").find('\n'));
    bool ended = false;
    for (int i = 0; i < 500 && !ended; ++i) {
        std::string stat;
        try {
            stat = ReadFile(helper + "/stat");
        } catch (const std::exception&) {
        }
        ended = stat.empty() || stat.find(") Z") != std::string::npos;
        if (!ended)
            std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(ended) << helper;
}

TEST_F(TPdfToTextTest, ConverterGetsNoStdinNoOtherDescriptorsAndSafeArguments) {
    // This process's stdin becomes a pipe that never ends, and it holds a descriptor without
    // close-on-exec: a converter that inherited either would hang on the first or report the second.
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const int savedStdin = ::dup(STDIN_FILENO);
    ASSERT_EQ(::dup2(pipeEnds[0], STDIN_FILENO), STDIN_FILENO);
    ASSERT_EQ(::dup2(pipeEnds[1], 100), 100);
    const std::string converter = FakeConverter("{ printf '%s|%s\\n' \"$1\" \"$2\"\n"
                                                "  [ -e /proc/$$/fd/100 ] && echo inherited\n"
                                                "  cat; } > \"$2\"\n"
                                                "exit 3");
    const std::string txt = dir_ / "-File0001.txt";
    // A relative path that starts with '-' must not reach the converter as an option.
    const TPdfConversion result = ConvertPdfToText("-File0001.pdf", txt, 5s, converter).Outcome;
    ::dup2(savedStdin, STDIN_FILENO);
    for (const int fd : {savedStdin, pipeEnds[0], pipeEnds[1], 100})
        ::close(fd);
    EXPECT_EQ(result, TPdfConversion::Failed);
    EXPECT_EQ(ReadFile(txt), "./-File0001.pdf|" + txt + "\n");
}

} // namespace
