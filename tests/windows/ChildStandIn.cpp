// A console program the child-process tests start: what it does is chosen by its first argument.
//   exit N              exits with N
//   line                writes a line with an escape character and a second line to stderr, exits 3
//   flood               writes a megabyte of lines to stderr, exits 1
//   utf8                writes a Cyrillic line to stderr, exits 0
//   echo FILE ARGS...   writes the arguments after FILE, as CommandLineToArgvW and as the C runtime read
//                       them, and the kinds of its three std handles to FILE (UTF-8), exits 0
//   hang FILE           starts a copy of itself that sleeps, says "waiting" on stderr, writes
//                       "CHILD GRANDCHILD" (process ids) to FILE once the sleeper runs, and sleeps
//   leave FILE          starts the sleeper, writes the ids once it runs and exits 0 at once, leaving the
//                       sleeper behind
//   sleep [EVENT]       sets the named event, if given, and sleeps for ten minutes
//   commit MIB          commits MIB mebibytes of memory: on success says "committed" and exits 0; when the
//                       system refuses, says "Out of memory" as poppler does and exits 1
//   joblimit FILE       writes the memory limit of the job it runs in, as the job reports it to its own
//                       processes, to FILE: "limit N" (bytes) or "no limit", or "no job"
// Started as a PDF converter ("PDF TXT -layout") it copies PDF to TXT and exits 0, or, when the PDF's name
// holds "hang", says so on stderr, writes part of TXT and sleeps; when it holds "refuse", it says as
// pdftotext does that it cannot read the document (a line end escaped as "<0a>") and exits 1; when it
// holds "rebuild", it warns and says it rebuilds the file before it fails, as pdftotext does for a
// broken cross-reference table, with a flood of warnings between; when it holds "starved", it warns and
// says "Out of memory" as poppler does when the system refuses it memory, and exits 3 as poppler's abort
// does; when it holds "memory", it commits two gibibytes, as "commit" does, before it copies; when it
// holds "grow", it writes lines to TXT without end, as a document whose pages repeat for ever.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.pop_back();
    return out;
}

