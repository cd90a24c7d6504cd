// The PDF-to-text converter that stands in for Acrobat's automation server: Poppler's pdftotext, run as a
// child process for each document, so that a crash or a hang in it cannot take the host's process down.
// It writes UTF-8 without a byte-order mark, in layout mode: one line for each row of a table.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

enum class TPdfConversion {
    Converted, // the converter exited with success
    Failed,    // it exited with an error or died: a missing or broken PDF; its output may be missing
    TimedOut,  // it was killed at the time limit; its partial output was deleted
};

// Names the converter program in place of "pdftotext": a file name looked up in PATH, or a path.
inline constexpr const char* PdfToTextVariable = "ZARBEX_PDFTOTEXT";
// A time limit generous for lists of any length that still ends a hung converter.
inline constexpr std::chrono::milliseconds PdfToTextTimeLimit{60'000};

// One conversion running as a child process, started at construction, so that several documents can
// convert while the caller works on another. A converter still running when the object goes is ended.
class TPdfToTextProcess {
public:
    // Starts program on the two paths; raises as ConvertPdfToText does when it cannot be started.
    TPdfToTextProcess(const std::string& pdfPath, const std::string& txtPath, const std::string& program);
    TPdfToTextProcess(const TPdfToTextProcess&) = delete;
    TPdfToTextProcess& operator=(const TPdfToTextProcess&) = delete;
    ~TPdfToTextProcess();

    // Waits for the end; a converter still running timeLimit after its start is killed and its cut
    // output deleted. Only the first call waits; later calls repeat its result.
    TPdfConversion Wait(std::chrono::milliseconds timeLimit);

private:
    std::string txtPath_;
    int pid_ = 0;
    std::chrono::steady_clock::time_point started_;
    bool finished_ = false;
    TPdfConversion result_ = TPdfConversion::Failed;
};

// The converter program: the value of ZARBEX_PDFTOTEXT when set and not empty, else "pdftotext". It is
// run as "program PDF TXT -layout".
std::string PdfToTextProgram();

// Writes the text of the PDF at pdfPath to txtPath with PdfToTextProgram(). A converter that cannot be
// found or started is the case of an automation server that cannot be created, and raises EOleSysError
// naming the program; every failure of the conversion itself is a result, as with Acrobat, where the
// caller simply finds no text file.
TPdfConversion ConvertPdfToText(const std::string& pdfPath, const std::string& txtPath,
                                std::chrono::milliseconds timeLimit);
// The same with the given converter program.
TPdfConversion ConvertPdfToText(const std::string& pdfPath, const std::string& txtPath,
                                std::chrono::milliseconds timeLimit, const std::string& program);
