#include "Includes/PdfToText.h"

#include "Platform/Environment.h"
#include "Platform/FileSystem.h"
#include "PluginAPI/SysUtils.h"

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
constexpr const char16_t* InstallHint = u" (put Poppler's pdftotext.exe beside the plug-in, in the program's folder or in PATH)";
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

} // namespace

std::string PdfToTextProgram() {
    const std::string program = GetEnvironmentText(PdfToTextVariable);
    return !program.empty() ? program : DefaultProgram;
}

TPdfConversionResult ConvertPdfToText(const std::string& pdfPath, const std::string& txtPath,
                                      std::chrono::milliseconds timeLimit) {
    return ConvertPdfToText(pdfPath, txtPath, timeLimit, PdfToTextProgram());
}

TPdfToTextProcess::TPdfToTextProcess(const std::string& pdfPath, const std::string& txtPath,
                                     const std::string& program)
    : txtPath_(txtPath) {
    // Layout mode writes a table's row as one line, as Acrobat's plain text does, so the run's per-line
    // work and progress follow the list's rows. The mode comes last: a stand-in converter still finds
    // the two paths first.
    TProcessStartError error;
    process_ =
        TChildProcess::Start(program, {program, AsArgument(pdfPath), AsArgument(txtPath), "-layout"}, error);
    if (!process_)
        RaiseCannotStart(program, error);
    started_ = TickClock::now();
}

TPdfToTextProcess::~TPdfToTextProcess() = default;

TPdfConversionResult TPdfToTextProcess::Wait(std::chrono::milliseconds timeLimit) {
    if (finished_)
        return result_;
    switch (process_->Wait(started_ + timeLimit)) {
    case TChildProcess::TEnd::Succeeded:
        result_.Outcome = TPdfConversion::Converted;
        break;
    case TChildProcess::TEnd::Failed:
        result_.Outcome = TPdfConversion::Failed;
        break;
    case TChildProcess::TEnd::TimedOut:
        DeleteFileQuietly(txtPath_); // a killed converter leaves a cut text behind
        result_.Outcome = TPdfConversion::TimedOut;
        break;
    }
    result_.ErrorLine = process_->FirstErrorLine();
    finished_ = true;
    return result_;
}

TPdfConversionResult ConvertPdfToText(const std::string& pdfPath, const std::string& txtPath,
                                      std::chrono::milliseconds timeLimit, const std::string& program) {
    return TPdfToTextProcess(pdfPath, txtPath, program).Wait(timeLimit);
}
