#include "Includes/PdfToText.h"

#include "Platform/Environment.h"
#include "Platform/FileSystem.h"
#include "Platform/QuantityText.h"
#include "Platform/Unicode.h"
#include "PluginAPI/SysUtils.h"

#include <optional>
#include <string_view>
#include <vector>

namespace {

#if !defined(_WIN32)
// COM's codes for a server whose class is unknown and for one that failed to start: the codes the
// automation server's creation fails with on Windows, where the system's headers define them.
constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3u);
constexpr HRESULT CO_E_SERVER_EXEC_FAILURE = static_cast<HRESULT>(0x80080005u);
#endif
#if defined(_WIN32)
// Looked for beside the host's program, then in PATH.
constexpr const char* DefaultProgram = "pdftotext.exe";
constexpr const char16_t* InstallHint =
    u" (put Poppler's pdftotext.exe beside the plug-in, in the program's folder or in PATH)";
#else
constexpr const char* DefaultProgram = "pdftotext";
constexpr const char16_t* InstallHint = u" (install poppler-utils)";
#endif

// pdftotext would read a path that starts with '-' as an option.
std::string AsArgument(const std::string& path) {
    return path.starts_with('-') ? "./" + path : path;
}

[[noreturn]] void RaiseCannotStart(const std::string& program, const TProcessStartError& error) {
    if (error.NotFound) {
        const UnicodeString hint = program == DefaultProgram ? InstallHint : u"";
        throw EOleSysError(Format(u"Cannot start the PDF converter \"%s\": program not found%s",
                                  Utf8ToString(program), hint),
                           CO_E_CLASSSTRING, 0);
    }
    throw EOleSysError(Format(u"Cannot start the PDF converter \"%s\": %s", Utf8ToString(program),
                              Utf8ToString(error.Reason)),
                       CO_E_SERVER_EXEC_FAILURE, 0);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// pdftotext writes every byte outside printable ASCII as "<hh>": a file name in Cyrillic, a line end
// at the end of its message. The bytes come back, a line end at the end goes, and what is left is shown
// as any other line of the converter's (control characters as U+FFFD).
std::string DecodeEscapes(const std::string& line) {
    std::string bytes;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '<' && i + 3 < line.size() && line[i + 3] == '>' && HexDigit(line[i + 1]) >= 0 &&
            HexDigit(line[i + 2]) >= 0) {
            bytes.push_back(static_cast<char>(HexDigit(line[i + 1]) * 16 + HexDigit(line[i + 2])));
            i += 3;
        } else {
            bytes.push_back(line[i]);
        }
    }
    while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r' || bytes.back() == ' '))
        bytes.pop_back();
    return Utf16ToUtf8(ReplaceControlChars(Utf8ToUtf16(bytes)));
}

bool Holds(const std::string& line, std::string_view text) {
    return line.find(text) != std::string::npos;
}

// Poppler names a stream filter it lacks ("Unknown filter 'BrotliDecode'"): the name, or nothing.
std::optional<std::string> UnknownFilter(const std::string& line) {
    constexpr std::string_view Start = "Unknown filter '";
    const std::size_t at = line.find(Start);
    if (at == std::string::npos)
        return std::nullopt;
    const std::size_t name = at + Start.size();
    return line.substr(name, line.find('\'', name) - name);
}

// How much a line of the converter's says about why it failed. Poppler names a message's kind before a
// colon: "Syntax Warning", "Syntax Error (1234)", "Internal Error", "I/O Error", "Command Line Error".
int Weight(const std::string& line) {
    // The causes the user can be told plainly.
    if (Holds(line, "Incorrect password") || Holds(line, "Out of memory") || Holds(line, "bad_alloc") ||
        UnknownFilter(line))
        return 4;
    // A warning, or a notice that it works around a fault: the document may still be read after it.
    if (Holds(line, "Warning") || Holds(line, "reconstruct") || Holds(line, "continuing anyway"))
        return 0;
    // What poppler calls its command line is the one we gave it: such a line follows from an earlier
    // fault ("Wrong page range given" for a document without readable pages).
    if (line.starts_with("Command Line Error"))
        return 1;
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos && Holds(line.substr(0, colon), "Error"))
        return 3;
    return 2; // words of another kind, as a stand-in converter's or a crash's
}

// Of the lines a converter wrote on its error stream, the one that says why it failed: a failure the user
// can be told (a password, memory) over an error, an error over other words, those over a warning or a
// notice that it works around a fault ("try to reconstruct", "continuing anyway"); the last of equal
// weight. Without its line end, control characters shown as U+FFFD (UTF-8), pdftotext's escapes ("<0a>")
// decoded and without the "Command Line Error: " poppler gives to what it takes for a user's mistake.
// Empty when no line says anything.
std::string ChooseErrorLine(const std::vector<std::string>& lines) {
    std::string chosen;
    int chosenWeight = -1;
    for (const std::string& written : lines) {
        const std::string line = DecodeEscapes(written);
        if (line.empty())
            continue;
        const int weight = Weight(line);
        if (weight >= chosenWeight) { // the last of equal weight: the failure comes after its causes
            chosen = line;
            chosenWeight = weight;
        }
    }
    constexpr std::string_view CommandLine = "Command Line Error: ";
    if (chosen.starts_with(CommandLine))
        chosen.erase(0, CommandLine.size());
    return chosen;
}

