#include "Platform/Process.h"

#include "Platform/CodePage.h"
#include "Platform/Environment.h"
#include "Platform/ErrorLines.h"
#include "Platform/FileSystem.h"
#include "Platform/Unicode.h"
#include "Platform/win32/ModuleFile.h"
#include "Platform/win32/OwnedHandle.h"
#include "Platform/win32/SystemError.h"
#include "Platform/win32/WideChar.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <limits>
#include <string_view>

namespace {

// Opened so that CreateProcessW can hand it to the child; the handle list keeps any other child of the
// host's from getting it.
SECURITY_ATTRIBUTES InheritableAttributes() {
    return SECURITY_ATTRIBUTES{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
}

TOwnedHandle OpenNul(DWORD access) {
    SECURITY_ATTRIBUTES attributes = InheritableAttributes();
    return TOwnedHandle(CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::string ErrorText(DWORD code) {
    const std::u16string text = SysErrorMessage(code);
    return !text.empty() ? Utf16ToUtf8(text) : "system error " + std::to_string(code);
}

// The child's error stream: its first and last lines are kept for its reason, the rest is read and
// dropped, so that a child with much to say never blocks on a full pipe. An anonymous pipe cannot be read
// with a time limit, so this is a named pipe of our own whose reading end is overlapped: the wait for the
// process and for the next piece of text is one WaitForMultipleObjects.
class TErrorStream {
public:
    TErrorStream() {
        static std::atomic<unsigned> counter{0};
        const std::u16string name =
            u"\\\\.\\pipe\\zarbex-errors-" + Utf8ToUtf16(std::to_string(GetCurrentProcessId())) + u"-" +
            Utf8ToUtf16(std::to_string(++counter)) + u"-" + Utf8ToUtf16(std::to_string(GetTickCount64()));
        // Without a pipe the converter still runs; only its reason is lost.
        FRead.Reset(CreateNamedPipeW(
            WidePtr(name), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
            sizeof FBuffer, 0, nullptr));
        FEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!FRead || !FEvent) {
            FRead.Reset();
            return;
        }
        SECURITY_ATTRIBUTES attributes = InheritableAttributes();
        FWrite.Reset(CreateFileW(WidePtr(name), GENERIC_WRITE, 0, &attributes, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!FWrite)
            FRead.Reset();
    }
    TErrorStream(const TErrorStream&) = delete;
    TErrorStream& operator=(const TErrorStream&) = delete;
    // The buffer and the OVERLAPPED must outlive a pending read.
    ~TErrorStream() { CancelRead(); }

    HANDLE WriteEnd() const { return FWrite.Get(); }
    // After the start: only the child writes, so its end closes the stream.
    void CloseWriteEnd() { FWrite.Reset(); }
    // Signalled when a read has completed; null when nothing is being read.
    HANDLE ReadEvent() const { return FPending ? FEvent.Get() : nullptr; }

    void StartReading() {
        if (FRead && !FPending)
            ReadNext();
    }

    // Takes what has arrived and reads on, without waiting.
    void Collect() {
        while (FPending) {
            DWORD count = 0;
            if (!GetOverlappedResult(FRead.Get(), &FOverlapped, &count, FALSE)) {
                if (GetLastError() == ERROR_IO_INCOMPLETE)
                    return;
                End(); // the child and everything it started closed the stream, or it broke
                return;
            }
            FPending = false;
            FLines.Keep(std::string_view(FBuffer, count));
            ReadNext();
        }
    }

    // After the process ended: what it wrote before is taken; a helper it left behind may hold the
    // stream open, so nothing more is waited for.
    void Finish() {
        Collect();
        while (FPending) {
            CancelIoEx(FRead.Get(), &FOverlapped);
            DWORD count = 0;
            const bool read = GetOverlappedResult(FRead.Get(), &FOverlapped, &count, TRUE) != FALSE;
            FPending = false;
            if (!read) {
                End();
                return;
            }
            FLines.Keep(std::string_view(FBuffer, count)); // the piece had arrived before the cancel
            ReadNext();
        }
    }

    std::vector<std::string> Lines() const {
        std::vector<std::string> lines = FLines.Lines();
        for (std::string& line : lines)
            line = Utf16ToUtf8(ReplaceControlChars(Decode(line)));
        return lines;
    }

private:
    // Poppler's pdftotext writes UTF-8 when its stream is no console; older builds and other programs
    // write the ANSI code page, whose bytes are seldom valid UTF-8.
    static std::u16string Decode(std::string_view text) {
        const bool utf8 = text.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                                              static_cast<int>(text.size()), nullptr, 0) != 0;
        return utf8 ? Utf8ToUtf16(text) : AnsiToUnicode(text);
    }

    void ReadNext() {
        ResetEvent(FEvent.Get());
        FOverlapped = OVERLAPPED{};
        FOverlapped.hEvent = FEvent.Get();
        // Completed at once or not: the result comes through GetOverlappedResult either way.
        if (ReadFile(FRead.Get(), FBuffer, sizeof FBuffer, nullptr, &FOverlapped) ||
            GetLastError() == ERROR_IO_PENDING)
            FPending = true;
        else
            End();
    }

    void CancelRead() {
        if (!FPending)
            return;
        CancelIoEx(FRead.Get(), &FOverlapped);
        DWORD count = 0;
        GetOverlappedResult(FRead.Get(), &FOverlapped, &count, TRUE);
        FPending = false;
    }

    void End() {
        FPending = false;
        FRead.Reset();
    }

    TOwnedHandle FRead;
    TOwnedHandle FWrite;
    TOwnedHandle FEvent;
    OVERLAPPED FOverlapped{};
    bool FPending = false;
    char FBuffer[4096];
    TErrorLines FLines;
};

bool HasFolder(std::u16string_view name) {
    return name.find_first_of(u"\\/:") != std::u16string_view::npos;
}

bool HasExtension(std::u16string_view name) {
    const std::size_t dot = name.rfind(u'.');
    const std::size_t folder = name.find_last_of(u"\\/:");
    return dot != std::u16string_view::npos && (folder == std::u16string_view::npos || dot > folder);
}

// The folder part of a path; empty when it has none.
std::u16string FolderOf(const std::string& file) {
    const std::u16string path = Utf8ToUtf16(file);
    const std::size_t end = path.find_last_of(u"\\/");
    return end == std::u16string::npos ? std::u16string() : path.substr(0, end);
}

// A program named without a folder is looked for beside the module that runs it (where the files of the
// plug-in's package go together), then in the host program's folder, then in the folders of PATH; one
// without an extension is an .exe. Empty when it is nowhere.
std::u16string FindProgram(const std::string& program) {
    std::u16string name = Utf8ToUtf16(program);
    if (!HasExtension(name))
        name += u".exe";
    if (HasFolder(name))
        return name; // CreateProcessW says what is wrong with it
    std::vector<std::u16string> folders{FolderOf(OwnModuleFile()), FolderOf(ExecutableFile())};
    const std::u16string path = Utf8ToUtf16(GetEnvironmentText("PATH"));
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = path.find(u';', start);
        if (end == std::u16string::npos)
            end = path.size();
        std::u16string folder = path.substr(start, end - start);
        // An entry may be quoted, as for a folder name with a semicolon.
        std::erase(folder, u'"');
        if (!folder.empty())
            folders.push_back(std::move(folder));
        start = end + 1;
    }
    for (std::u16string& folder : folders) {
        if (folder.empty())
            continue;
        if (folder.back() != u'\\' && folder.back() != u'/')
            folder += u'\\';
        if (IsFile(Utf16ToUtf8(folder + name)))
            return folder + name;
    }
    return {};
}

// One argument as CommandLineToArgvW and the MSVC runtime read it back: quoted when it is empty or holds
// a blank or a quote, a quote escaped by a backslash, and backslashes doubled only where a quote follows
// them (the closing one included).
void AppendArgument(std::u16string& line, std::u16string_view arg) {
    if (!arg.empty() && arg.find_first_of(u" \t\n\v\"") == std::u16string_view::npos) {
        line += arg;
        return;
    }
    line += u'"';
    std::size_t backslashes = 0;
    for (const char16_t c : arg) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == u'"' ? 2 * backslashes + 1 : backslashes, u'\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, u'\\');
    line += u'"';
}

// The program's own name is read up to the next quote, backslashes as they are: always quoted, since a
// file name holds no quote.
std::u16string CommandLine(const std::vector<std::string>& args) {
    std::u16string line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i == 0) {
            line += u'"' + Utf8ToUtf16(args[0]) + u'"';
            continue;
        }
        line += u' ';
        AppendArgument(line, Utf8ToUtf16(args[i]));
    }
    return line;
}

