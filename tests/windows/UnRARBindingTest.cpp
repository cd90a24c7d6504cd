// The class library's UnRAR binding on Windows: the real UnRAR.dll loaded from its folder, RAR 5
// archives made by the rar tool, UTF-8 paths reaching the library's wide calls.
#include "Includes/UnRAR.h"

#include "Platform/FileSystem.h"
#include "Platform/win32/WideChar.h"
#include "PluginAPI/SysUtils.h"
#include "tests/windows/TestFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const std::u16string kList = u"\u0421\u043F\u0438\u0441\u043E\u043A \u0447\u043B\u0435\u043D\u0456\u0432.txt";
const std::u16string kTarget = u"\u0417\u0430\u0432\u0430\u043D\u0442\u0430\u0436\u0435\u043D\u043D\u044F";

class TUnRARBindingTest : public testing::Test {
protected:
    static std::string Utf8(const std::u16string& path) { return StringToUtf8(path); }

    const std::u16string archived = ProgramFolder() + u"\\archived";
    TUnRARLibrary library{Utf8(ProgramFolder() + u"\\app")};
    TTestFolder scratch;
};

TEST_F(TUnRARBindingTest, ReadsTheHeadersAndExtractsToExactWidePaths) {
    TRarArchive archive = library.OpenArchive(Utf8(ProgramFolder() + u"\\lists.rar"));
    ASSERT_TRUE(archive.IsOpen()) << archive.OpenResult();

    ASSERT_EQ(archive.ReadHeader(), RarResult::Success);
    EXPECT_EQ(archive.Entry().Name, kList);
    EXPECT_TRUE(archive.Entry().IsFile());
    EXPECT_FALSE(archive.Entry().IsEncrypted);
    const std::string expected = ReadFile(archived + u"\\" + kList);
    EXPECT_EQ(archive.Entry().UnpackedSize, expected.size());
    // Into a folder that does not exist yet, whose name the ANSI code page cannot write.
    const std::u16string pdf = scratch / (kTarget + u"\\File0001.pdf");
    EXPECT_EQ(archive.Extract(Utf8(pdf)), RarResult::Success);
    EXPECT_EQ(ReadFile(pdf), expected);

    ASSERT_EQ(archive.ReadHeader(), RarResult::Success);
    EXPECT_EQ(archive.Entry().Name, u"lists\\random.bin");
    EXPECT_EQ(archive.Entry().UnpackedSize, 100000u);
    // Skipped: the next header read passes over its data.
    EXPECT_EQ(archive.ReadHeader(), RarResult::EndOfArchive);
    EXPECT_EQ(
        std::filesystem::directory_iterator(std::filesystem::path(scratch / kTarget))->path().filename(),
        std::filesystem::path(u"File0001.pdf"));
}

TEST_F(TUnRARBindingTest, AnEncryptedEntryIsMissingItsPasswordAndLeavesNoFile) {
    TRarArchive archive = library.OpenArchive(Utf8(ProgramFolder() + u"\\encrypted.rar"));
    ASSERT_EQ(archive.ReadHeader(), RarResult::Success);
    EXPECT_EQ(archive.Entry().Name, kList);
    EXPECT_TRUE(archive.Entry().IsEncrypted);
    const std::u16string pdf = scratch / u"File0001.pdf";
    const int result = archive.Extract(Utf8(pdf));
    EXPECT_EQ(result, RarResult::MissingPassword);
    EXPECT_EQ(archive.ResultText(result), u"it is encrypted (protected by a password)");
    EXPECT_FALSE(FileExists(pdf));
}

TEST_F(TUnRARBindingTest, AnEntryPastTheSizeLimitIsStoppedAndRemoved) {
    TRarArchive archive = library.OpenArchive(Utf8(ProgramFolder() + u"\\lists.rar"));
    ASSERT_EQ(archive.ReadHeader(), RarResult::Success);
    ASSERT_EQ(archive.ReadHeader(), RarResult::Success); // random.bin, 100000 bytes
    EXPECT_EQ(ExtractionRefusal(archive.Entry(), Utf8(scratch.Path()), 1000).value_or(u""),
              u"\"lists\\random.bin\" unpacks to 100000 bytes, more than the limit of 1000 bytes");

    archive.SetSizeLimit(1000);
    const std::u16string pdf = scratch / u"File0002.pdf";
    const int result = archive.Extract(Utf8(pdf));
    EXPECT_EQ(result, RarResult::SizeLimit);
    EXPECT_EQ(archive.ResultText(result), u"it unpacks to more than the limit of 1000 bytes");
    EXPECT_FALSE(FileExists(pdf));
}

