// The PDF-to-text converter that stands in for Acrobat's automation server: Poppler's pdftotext, run as a
// child process for each document, so that a crash or a hang in it cannot take the host's process down.
// It writes UTF-8 without a byte-order mark, in layout mode: one line for each row of a table.
#pragma once

#include "Platform/Process.h"
#include "Platform/TickCount.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

enum class TPdfConversion {
    Converted, // the converter exited with success
    Failed,    // it exited with an error or died: a missing or broken PDF; its output may be missing
    TimedOut,  // it was killed at the time limit; its partial output was deleted
    TooLarge,  // it was stopped when its output passed the output limit; its partial output was deleted
};

// What was wrong with a document that did not convert, as far as it can be told.
enum class TPdfFailure {
    None,        // it converted
    NotPdf,      // the file does not start as a PDF does
    Password,    // it cannot be opened without its password
    Damaged,     // it starts as a PDF but the converter cannot read it
    Compression, // it uses a compression (a filter) that the converter does not have
    TimeLimit,   // the converter ran into the time limit
    MemoryLimit, // the converter ran out of the memory it may take
    OutputLimit, // the converter wrote more text than it may
    Unexplained, // the converter failed and said nothing we recognise
};

struct TPdfConversionResult {
    TPdfConversion Outcome = TPdfConversion::Failed;
    TPdfFailure Failure = TPdfFailure::None;
    // The line of the converter's error stream that says why it failed (a failure it can name over an error,
    // an error over a warning): its own words, such as "Syntax Error: Couldn't read xref table". Empty when
    // it wrote none.
    std::string ErrorLine;
    // Why the conversion failed in the user's words, the converter's line after them as a detail
    // ("it is not a PDF", then the converter's line in brackets); empty when it converted.
    std::string Reason;
};

// Readers look for a PDF's "%PDF-" header in the first KiB of the file, not only at its first byte.
inline constexpr std::size_t PdfHeaderSearchSize = 1024;
// True when head, a file's first bytes, holds the header within PdfHeaderSearchSize.
bool HoldsPdfHeader(std::string_view head);
// True when the file at path holds the header there.
bool StartsAsPdf(const std::string& path);

// Names the converter program in place of "pdftotext": a file name looked up in PATH, or a path.
inline constexpr const char* PdfToTextVariable = "ZARBEX_PDFTOTEXT";
// A time limit generous for lists of any length that still ends a hung converter.
inline constexpr std::chrono::milliseconds PdfToTextTimeLimit{60'000};
// The most memory one converter may take: far more than any list needs, yet a document that would make
// it grow without end cannot take the user's machine with it.
inline constexpr std::uint64_t PdfToTextMemoryLimit = std::uint64_t{1} << 30;
// The most text one conversion may write: far above any real list (about 1 MB of text), yet a document
// that repeats its pages without end neither fills the disk nor keeps the run busy for long.
inline constexpr std::uint64_t PdfToTextOutputLimit = std::uint64_t{64} << 20;

// The limits of one conversion.
struct TPdfConversionLimits {
    std::chrono::milliseconds Time = PdfToTextTimeLimit;
    std::uint64_t Output = PdfToTextOutputLimit;
};

// One conversion running as a child process, started at construction, so that several documents can
// convert while the caller works on another. A converter still running when the object goes is ended.
class TPdfToTextProcess {
public:
    // Starts program on the two paths, its text held to outputLimit bytes; raises as ConvertPdfToText
    // does when it cannot be started.
    TPdfToTextProcess(const std::string& pdfPath, const std::string& txtPath, const std::string& program,
                      std::uint64_t outputLimit = PdfToTextOutputLimit);
    TPdfToTextProcess(const TPdfToTextProcess&) = delete;
    TPdfToTextProcess& operator=(const TPdfToTextProcess&) = delete;
    ~TPdfToTextProcess();

    // Waits for the end; a converter still running timeLimit after its start is killed and its cut
    // output deleted. Only the first call waits; later calls repeat its result.
    TPdfConversionResult Wait(std::chrono::milliseconds timeLimit);

private:
    std::string FPdfPath;
    std::string FTxtPath;
    std::uint64_t FOutputLimit;
    std::unique_ptr<TChildProcess> FProcess;
    TickClock::time_point FStarted;
    bool FFinished = false;
    TPdfConversionResult FResult;
};

// The converter program: the value of ZARBEX_PDFTOTEXT when set and not empty, else "pdftotext". It is
// run as "program PDF TXT -layout".
std::string PdfToTextProgram();

// Writes the text of the PDF at pdfPath to txtPath with PdfToTextProgram(). A converter that cannot be
// found or started is the case of an automation server that cannot be created, and raises EOleSysError
// naming the program; every failure of the conversion itself is a result, as with Acrobat, where the
// caller simply finds no text file.
TPdfConversionResult ConvertPdfToText(const std::string& pdfPath, const std::string& txtPath,
                                      std::chrono::milliseconds timeLimit);
// The same with the given converter program.
TPdfConversionResult ConvertPdfToText(const std::string& pdfPath, const std::string& txtPath,
                                      std::chrono::milliseconds timeLimit, const std::string& program);