// Our reason first, in the user's words; the converter's own line follows as a detail.
void Explain(TPdfConversionResult& result, const std::string& pdfPath, std::chrono::milliseconds timeLimit,
             std::uint64_t outputLimit) {
    std::string reason;
    if (result.Outcome == TPdfConversion::TooLarge) {
        result.Failure = TPdfFailure::OutputLimit;
        reason = "the text of \"" + pdfPath + "\" is larger than " + RoundSizeText(outputLimit);
    } else if (result.Outcome == TPdfConversion::TimedOut) {
        result.Failure = TPdfFailure::TimeLimit;
        reason =
            "the PDF converter took longer than the limit of " + DurationText(timeLimit) + " and was stopped";
    } else if (result.ErrorLine.find("Out of memory") != std::string::npos ||
               result.ErrorLine.find("bad_alloc") != std::string::npos) {
        // Poppler says "Out of memory" when an allocation fails, C++ names std::bad_alloc.
        result.Failure = TPdfFailure::MemoryLimit;
        reason = "the PDF converter needed more memory than its limit of " +
                 ApproximateSizeText(PdfToTextMemoryLimit) + " and was stopped";
    } else if (!StartsAsPdf(pdfPath)) {
        result.Failure = TPdfFailure::NotPdf;
        reason = "it is not a PDF";
    } else if (result.ErrorLine.find("Incorrect password") != std::string::npos) {
        result.Failure = TPdfFailure::Password;
        reason = "it is protected by a password";
    } else if (const std::optional<std::string> filter = UnknownFilter(result.ErrorLine)) {
        // The filter's name says all the converter's line says.
        result.Failure = TPdfFailure::Compression;
        result.Reason = "it uses a compression that the PDF converter cannot read (" + *filter + ")";
        return;
    } else if (!result.ErrorLine.empty()) {
        result.Failure = TPdfFailure::Damaged;
        reason = "it is damaged";
    } else {
        result.Failure = TPdfFailure::Unexplained;
        reason = "the PDF converter failed without giving a reason";
    }
    if (!result.ErrorLine.empty())
        reason += " (the PDF converter reported \"" + result.ErrorLine + "\")";
    result.Reason = reason;
}

} // namespace

bool HoldsPdfHeader(std::string_view head) {
    return head.substr(0, PdfHeaderSearchSize).find("%PDF-") != std::string_view::npos;
}

bool StartsAsPdf(const std::string& path) {
    return HoldsPdfHeader(ReadFileStart(path, PdfHeaderSearchSize).value_or(std::string()));
}

std::string PdfToTextProgram() {
    const std::string program = GetEnvironmentText(PdfToTextVariable);
    return !program.empty() ? program : DefaultProgram;
}

TPdfConversionResult ConvertPdfToText(const std::string& pdfPath, const std::string& txtPath,
                                      std::chrono::milliseconds timeLimit) {
    return ConvertPdfToText(pdfPath, txtPath, timeLimit, PdfToTextProgram());
}

TPdfToTextProcess::TPdfToTextProcess(const std::string& pdfPath, const std::string& txtPath,
                                     const std::string& program, std::uint64_t outputLimit)
    : FPdfPath(pdfPath), FTxtPath(txtPath), FOutputLimit(outputLimit) {
    // Layout mode writes a table's row as one line, as Acrobat's plain text does, so the run's per-line
    // work and progress follow the list's rows. The mode comes last: a stand-in converter still finds
    // the two paths first.
    TProcessStartError error;
    FProcess = TChildProcess::Start(program, {program, AsArgument(pdfPath), AsArgument(txtPath), "-layout"},
                                    error, PdfToTextMemoryLimit, {txtPath, outputLimit});
    if (!FProcess)
        RaiseCannotStart(program, error);
    FStarted = TickClock::now();
}

TPdfToTextProcess::~TPdfToTextProcess() = default;

TPdfConversionResult TPdfToTextProcess::Wait(std::chrono::milliseconds timeLimit) {
    if (FFinished)
        return FResult;
    switch (FProcess->Wait(FStarted + timeLimit)) {
    case TChildProcess::TEnd::Succeeded:
        FResult.Outcome = TPdfConversion::Converted;
        break;
    case TChildProcess::TEnd::Failed:
        FResult.Outcome = TPdfConversion::Failed;
        break;
    case TChildProcess::TEnd::TimedOut:
        DeleteFileQuietly(FTxtPath); // a killed converter leaves a cut text behind
        FResult.Outcome = TPdfConversion::TimedOut;
        break;
    case TChildProcess::TEnd::OutputFull:
        DeleteFileQuietly(FTxtPath);
        FResult.Outcome = TPdfConversion::TooLarge;
        break;
    }
    FResult.ErrorLine = ChooseErrorLine(FProcess->ErrorLines());
    // Pages whose streams use a filter the converter lacks come out empty although it succeeds: the
    // text is not the list's.
    if (FResult.Outcome == TPdfConversion::Converted && UnknownFilter(FResult.ErrorLine)) {
        DeleteFileQuietly(FTxtPath);
        FResult.Outcome = TPdfConversion::Failed;
    }
    if (FResult.Outcome != TPdfConversion::Converted)
        Explain(FResult, FPdfPath, timeLimit, FOutputLimit);
    FFinished = true;
    return FResult;
}

TPdfConversionResult ConvertPdfToText(const std::string& pdfPath, const std::string& txtPath,
                                      std::chrono::milliseconds timeLimit, const std::string& program) {
    return TPdfToTextProcess(pdfPath, txtPath, program).Wait(timeLimit);
}