void WriteTo(HANDLE handle, const std::string& text) {
    DWORD written = 0;
    WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void WriteFileAt(const wchar_t* path, const std::string& text) {
    const HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    WriteTo(file, text);
    CloseHandle(file);
}

std::string HandleKind(DWORD which) {
    switch (GetFileType(GetStdHandle(which))) {
    case FILE_TYPE_CHAR:
        return "char";
    case FILE_TYPE_PIPE:
        return "pipe";
    case FILE_TYPE_DISK:
        return "disk";
    default:
        return "none";
    }
}

// Starts "<this program> sleep EVENT", inheriting nothing, and gives its process id once the sleeper runs
// its own code, 0 when it does not. A process is still being set up when CreateProcessW returns (Wine
// starts its console host then): a test that ends the family before would end it half-made, and Wine
// leaves such a process's parts running outside the job.
DWORD StartSleeper() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring event = L"zarbex-sleeper-" + std::to_wstring(GetCurrentProcessId());
    const HANDLE running = CreateEventW(nullptr, TRUE, FALSE, event.c_str());
    if (running == nullptr)
        return 0;
    std::wstring line = L"\"" + std::wstring(self) + L"\" sleep " + event;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created{};
    DWORD id = 0;
    if (CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                       &startup, &created)) {
        const HANDLE both[2] = {running, created.hProcess};
        if (WaitForMultipleObjects(2, both, FALSE, 60'000) == WAIT_OBJECT_0)
            id = created.dwProcessId;
        CloseHandle(created.hThread);
        CloseHandle(created.hProcess);
    }
    CloseHandle(running);
    return id;
}

// Commits mebibytes of memory and touches none of it, so that an allowed commit costs nothing.
int Commit(HANDLE errors, std::uint64_t mebibytes) {
    void* memory =
        VirtualAlloc(nullptr, static_cast<SIZE_T>(mebibytes << 20), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (memory == nullptr) {
        WriteTo(errors, "Out of memory\n");
        return 1;
    }
    VirtualFree(memory, 0, MEM_RELEASE);
    return 0;
}

int Grow(const wchar_t* path) {
    const HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string lines;
    while (lines.size() < 16 * 1024)
        lines += "UR5ABC Ivan Kyiv\r\n";
    for (;;) {
        DWORD written = 0;
        if (!WriteFile(file, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr))
            return 1;
        Sleep(1);
    }
}

std::string JobLimit() {
    BOOL inJob = FALSE;
    if (!IsProcessInJob(GetCurrentProcess(), nullptr, &inJob) || !inJob)
        return "no job";
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    // A null job handle is the job of the calling process.
    if (!QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &limits, sizeof limits,
                                   nullptr))
        return "query failed " + std::to_string(GetLastError());
    char flags[16];
    std::snprintf(flags, sizeof flags, "%#lx",
                  static_cast<unsigned long>(limits.BasicLimitInformation.LimitFlags));
    return std::string("flags ") + flags + " limit " + std::to_string(limits.ProcessMemoryLimit);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const HANDLE errors = GetStdHandle(STD_ERROR_HANDLE);
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (argc == 4 && std::wstring(argv[3]) == L"-layout") {
        if (std::wstring(argv[1]).find(L"hang") != std::wstring::npos) {
            WriteTo(errors, "Error: waiting for fonts\n");
            WriteFileAt(argv[2], "UR5ABC");
            Sleep(600'000);
            return 1;
        }
        if (std::wstring(argv[1]).find(L"rebuild") != std::wstring::npos) {
            std::string lines = "Syntax Warning: May not be a PDF file (continuing anyway)\r\n"
                                "Internal Error: xref num 1 not found but needed, try to reconstruct<0a>\r\n";
            while (lines.size() < 1'000'000)
                lines += "Syntax Warning: Invalid XRef entry 1\r\n";
            lines += "Syntax Error: Couldn't read page catalog\r\n"
                     "Internal Error: xref num 1 not found but needed, try to reconstruct<0a>\r\n";
            WriteTo(errors, lines);
            return 1;
        }
        if (std::wstring(argv[1]).find(L"starved") != std::wstring::npos) {
            WriteTo(errors, "Syntax Warning: Invalid Font Weight\r\nOut of memory\r\n");
            return 3;
        }
        if (std::wstring(argv[1]).find(L"memory") != std::wstring::npos && Commit(errors, 2048) != 0)
            return 1;
        if (std::wstring(argv[1]).find(L"grow") != std::wstring::npos)
            return Grow(argv[2]);
        if (std::wstring(argv[1]).find(L"refuse") != std::wstring::npos) {
            WriteTo(errors, "Syntax Error: Couldn't read xref table<0a>\r\n");
            return 1;
        }
        return CopyFileW(argv[1], argv[2], FALSE) ? 0 : 1;
    }
    if (mode == L"exit" && argc > 2)
        return _wtoi(argv[2]);
    if (mode == L"line") {
        WriteTo(errors, "bad \x1b[31mred\r\nsecond\n");
        return 3;
    }
    if (mode == L"flood") {
        std::string lines;
        while (lines.size() < 1'000'000)
            lines += "Syntax Error: bad object\n";
        WriteTo(errors, lines);
        return 1;
    }
    if (mode == L"utf8") {
        WriteTo(
            errors,
            "\xD0\x9F\xD0\xBE\xD0\xBC\xD0\xB8\xD0\xBB\xD0\xBA\xD0\xB0: \xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB\n");
        return 0;
    }
    if (mode == L"echo" && argc > 2) {
        std::string out;
        int count = 0;
        wchar_t** parsed = CommandLineToArgvW(GetCommandLineW(), &count);
        for (int i = 3; i < count; ++i)
            out += "shell:" + Utf8(parsed[i]) + "\n";
        LocalFree(parsed);
        for (int i = 3; i < argc; ++i)
            out += "crt:" + Utf8(argv[i]) + "\n";
        char byte = 0;
        DWORD read = 1;
        const bool inputRead = ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &read, nullptr) != FALSE;
        out += "stdin:" + HandleKind(STD_INPUT_HANDLE) + (inputRead && read == 0 ? " empty" : " not empty") +
               "\n";
        out += "stdout:" + HandleKind(STD_OUTPUT_HANDLE) + "\n";
        out += "stderr:" + HandleKind(STD_ERROR_HANDLE) + "\n";
        WriteFileAt(argv[2], out);
        return 0;
    }
    if ((mode == L"hang" || mode == L"leave") && argc > 2) {
        const DWORD grandchild = StartSleeper();
        if (mode == L"hang")
            WriteTo(errors, "waiting\n");
        WriteFileAt(argv[2], std::to_string(GetCurrentProcessId()) + " " + std::to_string(grandchild));
        if (mode == L"leave")
            return 0;
        Sleep(600'000);
        return 1;
    }
    if (mode == L"sleep") {
        if (argc > 2) {
            if (const HANDLE running = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2])) {
                SetEvent(running);
                CloseHandle(running);
            }
        }
        Sleep(600'000);
        return 0;
    }
    if (mode == L"commit" && argc > 2) {
        if (Commit(errors, static_cast<std::uint64_t>(_wtoi64(argv[2]))) != 0)
            return 1;
        WriteTo(errors, "committed\n");
        return 0;
    }
    if (mode == L"joblimit" && argc > 2) {
        WriteFileAt(argv[2], JobLimit());
        return 0;
    }
    WriteTo(errors, "unknown mode\n");
    return 2;
}