// The attribute list that names the only handles the child inherits.
class TInheritedHandles {
public:
    explicit TInheritedHandles(std::vector<HANDLE> handles) : FHandles(std::move(handles)) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        FStorage.resize(size);
        FList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(FStorage.data());
        if (!InitializeProcThreadAttributeList(FList, 1, 0, &size)) {
            FList = nullptr;
            return;
        }
        if (!UpdateProcThreadAttribute(FList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, FHandles.data(),
                                       FHandles.size() * sizeof(HANDLE), nullptr, nullptr)) {
            DeleteProcThreadAttributeList(FList);
            FList = nullptr;
        }
    }
    TInheritedHandles(const TInheritedHandles&) = delete;
    TInheritedHandles& operator=(const TInheritedHandles&) = delete;
    ~TInheritedHandles() {
        if (FList != nullptr)
            DeleteProcThreadAttributeList(FList);
    }
    // Null when the list could not be made.
    LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return FList; }

private:
    std::vector<HANDLE> FHandles;
    std::vector<char> FStorage;
    LPPROC_THREAD_ATTRIBUTE_LIST FList = nullptr;
};

// A job that ends every process in it when it is terminated or its last handle closes, and that keeps a
// crashing child from waiting on the system's error report.
// A memoryLimit other than 0 bounds the committed memory of each process in the job.
TOwnedHandle CreateKillingJob(std::uint64_t memoryLimit) {
    TOwnedHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job)
        return job;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    if (memoryLimit != 0) {
        limits.BasicLimitInformation.LimitFlags |= JOB_OBJECT_LIMIT_PROCESS_MEMORY;
        limits.ProcessMemoryLimit =
            static_cast<SIZE_T>(std::min<std::uint64_t>(memoryLimit, std::numeric_limits<SIZE_T>::max()));
    }
    if (!SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
        job.Reset();
    return job;
}

