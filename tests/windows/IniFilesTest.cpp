// The settings store on Windows: wide paths, the file's encoding, mark and line ends kept, every other
// line byte for byte, the replacement in one step, and the read-only attribute respected.
#include "Includes/IniFiles.h"

#include "Platform/CodePage.h"
#include "Platform/win32/WideChar.h"
#include "PluginAPI/SysUtils.h"
#include "tests/windows/TestFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;

enum class Mark { None, Utf8, Utf16LE, Utf16BE };

// The file a host would have written: text with '\n' standing for the line end, in the encoding. Without
// a mark it is the ANSI code page's.
std::string Encoded(std::u16string_view text, Mark mark, std::u16string_view lineEnd) {
    std::u16string lines;
    for (const char16_t c : text) {
        if (c == u'\n')
            lines += lineEnd;
        else
            lines.push_back(c);
    }
    switch (mark) {
    case Mark::None:
        return UnicodeToAnsi(lines);
    case Mark::Utf8:
        return "\xEF\xBB\xBF" + StringToUtf8(lines);
    default: {
        std::string bytes = mark == Mark::Utf16LE ? "\xFF\xFE" : "\xFE\xFF";
        for (const char16_t c : lines) {
            const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
            bytes += mark == Mark::Utf16LE ? std::string{low, high} : std::string{high, low};
        }
        return bytes;
    }
    }
}

std::vector<std::u16string> FolderEntries(const std::u16string& folder) {
    std::vector<std::u16string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(folder)))
        names.push_back(entry.path().filename().u16string());
    return names;
}

// Cyrillic in the folder, the file name and the value: the ANSI code page (1252) can write none of them.
const std::u16string kFolderName =
    u"\u041D\u0430\u043B\u0430\u0448\u0442\u0443\u0432\u0430\u043D\u043D\u044F";
const std::u16string kFileName = u"\u0416\u0443\u0440\u043D\u0430\u043B.ini";
const std::u16string kCyrillic = u"\u0417\u0430\u0432\u0430\u043D\u0442\u0430\u0436\u0435\u043D\u043D\u044F";

class IniFileWin32Test : public testing::Test {
protected:
    void SetUp() override {
        folder = scratch / kFolderName;
        ASSERT_TRUE(CreateDirectoryW(WidePtr(folder), nullptr));
        path = folder + u"\\" + kFileName;
    }
    TTestFolder scratch;
    std::u16string folder, path;
};

struct EncodingCase {
    const char* name;
    Mark mark;
    std::u16string lineEnd;
    std::u16string value; // what the encoding can hold
};

void PrintTo(const EncodingCase& c, std::ostream* os) {
    *os << c.name;
}

class IniFileWin32EncodingTest : public IniFileWin32Test, public testing::WithParamInterface<EncodingCase> {};

TEST_P(IniFileWin32EncodingTest, ChangesOnlyTheWrittenEntryAndKeepsTheFilesForm) {
    const EncodingCase& c = GetParam();
    const std::u16string before = u"; host settings\n"
                                  u"[Main]\n"
                                  u"Width = 800 \n"
                                  u"\n"
                                  u"[Bureau-UR]\n"
                                  u"Resource =  old  \n"
                                  u"Other=\u00C4\u00D6\n"
                                  u"\n"
                                  u"[Tail]\n"
                                  u"Key=Value\n";
    WriteFile(path, Encoded(before, c.mark, c.lineEnd));

    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString(u"bureau-ur", u"RESOURCE", u"-"), u"old");
    EXPECT_EQ(ini.ReadString(u"Bureau-UR", u"Other", u"-"), u"\u00C4\u00D6");
    ini.WriteString(u"Bureau-UR", u"Resource", c.value);
    ini.WriteString(u"Bureau-UR", u"Location", u"Local");

    const std::u16string after = u"; host settings\n"
                                 u"[Main]\n"
                                 u"Width = 800 \n"
                                 u"\n"
                                 u"[Bureau-UR]\n"
                                 u"Resource =  " +
                                 c.value +
                                 u"\n"
                                 u"Other=\u00C4\u00D6\n"
                                 u"Location=Local\n"
                                 u"\n"
                                 u"[Tail]\n"
                                 u"Key=Value\n";
    EXPECT_EQ(ReadFile(path), Encoded(after, c.mark, c.lineEnd));
    EXPECT_EQ(TIniFile(path).ReadString(u"Bureau-UR", u"Resource", u"-"), c.value);
    EXPECT_EQ(FolderEntries(folder), std::vector<std::u16string>{kFileName}) << "a temporary file was left";
}

