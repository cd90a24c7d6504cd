#include "Includes/IniFiles.h"

#include "Platform/CodePage.h"
#include "PluginAPI/SysUtils.h"
#include "tests/support/Files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;

// A fresh folder per test, removed afterwards.
class IniFileTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "inifiles.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder = pattern;
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string PathOf(const std::string& name) const { return (folder / name).string(); }
    static std::u16string Wide(const std::string& path) { return AnsiToUnicode(path); }

    fs::path folder;
};

// --- Encodings, byte for byte

enum class Mark { None, Utf8, Utf16LE, Utf16BE };

// The file a host would have written: text with '\n' standing for the line end, in the encoding.
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
        return "\xEF\xBB\xBF" + UnicodeToAnsi(lines);
    default: {
        std::string bytes = mark == Mark::Utf16LE ? "\xFF\xFE" : "\xFE\xFF";
        for (const char16_t c : lines) {
            const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
            if (mark == Mark::Utf16LE)
                bytes += {low, high};
            else
                bytes += {high, low};
        }
        return bytes;
    }
    }
}

struct EncodingCase {
    const char* name;
    Mark mark;
    std::u16string lineEnd;
    bool endsWithLineEnd; // whether the original's last line has its line end
};

void PrintTo(const EncodingCase& c, std::ostream* os) {
    *os << c.name;
}

class IniFileEncodingTest : public IniFileTest, public testing::WithParamInterface<EncodingCase> {};

const std::u16string kHostFile = u"; host settings\n"
                                 u"top=before any section\n"
                                 u"\n"
                                 u"[Main]\n"
                                 u"Width = 800 \n"
                                 u"; comment inside\n"
                                 u"Height=600\n"
                                 u"\n"
                                 u"[Bureau-UR]\n"
                                 u"# old source\n"
                                 u"Resource =  http://old/list.rar  \n"
                                 u"Other=\u00C4\u00D6 \u041F\u0440\u0438\u0432\u0456\u0442\n"
                                 u"\n"
                                 u"; the next one is the host's\n"
                                 u"[Tail]\n"
                                 u"Key=Value";

TEST_P(IniFileEncodingTest, ChangesOnlyTheWrittenEntries) {
    const EncodingCase& c = GetParam();
    const std::string path = PathOf("host.ini");
    WriteFile(path, Encoded(kHostFile + (c.endsWithLineEnd ? u"\n" : u""), c.mark, c.lineEnd));

    TIniFile ini(Wide(path));
    EXPECT_EQ(ini.ReadString(u"bureau-ur", u"RESOURCE", u"-"), u"http://old/list.rar");
    EXPECT_EQ(ini.ReadString(u"Bureau-UR", u"Other", u"-"),
              u"\u00C4\u00D6 \u041F\u0440\u0438\u0432\u0456\u0442");
    ini.WriteString(u"BUREAU-UR", u"resource", u"D:/new list.rar ");
    ini.WriteString(u"Bureau-UR", u"Location", u"Local");
    ini.WriteString(u"\u041D\u043E\u0432\u0438\u0439", u"\u041A\u043B\u044E\u0447",
                    u"\u0437\u043D\u0430\u0447");

    const std::u16string expected = u"; host settings\n"
                                    u"top=before any section\n"
                                    u"\n"
                                    u"[Main]\n"
                                    u"Width = 800 \n"
                                    u"; comment inside\n"
                                    u"Height=600\n"
                                    u"\n"
                                    u"[Bureau-UR]\n"
                                    u"# old source\n"
                                    u"Resource =  D:/new list.rar \n"
                                    u"Other=\u00C4\u00D6 \u041F\u0440\u0438\u0432\u0456\u0442\n"
                                    u"Location=Local\n"
                                    u"\n"
                                    u"; the next one is the host's\n"
                                    u"[Tail]\n"
                                    u"Key=Value\n"
                                    u"[\u041D\u043E\u0432\u0438\u0439]\n"
                                    u"\u041A\u043B\u044E\u0447=\u0437\u043D\u0430\u0447\n";
    EXPECT_EQ(ReadFile(path), Encoded(expected, c.mark, c.lineEnd));

    TIniFile reread(Wide(path));
    EXPECT_EQ(reread.ReadString(u"Bureau-UR", u"Resource", u"-"), u"D:/new list.rar");
    EXPECT_EQ(reread.ReadString(u"\u043D\u043E\u0432\u0438\u0439", u"\u043A\u043B\u044E\u0447", u"-"),
              u"\u0437\u043D\u0430\u0447");
}