// The standard handles a child gets: the null device for input and output, the error pipe's end.
struct TStandardHandles {
    HANDLE input;
    HANDLE output;
    HANDLE errors;
};

// Starts the program suspended, with its standard handles and no other of ours; false with the reason in
// error.
bool CreateSuspended(const std::u16string& path, const std::vector<std::string>& args,
                     const TStandardHandles& handles, LPPROC_THREAD_ATTRIBUTE_LIST inherited,
                     PROCESS_INFORMATION& created, TProcessStartError& error) {
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = handles.input;
    startup.StartupInfo.hStdOutput = handles.output;
    startup.StartupInfo.hStdError = handles.errors;
    startup.lpAttributeList = inherited;
    std::u16string commandLine = CommandLine(args);
    // Suspended until it is in the job, so that nothing it starts escapes the job.
    if (CreateProcessW(WidePtr(path), WidePtr(commandLine.data()), nullptr, nullptr, TRUE,
                       CREATE_SUSPENDED | CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT |
                           EXTENDED_STARTUPINFO_PRESENT,
                       nullptr, nullptr, &startup.StartupInfo, &created))
        return true;
    const DWORD code = GetLastError();
    error.NotFound = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
    error.Reason = ErrorText(code);
    return false;
}

} // namespace

struct TChildProcess::TImpl {
    TErrorStream errors;
    TOutputLimit output;
    TOwnedHandle job;
    TOwnedHandle process;
    bool finished = false;
    TEnd end = TEnd::Failed;

    // Ends the child and everything it started, and waits until the child is gone.
    void Kill() {
        TerminateJobObject(job.Get(), 1);
        WaitForSingleObject(process.Get(), INFINITE);
    }

    enum class TWaited { Ended, Deadline, OutputFull };

