// Stands in for pdftotext, which is not built for Windows here: called as the run calls the converter
// (PROGRAM INPUT OUTPUT -layout), it writes the text of INPUT, a list the test prepared as text, to
// OUTPUT. Exit status 0 when written, 1 with a reason on the error stream when not.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fputs("usage: pdftotext-standin INPUT OUTPUT [-layout]\n", stderr);
        return 1;
    }
    if (!CopyFileW(argv[1], argv[2], FALSE)) {
        std::fprintf(stderr, "cannot write the text to the output file: system error %lu\n", GetLastError());
        return 1;
    }
    return 0;
}