INSTANTIATE_TEST_SUITE_P(Files, IniFileEncodingTest,
                         testing::Values(EncodingCase{"Utf8MarkCrLf", Mark::Utf8, u"\r\n", true},
                                         EncodingCase{"Utf16LeMarkCrLf", Mark::Utf16LE, u"\r\n", false},
                                         EncodingCase{"Utf16BeMarkLf", Mark::Utf16BE, u"\n", true},
                                         EncodingCase{"NoMarkLf", Mark::None, u"\n", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniFileTest, BytesThatAreNotUtf8SurviveInLinesNotWritten) {
    const std::string path = PathOf("host.ini");
    WriteFile(path, "[A]\r\nbad=\xFF\xFEx\r\n;\xC3\r\n[Bureau-UR]\r\nResource=old\r\n");

    TIniFile ini(Wide(path));
    EXPECT_EQ(ini.ReadString(u"A", u"bad", u"-"), u"\uFFFD\uFFFDx");
    ini.WriteString(u"Bureau-UR", u"Resource", u"new");
    EXPECT_EQ(ReadFile(path), "[A]\r\nbad=\xFF\xFEx\r\n;\xC3\r\n[Bureau-UR]\r\nResource=new\r\n");
}

// --- Where a write goes, on files without a mark

struct WriteCase {
    const char* name;
    std::string before;
    std::u16string section, key, value;
    std::string after;
};

void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.name;
}

class IniFileWriteTest : public IniFileTest, public testing::WithParamInterface<WriteCase> {};

TEST_P(IniFileWriteTest, PutsTheEntryInItsPlace) {
    const WriteCase& c = GetParam();
    const std::string path = PathOf("host.ini");
    WriteFile(path, c.before);
    TIniFile ini(Wide(path));
    ini.WriteString(c.section, c.key, c.value);
    EXPECT_EQ(ReadFile(path), c.after);
    EXPECT_EQ(ini.ReadString(c.section, c.key, u"-"), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniFileWriteTest,
    testing::Values(WriteCase{"EmptySectionGetsKeyBelowHeader", "[S]\r\n\r\n[T]\r\nk=v\r\n", u"S", u"a", u"1",
                              "[S]\r\na=1\r\n\r\n[T]\r\nk=v\r\n"},
                    WriteCase{"OnlyFirstOfDuplicateSections", "[S]\r\na=1\r\n[T]\r\n[s]\r\nb=2\r\n", u"S",
                              u"b", u"3", "[S]\r\na=1\r\nb=3\r\n[T]\r\n[s]\r\nb=2\r\n"},
                    WriteCase{"EmptyValueKeepsBlanksAfterEquals", "[S]\r\nk = \r\n", u"S", u"k", u"new",
                              "[S]\r\nk = new\r\n"},
                    WriteCase{"ValueWithEqualsReplacedWhole", "[S]\r\nk=a=b\r\n", u"S", u"k", u"c",
                              "[S]\r\nk=c\r\n"},
                    WriteCase{"CommentedKeyIsNoKey", "[S]\r\n;a=old\r\n", u"S", u"a", u"new",
                              "[S]\r\na=new\r\n;a=old\r\n"},
                    WriteCase{"KeyBeforeFirstSectionIsNoKey", "a=top\r\n[S]\r\n", u"S", u"a", u"new",
                              "a=top\r\n[S]\r\na=new\r\n"},
                    WriteCase{"EmptyFileTakesCrLf", "", u"S", u"a", u"1", "[S]\r\na=1\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Reading

struct ReadCase {
    const char* name;
    std::u16string section, key, expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class IniFileReadTest : public IniFileTest, public testing::WithParamInterface<ReadCase> {};

TEST_P(IniFileReadTest, FindsTheTrimmedValue) {
    const ReadCase& c = GetParam();
    const std::string path = PathOf("host.ini");
    WriteFile(path, "[S]\r\n"
                    "  Key1   =   spaced value  \t\r\n"
                    "key2=a=b\r\n"
                    "NoEquals\r\n"
                    ";Key3=commented\r\n"
                    "Empty=\r\n"
                    "[T]\r\n"
                    "Key1=other\r\n"
                    "[ s ]\r\n"
                    "Key4=second S section\r\n");
    EXPECT_EQ(TIniFile(Wide(path)).ReadString(c.section, c.key, u"default"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, IniFileReadTest,
                         testing::Values(ReadCase{"BlanksTrimmed", u"S", u"Key1", u"spaced value"},
                                         ReadCase{"NamesIgnoreCase", u"s", u"KEY1", u"spaced value"},
                                         ReadCase{"ValueKeepsLaterEquals", u"S", u"key2", u"a=b"},
                                         ReadCase{"LineWithoutEqualsIsNoKey", u"S", u"NoEquals", u"default"},
                                         ReadCase{"CommentIsNoKey", u"S", u"Key3", u"default"},
                                         ReadCase{"EmptyValueIsNotDefault", u"S", u"Empty", u""},
                                         ReadCase{"KeyOfOtherSection", u"T", u"Key1", u"other"},
                                         ReadCase{"OnlyFirstSectionOfName", u"S", u"Key4", u"default"},
                                         ReadCase{"MissingSection", u"X", u"Key1", u"default"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniFileTest, MissingFileReadsAsDefaultAndIsCreatedAtFirstWrite) {
    const std::string path = PathOf("new.ini");
    TIniFile ini(Wide(path));
    EXPECT_EQ(ini.ReadString(u"Bureau-UR", u"Resource", u"default"), u"default");
    EXPECT_FALSE(fs::exists(path));
    ini.WriteString(u"Bureau-UR", u"Resource", u"x");
    ini.WriteString(u"Bureau-UR", u"Location", u"Local");
    EXPECT_EQ(ReadFile(path), "[Bureau-UR]\r\nResource=x\r\nLocation=Local\r\n");
}

TEST_F(IniFileTest, FileIsReadOnceAtFirstAccess) {
    const std::string path = PathOf("host.ini");
    TIniFile ini(Wide(path)); // bound before the file exists
    WriteFile(path, "[S]\r\na=1\r\n");
    EXPECT_EQ(ini.ReadString(u"S", u"a", u"-"), u"1");
    WriteFile(path, "[S]\r\na=2\r\n");
    EXPECT_EQ(ini.ReadString(u"S", u"a", u"-"), u"1");
    ini.WriteString(u"S", u"b", u"x");
    EXPECT_EQ(ReadFile(path), "[S]\r\na=1\r\nb=x\r\n");
}

// --- Keeping the host's file safe

TEST_F(IniFileTest, WriteKeepsPermissions) {
    for (const mode_t mode : {0640, 0604}) {
        const std::string path = PathOf("host.ini");
        WriteFile(path, "[S]\r\na=1\r\n");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        TIniFile(Wide(path)).WriteString(u"S", u"a", u"2");
        struct stat status {};
        ASSERT_EQ(::stat(path.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, mode);
        EXPECT_EQ(ReadFile(path), "[S]\r\na=2\r\n");
    }
}

// Write permission decides, not who runs: root, who may write anything, still leaves a read-only file
// alone, as Windows does with the read-only attribute.
TEST_F(IniFileTest, ReadOnlyFileIsRefusedAndLeftAsItWas) {
    const std::string old = "; host\r\n[S]\r\na=1\r\n";
    for (const mode_t mode : {0444, 0400, 0464}) {
        SCOPED_TRACE(mode);
        for (const bool throughLink : {false, true}) {
            fs::remove_all(folder);
            fs::create_directory(folder);
            const std::string path = PathOf("host.ini");
            WriteFile(path, old);
            ASSERT_EQ(::chmod(path.c_str(), mode), 0);
            std::string named = path;
            if (throughLink) {
                named = PathOf("link.ini");
                fs::create_symlink(path, named);
            }
            struct stat before {};
            ASSERT_EQ(::stat(path.c_str(), &before), 0);

            TIniFile ini(Wide(named));
            EXPECT_EQ(ini.ReadString(u"S", u"a", u"-"), u"1");
            try {
                ini.WriteString(u"S", u"a", u"2");
                ADD_FAILURE() << "a read-only file was written";
            } catch (const EFCreateError& e) {
                EXPECT_EQ(StringToUtf8(e.Message()),
                          "Cannot write file \"" + named + "\": the file is read-only");
            }
            struct stat after {};
            ASSERT_EQ(::stat(path.c_str(), &after), 0);
            EXPECT_EQ(after.st_ino, before.st_ino) << "the file was replaced";
            EXPECT_EQ(after.st_mode, before.st_mode);
            EXPECT_EQ(ReadFile(path), old);
            EXPECT_EQ(FileNames(folder).size(), throughLink ? 2u : 1u) << "a temporary file was left";
            EXPECT_EQ(ini.ReadString(u"S", u"a", u"-"), u"1");
        }
    }
}

TEST_F(IniFileTest, WriteThroughSymbolicLinkKeepsTheLink) {
    const std::string target = PathOf("real.ini"), link = PathOf("host.ini");
    WriteFile(target, "[S]\r\na=1\r\n");
    fs::create_symlink(target, link);
    TIniFile(Wide(link)).WriteString(u"S", u"a", u"2");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(target), "[S]\r\na=2\r\n");
}

// Fails the way a crash or a full disk would, once the new content is on disk but not yet in place.
class TInterruptedIniFile : public TIniFile {
public:
    using TIniFile::TIniFile;
    std::string tempPath, tempBytes;

protected:
    void BeforeReplace(const std::string& path) override {
        tempPath = path;
        std::ifstream in(path, std::ios::binary);
        tempBytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        throw std::runtime_error("interrupted");
    }
};

TEST_F(IniFileTest, InterruptedWriteLeavesOldFileWhole) {
    const std::string path = PathOf("host.ini");
    const std::string old = "; host\r\n[S]\r\na=1\r\n";
    WriteFile(path, old);

    TInterruptedIniFile ini(Wide(path));
    EXPECT_THROW(ini.WriteString(u"S", u"a", u"2"), std::runtime_error);

    EXPECT_EQ(fs::path(ini.tempPath).parent_path(), folder);
    EXPECT_EQ(ini.tempBytes, "; host\r\n[S]\r\na=2\r\n");
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_THAT(FileNames(folder), testing::ElementsAre("host.ini"));
    EXPECT_EQ(ini.ReadString(u"S", u"a", u"-"), u"1");
}

// --- Errors

TEST_F(IniFileTest, FolderInPlaceOfFileCannotBeOpened) {
    TIniFile ini(Wide(folder.string()));
    try {
        ini.ReadString(u"S", u"a", u"-");
        FAIL() << "no exception";
    } catch (const EFOpenError& e) {
        EXPECT_THAT(StringToUtf8(e.Message()), HasSubstr("\"" + folder.string() + "\""));
    }
    EXPECT_THROW(ini.WriteString(u"S", u"a", u"1"), EFOpenError);
}

TEST_F(IniFileTest, UnreadableFileCannotBeOpened) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    const std::string path = PathOf("host.ini");
    WriteFile(path, "[S]\r\na=1\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    EXPECT_THROW(TIniFile(Wide(path)).ReadString(u"S", u"a", u"-"), EFOpenError);
}

TEST_F(IniFileTest, FileInMissingFolderCannotBeCreated) {
    const std::string path = PathOf("missing/host.ini");
    TIniFile ini(Wide(path));
    EXPECT_EQ(ini.ReadString(u"S", u"a", u"-"), u"-");
    try {
        ini.WriteString(u"S", u"a", u"1");
        FAIL() << "no exception";
    } catch (const EFCreateError& e) {
        EXPECT_THAT(StringToUtf8(e.Message()), HasSubstr("\"" + path + "\""));
    }
    EXPECT_THAT(FileNames(folder), testing::IsEmpty());
}

TEST_F(IniFileTest, EntriesThatWouldBreakTheFileAreRefused) {
    const std::string path = PathOf("host.ini");
    const std::u16string entries[][3] = {
        {u"S", u"a", u"x\r\n[Other]"}, {u"S\n", u"a", u"x"}, {u"S]", u"a", u"x"},  {u"S", u"", u"x"},
        {u"S", u"a=b", u"x"},          {u"S", u";a", u"x"},  {u"S", u"[a]", u"x"},
    };
    TIniFile ini(Wide(path));
    for (const auto& [section, key, value] : entries)
        EXPECT_THROW(ini.WriteString(section, key, value), EArgumentException) << StringToUtf8(key);
    EXPECT_FALSE(fs::exists(path));
}

// --- The settings file's path

struct PathCase {
    std::u16string iniPath, executable, expected;
};

void PrintTo(const PathCase& c, std::ostream* os) {
    *os << '"' << StringToUtf8(c.iniPath) << "\" beside " << StringToUtf8(c.executable);
}

class ResolveIniPathTest : public testing::TestWithParam<PathCase> {};

TEST_P(ResolveIniPathTest, Resolves) {
    EXPECT_EQ(ResolveIniPath(GetParam().iniPath, GetParam().executable), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResolveIniPathTest,
    testing::Values(PathCase{u"", u"/opt/host/Host.exe", u"/opt/host/Host.ini"},
                    PathCase{u"", u"/opt/my.host/host", u"/opt/my.host/host.ini"},
                    PathCase{u"custom.cfg", u"/opt/host/host.bin", u"/opt/host/custom.ini"},
                    PathCase{u"a.b.cfg", u"/opt/host/host", u"/opt/host/a.b.ini"},
                    PathCase{u"custom", u"/opt/host/host", u"/opt/host/custom.ini"},
                    PathCase{u"/etc/host/settings.conf", u"/opt/host/host", u"/etc/host/settings.conf"},
                    PathCase{u"conf/settings.conf", u"/opt/host/host", u"conf/settings.conf"}));

} // namespace
