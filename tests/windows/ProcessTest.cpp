// Child processes on Windows: a stand-in program (zarbex-child.exe, beside this one) run through
// TChildProcess and through the PDF converter's wrapper.
#include "Platform/Process.h"

#include "Includes/PdfToText.h"
#include "Platform/ErrorLines.h"
#include "Platform/Unicode.h"
#include "Platform/win32/OwnedHandle.h"
#include "PluginAPI/SysUtils.h"
#include "tests/windows/ScopedVariable.h"
#include "tests/windows/TestFolder.h"
#include "tests/windows/Wine.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <thread>

namespace {

using namespace std::chrono_literals;

const std::string Child = "zarbex-child";

std::string Utf8(const std::u16string& text) {
    return Utf16ToUtf8(text);
}

std::unique_ptr<TChildProcess> StartChild(const std::vector<std::string>& args) {
    std::vector<std::string> argv{Child};
    argv.insert(argv.end(), args.begin(), args.end());
    TProcessStartError error;
    auto process = TChildProcess::Start(Child, argv, error);
    EXPECT_TRUE(process) << error.Reason;
    return process;
}

// The stand-in's "hang" and "leave" modes write the ids of the child and of the sleeper it started, once
// the sleeper runs: the family is whole when the test ends it.
struct TFamily {
    TOwnedHandle child;
    TOwnedHandle grandchild;
};

TFamily WaitForFamily(const std::u16string& idFile) {
    for (int i = 0; i < 3000; ++i) {
        if (FileExists(idFile)) {
            std::istringstream ids(ReadFile(idFile));
            DWORD child = 0, grandchild = 0;
            if (ids >> child >> grandchild && grandchild != 0)
                return {TOwnedHandle(OpenProcess(SYNCHRONIZE, FALSE, child)),
                        TOwnedHandle(OpenProcess(SYNCHRONIZE, FALSE, grandchild))};
        }
        Sleep(10);
    }
    throw std::runtime_error("the stand-in wrote no process ids");
}

bool Ended(const TOwnedHandle& process) {
    return WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0;
}

// Killing is immediate for the child, whose end Kill waits for; the job's other processes end on their own
// time, bounded here only so that a failure cannot hang the run.
bool EndsSoon(const TOwnedHandle& process) {
    return WaitForSingleObject(process.Get(), 60'000) == WAIT_OBJECT_0;
}

TEST(ChildProcess, ExitCodeAndErrorLines) {
    const struct {
        std::vector<std::string> args;
        TChildProcess::TEnd end;
        std::vector<std::string> lines;
    } cases[] = {
        {{"exit", "0"}, TChildProcess::TEnd::Succeeded, {}},
        {{"exit", "3"}, TChildProcess::TEnd::Failed, {}},
        {{"line"}, TChildProcess::TEnd::Failed, {"bad \xEF\xBF\xBD[31mred", "second"}},
        {{"utf8"},
         TChildProcess::TEnd::Succeeded,
         {"\xD0\x9F\xD0\xBE\xD0\xBC\xD0\xB8\xD0\xBB\xD0\xBA\xD0\xB0: "
          "\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front());
        const auto process = StartChild(c.args);
        ASSERT_TRUE(process);
        EXPECT_EQ(process->Wait(TickClock::now() + 60s), c.end);
        EXPECT_EQ(process->ErrorLines(), c.lines);
        // Only the first call waits.
        EXPECT_EQ(process->Wait(TickClock::now()), c.end);
    }
}

// More than a pipe holds: a child whose stream is not read would block until the deadline. Of a megabyte
// only the first and last lines are kept.
TEST(ChildProcess, AFloodOfLinesIsReadAndOnlyItsEndsKept) {
    const auto process = StartChild({"flood"});
    ASSERT_TRUE(process);
    EXPECT_EQ(process->Wait(TickClock::now() + 60s), TChildProcess::TEnd::Failed);
    const std::vector<std::string> lines = process->ErrorLines();
    const std::string line = "Syntax Error: bad object";
    EXPECT_GT(lines.size(), TErrorLines::HeadLimit / line.size());
    EXPECT_LE(lines.size(), (TErrorLines::HeadLimit + TErrorLines::TailLimit) / line.size() + 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), line), static_cast<std::ptrdiff_t>(lines.size()));
}

TEST(ChildProcess, DeadlineKillsTheChildAndWhatItStarted) {
    TTestFolder folder;
    const std::u16string ids = folder / u"ids.txt";
    const auto process = StartChild({"hang", Utf8(ids)});
    ASSERT_TRUE(process);
    const TFamily family = WaitForFamily(ids);
    ASSERT_TRUE(family.child && family.grandchild);

    EXPECT_EQ(process->Wait(TickClock::now() + 200ms), TChildProcess::TEnd::TimedOut);
    EXPECT_EQ(process->ErrorLines(), std::vector<std::string>{"waiting"});
    EXPECT_TRUE(Ended(family.child));
    EXPECT_TRUE(EndsSoon(family.grandchild));
    EXPECT_EQ(process->Wait(TickClock::now() + 60s), TChildProcess::TEnd::TimedOut);
}

TEST(ChildProcess, HolderEndsEverythingStillRunning) {
    TTestFolder folder;
    {
        SCOPED_TRACE("a child that is never waited for");
        const std::u16string ids = folder / u"hang.txt";
        auto process = StartChild({"hang", Utf8(ids)});
        ASSERT_TRUE(process);
        const TFamily family = WaitForFamily(ids);
        EXPECT_FALSE(Ended(family.child));
        process.reset();
        EXPECT_TRUE(Ended(family.child));
        EXPECT_TRUE(EndsSoon(family.grandchild));
    }
    {
        SCOPED_TRACE("a child that ended and left a helper running");
        const std::u16string ids = folder / u"leave.txt";
        auto process = StartChild({"leave", Utf8(ids)});
        ASSERT_TRUE(process);
        EXPECT_EQ(process->Wait(TickClock::now() + 60s), TChildProcess::TEnd::Succeeded);
        const TFamily family = WaitForFamily(ids);
        EXPECT_FALSE(Ended(family.grandchild));
        process.reset();
        EXPECT_TRUE(EndsSoon(family.grandchild));
    }
}

TEST(ChildProcess, ArgumentsArriveAsGivenAndStdHandlesAreNulAndThePipe) {
    TTestFolder folder;
    const std::u16string output = folder / u"\u0430\u0440\u0433\u0443\u043C\u0435\u043D\u0442\u0438.txt";
    const std::vector<std::string> args{
        "plain",
        "with space",
        "",
        "quote\"inside",
        "trailing\\",
        "spaced trailing\\",
        "\\\\server\\share\\",
        "back\\\\\"quote",
        "\"",
        "tab\there",
        "\xD0\x9A\xD0\xB8\xD1\x97\xD0\xB2 \xD1\x81\xD0\xBF\xD0\xB8\xD1\x81\xD0\xBE\xD0\xBA.pdf",
        "-layout",
    };
    std::vector<std::string> argv{"echo", Utf8(output)};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto process = StartChild(argv);
    ASSERT_TRUE(process);
    ASSERT_EQ(process->Wait(TickClock::now() + 60s), TChildProcess::TEnd::Succeeded)
        << ::testing::PrintToString(process->ErrorLines());

    std::string expected;
    for (const char* parser : {"shell:", "crt:"}) {
        for (const std::string& arg : args)
            expected += parser + arg + "\n";
    }
    expected += "stdin:char empty\nstdout:char\nstderr:pipe\n";
    EXPECT_EQ(ReadFile(output), expected);
}

TEST(ChildProcess, ProgramLookup) {
    TTestFolder folder;
    // The stand-in again under another name, in a folder of PATH only.
    const std::u16string pathFolder = folder / u"\u0442\u0435\u043A\u0430";
    ASSERT_TRUE(CreateDirectoryW(WidePtr(pathFolder), nullptr));
    ASSERT_TRUE(CopyFileW(WidePtr(ProgramFolder() + u"\\zarbex-child.exe"),
                          WidePtr(pathFolder + u"\\zarbex-other.exe"), TRUE));
    WriteFile(folder / u"bogus.exe", "not a program");
    // Neither the current folder nor the system's search may be what finds a program.
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    ASSERT_TRUE(SetCurrentDirectoryW(WidePtr(folder.Path())));
    const TScopedVariable path(u"PATH", u"C:\\zarbex-nowhere;\"" + pathFolder + u"\"");

    const struct {
        const char* name;
        std::string program;
        bool started;
        bool notFound;
    } cases[] = {
        {"in the program's folder", "zarbex-child", true, false},
        {"with its extension", "zarbex-child.exe", true, false},
        {"in PATH", "zarbex-other", true, false},
        {"by its path", Utf8(pathFolder + u"\\zarbex-other.exe"), true, false},
        {"in the current folder only", "bogus", false, true},
        {"nowhere", "zarbex-no-such-program", false, true},
        {"by a path to nothing", Utf8(folder / u"missing\\zarbex-child.exe"), false, true},
        {"no program", Utf8(folder / u"bogus.exe"), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TProcessStartError error;
        const auto process = TChildProcess::Start(c.program, {c.program, "exit", "0"}, error);
        EXPECT_EQ(process != nullptr, c.started) << error.Reason;
        if (process) {
            EXPECT_EQ(process->Wait(TickClock::now() + 60s), TChildProcess::TEnd::Succeeded);
        } else {
            EXPECT_EQ(error.NotFound, c.notFound);
            EXPECT_FALSE(error.Reason.empty());
        }
    }
    SetCurrentDirectoryW(current);
}

std::unique_ptr<TChildProcess> StartLimitedChild(const std::vector<std::string>& args,
                                                 std::uint64_t memoryLimit) {
    std::vector<std::string> argv{Child};
    argv.insert(argv.end(), args.begin(), args.end());
    TProcessStartError error;
    auto process = TChildProcess::Start(Child, argv, error, memoryLimit);
    EXPECT_TRUE(process) << error.Reason;
    return process;
}

// The limit is the job's limit on the memory each of its processes commits, as the job tells the child
// that runs in it (the job ends the child when it closes, and keeps a crash from waiting on the system's
// report); without a limit the job has none. Wine 8 takes the limits but answers every question about
// them with zeros.
TEST(ChildProcess, MemoryLimitIsTheJobsLimitForEachProcess) {
    TTestFolder folder;
    const struct {
        std::uint64_t limit;
        std::string seen;
    } cases[] = {
        {64u << 20, "flags 0x2500 limit 67108864"},
        {PdfToTextMemoryLimit, "flags 0x2500 limit 1073741824"},
        {0, "flags 0x2400 limit 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limit);
        const std::u16string file = folder / u"limit.txt";
        const auto process = StartLimitedChild({"joblimit", Utf8(file)}, c.limit);
        ASSERT_TRUE(process);
        ASSERT_EQ(process->Wait(TickClock::now() + 60s), TChildProcess::TEnd::Succeeded);
        EXPECT_EQ(ReadFile(file), RunningUnderWine() ? "flags 0 limit 0" : c.seen);
    }
}

// Past the limit the system refuses the child's memory: the child lives on and says so itself. Wine does
// not keep a job's processes to its memory limit: there the commit past it is granted.
TEST(ChildProcess, AChildPastItsMemoryLimitIsRefusedTheMemory) {
    const bool enforced = !RunningUnderWine();
    const struct {
        const char* mebibytes;
        TChildProcess::TEnd end;
        std::string line;
    } cases[] = {
        {"16", TChildProcess::TEnd::Succeeded, "committed"},
        {"256", enforced ? TChildProcess::TEnd::Failed : TChildProcess::TEnd::Succeeded,
         enforced ? "Out of memory" : "committed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mebibytes);
        const auto process = StartLimitedChild({"commit", c.mebibytes}, 64u << 20);
        ASSERT_TRUE(process);
        EXPECT_EQ(process->Wait(TickClock::now() + 60s), c.end);
        EXPECT_EQ(process->ErrorLines(), std::vector<std::string>{c.line});
    }
}

// The converter's wrapper over the stand-in, named by ZARBEX_PDFTOTEXT or given, in a folder whose name
// the ANSI code page cannot write.
TEST(PdfToText, ConvertsWithTheNamedProgramAndDeletesACutText) {
    TTestFolder scratch;
    const std::u16string folder = scratch / u"\u0421\u043F\u0438\u0441\u043A\u0438";
    ASSERT_TRUE(CreateDirectoryW(WidePtr(folder), nullptr));
    WriteFile(folder + u"\\File0001.pdf", "UR5ABC UT1AA");
    const TScopedVariable variable(u"ZARBEX_PDFTOTEXT", ProgramFolder() + u"\\zarbex-child.exe");

    const TPdfConversionResult converted =
        ConvertPdfToText(Utf8(folder + u"\\File0001.pdf"), Utf8(folder + u"\\File0001.txt"), 60s);
    EXPECT_EQ(converted.Outcome, TPdfConversion::Converted) << converted.ErrorLine;
    EXPECT_EQ(ReadFile(folder + u"\\File0001.txt"), "UR5ABC UT1AA");

    // Once the cut text is there, its message is on the way: the limit is over, whatever the start took.
    TPdfToTextProcess converter(Utf8(folder + u"\\hang.pdf"), Utf8(folder + u"\\hang.txt"),
                                Utf8(ProgramFolder() + u"\\zarbex-child.exe"));
    for (int i = 0; i < 3000 && !FileExists(folder + u"\\hang.txt"); ++i)
        Sleep(10);
    ASSERT_TRUE(FileExists(folder + u"\\hang.txt"));
    const TPdfConversionResult hung = converter.Wait(0ms);
    EXPECT_EQ(hung.Outcome, TPdfConversion::TimedOut);
    EXPECT_EQ(hung.ErrorLine, "Error: waiting for fonts");
    EXPECT_FALSE(FileExists(folder + u"\\hang.txt")) << "the cut text is left";
}

// A converter whose text grows past the output limit is stopped long before its time limit, and its cut
// text deleted.
TEST(PdfToText, ATextPastTheOutputLimitStopsTheConverter) {
    TTestFolder scratch;
    const std::string pdf = Utf8(scratch / u"grow.pdf");
    WriteFile(scratch / u"grow.pdf", "%PDF-1.4\n");
    TPdfToTextProcess converter(pdf, Utf8(scratch / u"grow.txt"),
                                Utf8(ProgramFolder() + u"\\zarbex-child.exe"), 256 * 1024);
    const TPdfConversionResult result = converter.Wait(60s);
    EXPECT_EQ(result.Outcome, TPdfConversion::TooLarge);
    EXPECT_EQ(result.Failure, TPdfFailure::OutputLimit);
    EXPECT_EQ(result.Reason, "the text of \"" + pdf + "\" is larger than 256 KiB");
    EXPECT_FALSE(FileExists(scratch / u"grow.txt")) << "the cut text is left";
}

// A failed conversion is told in our words: the document's own first bytes, read through its wide
// name, tell a damaged PDF from a file that is none; of what the converter wrote, the line that says why
// follows, its escapes decoded.
TEST(PdfToText, FailureIsToldByTheDocumentsFirstBytes) {
    TTestFolder scratch;
    const std::u16string folder = scratch / u"\u0421\u043F\u0438\u0441\u043A\u0438";
    ASSERT_TRUE(CreateDirectoryW(WidePtr(folder), nullptr));
    const std::string program = Utf8(ProgramFolder() + u"\\zarbex-child.exe");
    const std::string memoryReason = "the PDF converter needed more memory than its limit of 1.0 GB and was "
                                     "stopped (the PDF converter reported \"Out of memory\")";
    // Wine grants the converter the memory past its limit, where the address space holds it (a 64-bit
    // process): the stand-in then converts.
    const bool enforced = !RunningUnderWine() || sizeof(void*) == 4;
    const struct {
        const char16_t* name;
        std::string content;
        TPdfConversion outcome;
        TPdfFailure failure;
        std::string reason;
    } cases[] = {
        {u"refuse-pdf", "%PDF-1.4\n", TPdfConversion::Failed, TPdfFailure::Damaged,
         "it is damaged (the PDF converter reported \"Syntax Error: Couldn't read xref table\")"},
        {u"refuse-text", "UR5ABC UT1AA", TPdfConversion::Failed, TPdfFailure::NotPdf,
         "it is not a PDF (the PDF converter reported \"Syntax Error: Couldn't read xref table\")"},
        // The failure after the warnings and the notices that it rebuilds the file, a megabyte apart.
        {u"rebuild", "%PDF-1.4\n", TPdfConversion::Failed, TPdfFailure::Damaged,
         "it is damaged (the PDF converter reported \"Syntax Error: Couldn't read page catalog\")"},
        {u"starved", "%PDF-1.4\n", TPdfConversion::Failed, TPdfFailure::MemoryLimit, memoryReason},
        {u"memory", "%PDF-1.4\n", enforced ? TPdfConversion::Failed : TPdfConversion::Converted,
         enforced ? TPdfFailure::MemoryLimit : TPdfFailure::None, enforced ? memoryReason : ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.name));
        const std::u16string base = folder + u"\\" + c.name;
        WriteFile(base + u".pdf", c.content);
        const TPdfConversionResult result =
            ConvertPdfToText(Utf8(base + u".pdf"), Utf8(base + u".txt"), 60s, program);
        EXPECT_EQ(result.Outcome, c.outcome);
        EXPECT_EQ(result.Failure, c.failure);
        EXPECT_EQ(result.Reason, c.reason);
    }
}

TEST(PdfToText, MissingConverterRaisesEOleSysErrorNamingIt) {
    const TScopedVariable path(u"PATH", u"C:\\zarbex-nowhere");
    const struct {
        std::optional<std::u16string> variable;
        std::u16string message;
    } cases[] = {
        {std::nullopt, u"Cannot start the PDF converter \"pdftotext.exe\": program not found (put Poppler's "
                       u"pdftotext.exe beside the plug-in, in the program's folder or in PATH)"},
        {u"zarbex-no-such-converter",
         u"Cannot start the PDF converter \"zarbex-no-such-converter\": program not found"},
    };
    for (const auto& c : cases) {
        const TScopedVariable converter(u"ZARBEX_PDFTOTEXT", c.variable);
        try {
            ConvertPdfToText("a.pdf", "a.txt", 60s);
            ADD_FAILURE() << "no exception";
        } catch (const EOleSysError& e) {
            EXPECT_EQ(e.Message(), c.message);
            EXPECT_EQ(e.ErrorCode, CO_E_CLASSSTRING);
        }
    }
}

} // namespace
