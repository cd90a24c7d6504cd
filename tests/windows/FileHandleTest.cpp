// Files opened by their wide paths, with the sharing the plug-in asks for.
#include "Includes/win32/FileHandle.h"

#include "Platform/win32/WideChar.h"
#include "PluginAPI/SysUtils.h"
#include "tests/windows/TestFolder.h"

#include <gtest/gtest.h>

namespace {

HANDLE OpenRaw(const std::u16string& path, DWORD access, DWORD share) {
    return CreateFileW(WidePtr(path), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(FileHandle, WritesAndReadsBackAFileWhoseNameTheAnsiCodePageCannotWrite) {
    TTestFolder folder;
    const std::u16string path = folder / u"\u0421\u043F\u0438\u0441\u043E\u043A \u0423\u0420.txt";
    std::string bytes(300000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    CreateFileForWriting(path).WriteAll(bytes, path);
    EXPECT_EQ(OpenFileForReading(path).ReadToEnd(path), bytes);
    // Writing again replaces the content.
    CreateFileForWriting(path).WriteAll("short", path);
    EXPECT_EQ(OpenFileForReading(path).ReadToEnd(path), "short");
}

TEST(FileHandle, ReadingShutsOutWritersButNotOtherReaders) {
    TTestFolder folder;
    const std::u16string path = folder / u"list.txt";
    WriteFile(path, "UR5ABC");
    {
        TFileHandle reading = OpenFileForReading(path);

        const HANDLE writer = OpenRaw(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
        EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        if (writer != INVALID_HANDLE_VALUE)
            CloseHandle(writer);

        EXPECT_EQ(OpenFileForReading(path).ReadToEnd(path), "UR5ABC");
    }
    // Closed with its holder: a writer gets in now.
    const HANDLE writer = OpenRaw(path, GENERIC_WRITE, 0);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE);
    CloseHandle(writer);
}

TEST(FileHandle, AFileBeingWrittenCannotBeOpenedForReading) {
    TTestFolder folder;
    const std::u16string path = folder / u"download.tmp";
    TFileHandle writing = CreateFileForWriting(path);
    EXPECT_THROW(OpenFileForReading(path), EFOpenError);
}

TEST(FileHandle, FailuresNameTheFileAndTheSystemReason) {
    TTestFolder folder;
    const std::u16string missing = folder / u"File0001.txt";
    try {
        OpenFileForReading(missing);
        FAIL() << "no exception";
    } catch (const EFOpenError& e) {
        const std::u16string start = u"Cannot open file \"" + missing + u"\". ";
        EXPECT_EQ(e.Message().rfind(start, 0), 0u) << e.what();
        EXPECT_GT(e.Message().size(), start.size()) << "the system's reason is missing";
    }
    const std::u16string inMissingFolder = folder / u"no folder\\File0001.pdf";
    EXPECT_THROW(CreateFileForWriting(inMissingFolder), EFCreateError);
}

} // namespace