    TWaited WaitFor(TickClock::time_point deadline) {
        for (;;) {
            errors.Collect();
            if (WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0) {
                errors.Finish();
                return TWaited::Ended;
            }
            if (output.Bytes != 0 && OutputSize() > output.Bytes)
                return TWaited::OutputFull;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - TickClock::now());
            if (left.count() <= 0)
                return TWaited::Deadline;
            // The output's size is looked at every tenth of a second while there is a limit to keep.
            const HANDLE events[2] = {process.Get(), errors.ReadEvent()};
            const std::int64_t slice = output.Bytes != 0 ? 100 : 60'000;
            const DWORD wait = static_cast<DWORD>(std::min<std::int64_t>(left.count(), slice));
            if (WaitForMultipleObjects(events[1] != nullptr ? 2 : 1, events, FALSE, wait) == WAIT_FAILED)
                Sleep(10);
        }
    }

    // The output file's size now, from the file itself (a directory entry lags behind a file being
    // written); 0 while it is not there.
    std::uint64_t OutputSize() const {
        const TOwnedHandle file(CreateFileW(WidePtr(Utf8ToUtf16(output.Path)), FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size{};
        return file && GetFileSizeEx(file.Get(), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
    }
};

TChildProcess::TChildProcess(std::unique_ptr<TImpl> impl) : FImpl(std::move(impl)) {}

std::unique_ptr<TChildProcess> TChildProcess::Start(const std::string& program,
                                                    const std::vector<std::string>& args,
                                                    TProcessStartError& error, std::uint64_t memoryLimit,
                                                    TOutputLimit outputLimit) {
    const std::u16string path = FindProgram(program);
    if (path.empty()) {
        error.NotFound = true;
        error.Reason = ErrorText(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }

    auto impl = std::make_unique<TImpl>();
    impl->output = std::move(outputLimit);
    impl->job = CreateKillingJob(memoryLimit);
    if (!impl->job) {
        error.Reason = "cannot make a job object for the program: " + ErrorText(GetLastError());
        return nullptr;
    }
    const TOwnedHandle input = OpenNul(GENERIC_READ);
    const TOwnedHandle output = OpenNul(GENERIC_WRITE);
    if (!input || !output) {
        error.Reason = "cannot open the null device for the program: " + ErrorText(GetLastError());
        return nullptr;
    }
    const HANDLE errors = impl->errors.WriteEnd() != nullptr ? impl->errors.WriteEnd() : output.Get();
    std::vector<HANDLE> inherited{input.Get(), output.Get()};
    if (errors != output.Get())
        inherited.push_back(errors);
    const TInheritedHandles handleList(inherited);
    if (handleList.Get() == nullptr) {
        error.Reason = "cannot limit the handles the program inherits: " + ErrorText(GetLastError());
        return nullptr;
    }

    PROCESS_INFORMATION created{};
    if (!CreateSuspended(path, args, {input.Get(), output.Get(), errors}, handleList.Get(), created, error))
        return nullptr;
    impl->process.Reset(created.hProcess);
    const TOwnedHandle thread(created.hThread);
    if (!AssignProcessToJobObject(impl->job.Get(), impl->process.Get())) {
        error.Reason = "cannot put the program in a job object: " + ErrorText(GetLastError());
        TerminateProcess(impl->process.Get(), 1);
        WaitForSingleObject(impl->process.Get(), INFINITE);
        return nullptr;
    }
    ResumeThread(thread.Get());
    impl->errors.CloseWriteEnd();
    impl->errors.StartReading();
    return std::unique_ptr<TChildProcess>(new TChildProcess(std::move(impl)));
}

TChildProcess::~TChildProcess() {
    if (!FImpl->finished)
        FImpl->Kill();
}

TChildProcess::TEnd TChildProcess::Wait(TickClock::time_point deadline) {
    if (FImpl->finished)
        return FImpl->end;
    const TImpl::TWaited waited = FImpl->WaitFor(deadline);
    if (waited != TImpl::TWaited::Ended) {
        FImpl->Kill();
        FImpl->errors.Finish();
        FImpl->end = waited == TImpl::TWaited::Deadline ? TEnd::TimedOut : TEnd::OutputFull;
    } else {
        // A child that wrote past the limit between two looks at its output and then ended gave too much
        // text all the same.
        DWORD code = 1;
        FImpl->end = FImpl->output.Bytes != 0 && FImpl->OutputSize() > FImpl->output.Bytes ? TEnd::OutputFull
                     : GetExitCodeProcess(FImpl->process.Get(), &code) && code == 0        ? TEnd::Succeeded
                                                                                           : TEnd::Failed;
    }
    FImpl->finished = true;
    return FImpl->end;
}

std::vector<std::string> TChildProcess::ErrorLines() const {
    return FImpl->errors.Lines();
}