INSTANTIATE_TEST_SUITE_P(
    Files, IniFileWin32EncodingTest,
    testing::Values(EncodingCase{"Utf8MarkCrLf", Mark::Utf8, u"\r\n", u"D:\\" + kCyrillic + u"\\list.rar"},
                    EncodingCase{"Utf16LeMarkCrLf", Mark::Utf16LE, u"\r\n", kCyrillic + u" \U0001F600"},
                    EncodingCase{"Utf16BeMarkLf", Mark::Utf16BE, u"\n", kCyrillic},
                    EncodingCase{"AnsiLf", Mark::None, u"\n", u"D:\\Listen \u00FC\u00E9\u20AC.rar"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniFileWin32Test, ANewFileIsAnsiWithCrLf) {
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString(u"Bureau-UR", u"Resource", u"default"), u"default");
    EXPECT_FALSE(FileExists(path));
    ini.WriteString(u"Bureau-UR", u"Resource", u"D:\\Listen \u00FC.rar");
    EXPECT_EQ(ReadFile(path), "[Bureau-UR]\r\nResource=D:\\Listen \xFC.rar\r\n");
}

// A file without a mark is the ANSI code page's: what it cannot hold is refused, never written as '?'.
TEST_F(IniFileWin32Test, TextTheAnsiCodePageCannotHoldIsRefused) {
    const std::string old = "[Bureau-UR]\r\nResource=old\r\n";
    WriteFile(path, old);
    TIniFile ini(path);
    EXPECT_THROW(ini.WriteString(u"Bureau-UR", u"Resource", kCyrillic), EArgumentException);
    EXPECT_THROW(ini.WriteString(kCyrillic, u"Resource", u"x"), EArgumentException);
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(ini.ReadString(u"Bureau-UR", u"Resource", u"-"), u"old");
}

TEST_F(IniFileWin32Test, AReadOnlyFileIsRefusedAndLeftAsItWas) {
    const std::string old = "; host\r\n[S]\r\na=1\r\n";
    WriteFile(path, old);
    ASSERT_TRUE(SetFileAttributesW(WidePtr(path), FILE_ATTRIBUTE_READONLY));

    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString(u"S", u"a", u"-"), u"1");
    try {
        ini.WriteString(u"S", u"a", u"2");
        ADD_FAILURE() << "a read-only file was written";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), u"Cannot write file \"" + path + u"\": the file is read-only");
    }
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_NE(GetFileAttributesW(WidePtr(path)) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(FolderEntries(folder), std::vector<std::u16string>{kFileName}) << "a temporary file was left";
    EXPECT_EQ(ini.ReadString(u"S", u"a", u"-"), u"1");
    SetFileAttributesW(WidePtr(path), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(IniFileWin32Test, AFileInAMissingFolderCannotBeCreated) {
    const std::u16string inMissing = folder + u"\\missing\\" + kFileName;
    TIniFile ini(inMissing);
    EXPECT_EQ(ini.ReadString(u"S", u"a", u"-"), u"-");
    try {
        ini.WriteString(u"S", u"a", u"1");
        FAIL() << "no exception";
    } catch (const EFCreateError& e) {
        const std::u16string start = u"Cannot create file \"" + inMissing + u"\". ";
        EXPECT_EQ(e.Message().rfind(start, 0), 0u) << e.what();
        EXPECT_GT(e.Message().size(), start.size()) << "the system's reason is missing";
    }
    EXPECT_TRUE(FolderEntries(folder).empty());
}

// Fails the way a crash or a full disk would, once the new content is on disk but not yet in place.
class TInterruptedIniFile : public TIniFile {
public:
    using TIniFile::TIniFile;
    std::u16string tempPath;
    std::string tempBytes;

protected:
    void BeforeReplace(const std::string& path) override {
        tempPath = Utf8ToString(path);
        tempBytes = ReadFile(tempPath);
        throw std::runtime_error("interrupted");
    }
};

TEST_F(IniFileWin32Test, AnInterruptedWriteLeavesTheOldFileWhole) {
    const std::string old = "; host\r\n[S]\r\na=1\r\n";
    WriteFile(path, old);

    TInterruptedIniFile ini(path);
    EXPECT_THROW(ini.WriteString(u"S", u"a", u"2"), std::runtime_error);

    EXPECT_EQ(ini.tempPath.rfind(path, 0), 0u) << "the new content was not written beside the file";
    EXPECT_EQ(ini.tempBytes, "; host\r\n[S]\r\na=2\r\n");
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(FolderEntries(folder), std::vector<std::u16string>{kFileName});
    EXPECT_EQ(ini.ReadString(u"S", u"a", u"-"), u"1");
}

TEST_F(IniFileWin32Test, AFolderInPlaceOfTheFileCannotBeOpened) {
    TIniFile ini(folder);
    try {
        ini.ReadString(u"S", u"a", u"-");
        FAIL() << "no exception";
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message().find(u"\"" + folder + u"\""), std::u16string::npos) << e.what();
    }
}

struct PathCase {
    std::u16string iniPath, executable, expected;
};

TEST(ResolveIniPathWin32, TakesBothSeparators) {
    const PathCase cases[] = {
        {u"", u"C:\\Program Files\\Host\\Host.exe", u"C:\\Program Files\\Host\\Host.ini"},
        {u"custom.cfg", u"C:\\Host\\host.exe", u"C:\\Host\\custom.ini"},
        {u"conf\\settings.conf", u"C:\\Host\\host.exe", u"conf\\settings.conf"},
        {u"D:/settings.conf", u"C:\\Host\\host.exe", u"D:/settings.conf"},
        {u"", u"C:\\my.host\\host", u"C:\\my.host\\host.ini"},
    };
    for (const PathCase& c : cases)
        EXPECT_EQ(ResolveIniPath(c.iniPath, c.executable), c.expected) << StringToUtf8(c.iniPath);
}

} // namespace