TEST_F(TUnRARBindingTest, AnEntryLargerThanTheFreeSpaceIsRefused) {
    const std::optional<std::uint64_t> free = FreeDiskSpace(Utf8(scratch.Path()));
    ASSERT_TRUE(free);
    TRarEntry entry;
    entry.Name = kList;
    entry.UnpackedSize = *free + (std::uint64_t{1} << 30); // the disk is not filled meanwhile by that much
    const std::u16string text = ExtractionRefusal(entry, Utf8(scratch.Path()), UINT64_MAX).value_or(u"");
    EXPECT_EQ(text.rfind(u"\"" + kList + u"\" unpacks to ", 0), 0u) << StringToUtf8(text);
    EXPECT_NE(text.find(u" free in \"" + scratch.Path() + u"\""), std::u16string::npos) << StringToUtf8(text);
    entry.UnpackedSize = 100000;
    EXPECT_FALSE(ExtractionRefusal(entry, Utf8(scratch.Path())));
}

TEST_F(TUnRARBindingTest, AFileThatIsNoArchiveHasNoEntries) {
    const std::u16string page = scratch / u"page.html";
    WriteFile(page, "<html>404 Not Found</html>");
    TRarArchive archive = library.OpenArchive(Utf8(page));
    EXPECT_FALSE(archive.IsOpen());
    EXPECT_EQ(archive.OpenResult(), RarResult::BadArchive);
    EXPECT_EQ(archive.ReadHeader(), RarResult::EndOfArchive);
}

// The library's volume-change callback through the real UnRAR.dll, with wide paths: a multi-volume
// archive reads through its parts from the first, a later part says what it is, a missing part is
// named; and a file cut short is told from a whole archive.
TEST_F(TUnRARBindingTest, PartsOfAMultiVolumeArchiveAndAnArchiveCutShort) {
    const std::u16string volumes = ProgramFolder() + u"\\\u0442\u043E\u043C\u0438";
    const std::u16string every = volumes + u"\\\u0432\u0441\u0456",
                         first = volumes + u"\\\u043F\u0435\u0440\u0448\u0430";
    {
        TRarArchive archive = library.OpenArchive(Utf8(every + u"\\lists.part1.rar"));
        ASSERT_TRUE(archive.IsOpen()) << archive.OpenResult();
        EXPECT_TRUE(archive.IsVolume());
        EXPECT_TRUE(archive.IsFirstVolume());
        int n = 0;
        for (const std::u16string& name : {kList, std::u16string(u"lists\\random.bin")}) {
            ASSERT_EQ(archive.ReadHeader(), RarResult::Success);
            EXPECT_EQ(archive.Entry().Name, name);
            const std::u16string out = scratch / (u"File000" + Utf8ToString(std::to_string(++n)) + u".pdf");
            EXPECT_EQ(archive.Extract(Utf8(out)), RarResult::Success);
            EXPECT_EQ(ReadFile(out), ReadFile(archived + u"\\" + name));
        }
        EXPECT_EQ(archive.ReadHeader(), RarResult::EndOfArchive);
    }
    {
        TRarArchive archive = library.OpenArchive(Utf8(every + u"\\lists.part2.rar"));
        ASSERT_TRUE(archive.IsOpen()) << archive.OpenResult();
        EXPECT_TRUE(archive.IsVolume());
        EXPECT_FALSE(archive.IsFirstVolume());
    }
    {
        TRarArchive archive = library.OpenArchive(Utf8(first + u"\\lists.part1.rar"));
        ASSERT_EQ(archive.ReadHeader(), RarResult::Success);
        const std::u16string pdf = scratch / u"File0009.pdf";
        const int result = archive.Extract(Utf8(pdf));
        EXPECT_EQ(result, RarResult::MissingVolume);
        EXPECT_EQ(archive.ResultText(result), u"the next part lists.part2.rar is missing");
        EXPECT_FALSE(FileExists(pdf));
    }
    TRarArchive cut = library.OpenArchive(Utf8(volumes + u"\\cut.rar"));
    ASSERT_EQ(cut.ReadHeader(), RarResult::Success);
    ASSERT_EQ(cut.ReadHeader(), RarResult::Success);
    EXPECT_EQ(cut.ReadHeader(), RarResult::CutShort);
}

TEST(UnRARLibraryWin32, AMissingLibraryRaisesNamingTheFile) {
    TTestFolder emptyApp;
    const std::string folder = StringToUtf8(emptyApp.Path());
    EXPECT_EQ(TUnRARLibrary::PathIn(folder), folder + "\\UnRAR.dll");
    try {
        TUnRARLibrary library(folder);
        FAIL() << "no exception";
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode, static_cast<std::uint32_t>(ERROR_MOD_NOT_FOUND));
        const std::u16string start = u"Cannot load the RAR library \"" + (emptyApp / u"UnRAR.dll") + u"\": ";
        EXPECT_EQ(e.Message().rfind(start, 0), 0u) << e.what();
        EXPECT_GT(e.Message().size(), start.size()) << "the system's reason is missing";
    }
}

} // namespace
