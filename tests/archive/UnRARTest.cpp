// The UnRAR binding against the real library: RAR 5 archives made here by the rar tool, and RAR 4
// archives from the repository's fixtures. This program never sets a locale, so it runs in the "C"
// locale, in which the library's own conversions of non-ASCII paths and names fail.
#include "Includes/UnRAR.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/RarNames.h"

#include "tests/archive/TestFiles.h"
#include "tests/support/Fixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/statvfs.h>

namespace {

namespace fs = std::filesystem;

struct TListed {
    std::string Name;
    std::uint64_t Size;
    char Kind; // 'f' file, 'd' folder, 'l' link
    bool operator==(const TListed&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TListed& e) {
    return out << '{' << e.Name << ", " << e.Size << ", " << e.Kind << '}';
}

char KindOf(const TRarEntry& entry) {
    return entry.IsDirectory ? 'd' : entry.IsLink ? 'l' : 'f';
}

// Every header of the archive, and the result that ended the reading.
std::vector<TListed> List(TRarArchive& archive, int& end) {
    std::vector<TListed> entries;
    while ((end = archive.ReadHeader()) == RarResult::Success) {
        const TRarEntry& e = archive.Entry();
        entries.push_back({StringToUtf8(e.Name), e.UnpackedSize, KindOf(e)});
    }
    return entries;
}

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator());
    return bytes;
}

std::string NumberedLines(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += "UR" + std::to_string(i) + "ABC Петренко\n";
    return text;
}

class TUnRARTest : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "app");
        fs::create_directories(Source());
        fs::create_directories(Download());
        fs::create_symlink(UNRAR_SYSTEM_LIBRARY, TUnRARLibrary::PathIn(dir_ / "app"));
        library_ = std::make_unique<TUnRARLibrary>(dir_ / "app");
    }

    std::string Source() const { return dir_ / "src"; }
    // A non-ASCII folder: the library would fail to write there if it took the path as wide text.
    std::string Download() const { return dir_ / "Завантаження"; }
    std::string Pdf(int n) const { return Download() + "/File000" + std::to_string(n) + ".pdf"; }

    void Put(const std::string& name, const std::string& bytes) {
        fs::create_directories(fs::path(Source() + "/" + name).parent_path());
        WriteFile(Source() + "/" + name, bytes);
    }

    // Runs "rar a" in the source folder (links stored as links); returns the archive's path.
    std::string Rar(const std::string& archive, const std::vector<std::string>& switches,
                    const std::vector<std::string>& names) {
        std::vector<std::string> args{"rar", "a", "-idq", "-ol"};
        args.insert(args.end(), switches.begin(), switches.end());
        args.push_back(dir_ / archive);
        args.insert(args.end(), names.begin(), names.end());
        EXPECT_EQ(RunProgram(args, Source()), 0);
        return dir_ / archive;
    }

    TempDir dir_;
    std::unique_ptr<TUnRARLibrary> library_;
};

TEST(TUnRARLibraryTest, PathInPutsTheFileNameIntoTheFolder) {
    EXPECT_EQ(TUnRARLibrary::PathIn("/opt/host"), "/opt/host/UnRAR.dll");
    EXPECT_EQ(TUnRARLibrary::PathIn("/opt/host/"), "/opt/host/UnRAR.dll");
    EXPECT_EQ(TUnRARLibrary::PathIn(""), "./UnRAR.dll"); // never a bare name that dlopen would search for
}

TEST(TUnRARLibraryTest, LoadFailuresRaiseEOSErrorNamingTheFile) {
    const struct {
        const char* name;
        const char* target; // what UnRAR.dll is: nothing, a text file or a library without the calls
        const char* reason;
    } cases[] = {
        {"missing", nullptr, "No such file"},
        {"not a library", "", "invalid ELF header"},
        {"other library", "/lib/x86_64-linux-gnu/libm.so.6", "lacks the function \"RAROpenArchiveEx\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = TUnRARLibrary::PathIn(dir.Path());
        if (c.target != nullptr && *c.target == '\0')
            WriteFile(path, std::string(4096, 'x')); // long enough to be judged as ELF
        else if (c.target != nullptr)
            fs::create_symlink(c.target, path);
        try {
            TUnRARLibrary library(dir.Path());
            ADD_FAILURE() << "loaded";
        } catch (const EOSError& e) {
            EXPECT_NE(std::string(e.what()).find("\"" + path + "\""), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
    }
}

TEST_F(TUnRARTest, ListsEntriesInArchiveOrderWithKinds) {
    Put("a.pdf", RandomBytes(5000, 1));
    Put("Папка/Список УР.pdf", NumberedLines(300));
    fs::create_symlink("Папка/Список УР.pdf", Source() + "/посилання.pdf");
    const std::string archive = Rar("folder.rar", {"-r"}, {"a.pdf", "посилання.pdf", "Папка"});

    TRarArchive rar = library_->OpenArchive(archive);
    EXPECT_TRUE(rar.IsOpen());
    EXPECT_EQ(rar.OpenResult(), RarResult::Success);
    int end = 0;
    const std::vector<TListed> expected{
        {"a.pdf", 5000, 'f'},
        {"посилання.pdf", std::string("Папка/Список УР.pdf").size(), 'l'},
        {"Папка/Список УР.pdf", NumberedLines(300).size(), 'f'},
        {"Папка", 0, 'd'},
    };
    EXPECT_EQ(List(rar, end), expected);
    EXPECT_EQ(end, RarResult::EndOfArchive);
    EXPECT_EQ(rar.ReadHeader(), RarResult::EndOfArchive);
}

TEST_F(TUnRARTest, ExtractsFilesByteExactToTheGivenPath) {
    const std::string first = RandomBytes(70'000, 2);
    const std::string second = NumberedLines(5000);
    Put("a.pdf", first);
    Put("deep/Список УР.pdf", second); // stored as "Список УР.pdf" by -ep1
    const struct {
        const char* name;
        std::vector<std::string> switches;
    } archives[] = {{"звичайний", {"-ep1"}}, {"суцільний", {"-ep1", "-s"}}}; // plain, solid
    for (const auto& a : archives) {
        const std::string archive =
            Rar(std::string(a.name) + ".rar", a.switches, {"a.pdf", "deep/Список УР.pdf"});
        // Everything, and then only the second entry, which in a solid archive depends on the first.
        for (const bool all : {true, false}) {
            SCOPED_TRACE(std::string(a.name) + (all ? ", all entries" : ", second entry only"));
            fs::remove_all(Download());
            TRarArchive rar = library_->OpenArchive(archive);
            ASSERT_EQ(rar.ReadHeader(), RarResult::Success);
            EXPECT_EQ(rar.Entry().Name, u"a.pdf");
            EXPECT_EQ(all ? rar.Extract(Pdf(1)) : rar.Skip(), RarResult::Success);
            ASSERT_EQ(rar.ReadHeader(), RarResult::Success);
            EXPECT_EQ(rar.Entry().Name, u"Список УР.pdf");
            EXPECT_EQ(rar.Extract(Pdf(2)), RarResult::Success); // creates the missing folder
            EXPECT_EQ(rar.ReadHeader(), RarResult::EndOfArchive);

            EXPECT_EQ(FileExists(Pdf(1)), all);
            if (all) {
                EXPECT_EQ(ReadFile(Pdf(1)), first);
            }
            EXPECT_EQ(ReadFile(Pdf(2)), second);
            EXPECT_EQ(std::distance(fs::directory_iterator(Download()), fs::directory_iterator()),
                      all ? 2 : 1);
        }
    }
}

TEST_F(TUnRARTest, ArchiveThatCannotBeOpenedHasNoEntries) {
    const struct {
        const char* name;
        const char* content; // nullptr: no file at all
        int openResult;
        std::u16string reason;
    } cases[] = {
        {"missing file", nullptr, RarResult::OpenError, u"the file cannot be opened"},
        {"empty file", "", RarResult::BadArchive, u"the file is not a RAR archive, or it is damaged"},
        {"not an archive", "%PDF-1.4 this is no archive", RarResult::BadArchive,
         u"the file is not a RAR archive, or it is damaged"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir_ / "case.rar";
        fs::remove(path);
        if (c.content != nullptr)
            WriteFile(path, c.content);
        TRarArchive rar = library_->OpenArchive(path);
        EXPECT_FALSE(rar.IsOpen());
        EXPECT_EQ(rar.OpenResult(), c.openResult);
        EXPECT_EQ(rar.ResultText(rar.OpenResult()), c.reason);
        EXPECT_EQ(rar.ReadHeader(), RarResult::EndOfArchive);
        EXPECT_EQ(rar.Extract(Pdf(1)), c.openResult);
        EXPECT_EQ(rar.ReadHeader(), RarResult::EndOfArchive);
        EXPECT_FALSE(FileExists(Pdf(1)));
    }
}

TEST_F(TUnRARTest, ArchivesWithoutFileEntries) {
    fs::create_directories(Source() + "/Порожня");
    WriteFile(dir_ / "sig.rar", std::string("Rar!\x1A\x07\x01\x00", 8));
    const struct {
        const char* name;
        std::string archive;
        std::vector<TListed> entries;
        int end;
    } cases[] = {
        // Nothing of a RAR 5 archive but its signature: the file ends before the archive does.
        {"signature only", dir_ / "sig.rar", {}, RarResult::CutShort},
        {"one folder", Rar("folder.rar", {}, {"Порожня"}), {{"Порожня", 0, 'd'}}, RarResult::EndOfArchive},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TRarArchive rar = library_->OpenArchive(c.archive);
        EXPECT_TRUE(rar.IsOpen());
        int end = 0;
        EXPECT_EQ(List(rar, end), c.entries);
        EXPECT_EQ(end, c.end);
    }
}

// The library reports the end of the archive wherever its file ends. The binding tells a file cut short
// from a whole archive by the chain of the archive's blocks, and a cut in an entry's data from damage
// there (DamagedEntryFailsWithItsReasonAndLeavesNoFile).
TEST_F(TUnRARTest, ArchiveCutShortIsToldFromAWholeOne) {
    const std::string first = RandomBytes(5000, 3), second = RandomBytes(20'000, 4);
    Put("a.pdf", first);
    Put("b.pdf", second);
    // Stored, so that the entries' data can be found in the archive.
    const std::string whole = ReadFile(Rar("whole.rar", {"-m0"}, {"a.pdf", "b.pdf"}));
    const std::size_t aData = whole.find(first), bData = whole.find(second);
    ASSERT_NE(aData, std::string::npos);
    ASSERT_NE(bData, std::string::npos);
    const std::size_t aEnd = aData + first.size();
    const struct {
        const char* name;
        std::size_t length; // of the file, from its start
        int extracted;      // entries that extract whole before the cut
        bool inData;        // the cut lies in the next entry's data, not before its header
    } cases[] = {
        {"whole", whole.size(), 2, false},
        {"end-of-archive block missing", whole.size() - 8, 2, false},
        {"in the second entry's data", bData + 5000, 1, true},
        {"in the second entry's header", aEnd + 10, 1, false},
        {"between the entries", aEnd, 1, false},
        {"in the first entry's data", aData + 100, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(dir_ / "cut.rar", whole.substr(0, c.length));
        fs::remove_all(Download());
        TRarArchive rar = library_->OpenArchive(dir_ / "cut.rar");
        for (int i = 1; i <= c.extracted; ++i) {
            ASSERT_EQ(rar.ReadHeader(), RarResult::Success);
            EXPECT_EQ(rar.Extract(Pdf(i)), RarResult::Success);
            EXPECT_EQ(ReadFile(Pdf(i)), i == 1 ? first : second);
        }
        if (c.length == whole.size()) {
            EXPECT_EQ(rar.ReadHeader(), RarResult::EndOfArchive);
            continue;
        }
        int result = rar.ReadHeader();
        if (c.inData) {
            ASSERT_EQ(result, RarResult::Success);
            result = rar.Extract(Pdf(c.extracted + 1));
            EXPECT_FALSE(FileExists(Pdf(c.extracted + 1))) << "a cut entry was left behind";
        }
        EXPECT_EQ(result, RarResult::CutShort);
        EXPECT_EQ(rar.ResultText(result), u"the archive is cut short: its file ends before the archive does");
    }

    // Compressed and solid, a cut in the data shows as a CRC error to the library: the same cut.
    const std::string solid = ReadFile(Rar("solid.rar", {"-s"}, {"a.pdf", "b.pdf"}));
    WriteFile(dir_ / "cut.rar", solid.substr(0, solid.size() - 5000));
    TRarArchive rar = library_->OpenArchive(dir_ / "cut.rar");
    ASSERT_EQ(rar.ReadHeader(), RarResult::Success);
    EXPECT_EQ(rar.Extract(Pdf(1)), RarResult::Success);
    ASSERT_EQ(rar.ReadHeader(), RarResult::Success);
    EXPECT_EQ(rar.Entry().Name, u"b.pdf");
    EXPECT_EQ(rar.Extract(Pdf(2)), RarResult::CutShort);
}

TEST_F(TUnRARTest, DamagedEntryFailsWithItsReasonAndLeavesNoFile) {
    const std::string data = RandomBytes(50'000, 5);
    Put("a.pdf", data);
    Put("b.pdf", "the next entry");
    // Stored, so that the entry's bytes can be found in the archive and damaged.
    std::string archive = ReadFile(Rar("stored.rar", {"-m0"}, {"a.pdf", "b.pdf"}));
    const std::size_t at = archive.find(data.substr(0, 64));
    ASSERT_NE(at, std::string::npos);
    for (std::size_t i = at + 1000; i < at + 1010; ++i)
        archive[i] = static_cast<char>(~archive[i]);
    WriteFile(dir_ / "damaged.rar", archive);

    TRarArchive rar = library_->OpenArchive(dir_ / "damaged.rar");
    ASSERT_EQ(rar.ReadHeader(), RarResult::Success);
    EXPECT_FALSE(rar.Entry().IsEncrypted);
    const int result = rar.Extract(Pdf(1));
    EXPECT_EQ(result, RarResult::BadData);
    EXPECT_EQ(rar.ResultText(result), u"the data is damaged or cut short (CRC error)");
    EXPECT_FALSE(FileExists(Pdf(1)));
    ASSERT_EQ(rar.ReadHeader(), RarResult::Success);
    EXPECT_EQ(rar.Extract(Pdf(2)), RarResult::Success);
    EXPECT_EQ(ReadFile(Pdf(2)), "the next entry");
}

// The binding never gives a password and refuses every request for one, so an encrypted archive fails
// at once instead of waiting for an answer on the console.
TEST_F(TUnRARTest, EncryptedArchivesFailAtOnceAsEncrypted) {
    Put("a.pdf", "secret list");
    Put("b.pdf", "another list");
    const std::u16string encrypted = u"it is encrypted (protected by a password)";

    TRarArchive entries = library_->OpenArchive(Rar("p.rar", {"-pSecret"}, {"a.pdf", "b.pdf"}));
    ASSERT_TRUE(entries.IsOpen());
    ASSERT_EQ(entries.ReadHeader(), RarResult::Success);
    EXPECT_EQ(entries.Entry().Name, u"a.pdf");
    EXPECT_TRUE(entries.Entry().IsEncrypted);
    const int result = entries.Extract(Pdf(1));
    EXPECT_EQ(result, RarResult::MissingPassword);
    EXPECT_EQ(entries.ResultText(result), encrypted);
    EXPECT_FALSE(FileExists(Pdf(1)));

    // With its headers encrypted even the names are secret: the archive does not open.
    TRarArchive headers = library_->OpenArchive(Rar("hp.rar", {"-hpSecret"}, {"a.pdf", "b.pdf"}));
    EXPECT_FALSE(headers.IsOpen());
    EXPECT_EQ(headers.OpenResult(), RarResult::MissingPassword);
    EXPECT_EQ(headers.ResultText(headers.OpenResult()), encrypted);
    EXPECT_EQ(headers.ReadHeader(), RarResult::EndOfArchive);
}

TEST_F(TUnRARTest, WriteErrorFailsWithItsReasonAndLeavesNoFile) {
    Put("a.pdf", RandomBytes(3 << 20, 6));
    TRarArchive rar = library_->OpenArchive(Rar("a.rar", {}, {"a.pdf"}));
    ASSERT_EQ(rar.ReadHeader(), RarResult::Success);
    // A full disk, as the file size limit of this process makes it.
    int result;
    {
        TFileSizeLimit full(1 << 20);
        result = rar.Extract(Pdf(1));
    }
    EXPECT_EQ(result, RarResult::WriteError);
    EXPECT_EQ(rar.ResultText(result), u"the output file cannot be written (the disk may be full)");
    EXPECT_FALSE(FileExists(Pdf(1)));
}

// 2 GiB of zeros packed into some 100 KB (the build packs it once for every test that needs it):
// refused by its header before a byte is written, and stopped by the size limit when extracted anyway.
TEST_F(TUnRARTest, HugeEntryIsRefusedAndStoppedAtTheSizeLimit) {
    ASSERT_LT(std::filesystem::file_size(HUGE_ARCHIVE), 1u << 20);
    TRarArchive rar = library_->OpenArchive(HUGE_ARCHIVE);
    ASSERT_EQ(rar.ReadHeader(), RarResult::Success);
    EXPECT_EQ(rar.Entry().UnpackedSize, std::uint64_t{2} << 30);
    EXPECT_EQ(ExtractionRefusal(rar.Entry(), Download()).value_or(u""),
              u"\"zeros.pdf\" unpacks to 2147483648 bytes (2048 MiB), more than the limit of 268435456 bytes "
              u"(256 MiB)");

    rar.SetSizeLimit(1 << 20);
    const int result = rar.Extract(Pdf(1));
    EXPECT_EQ(result, RarResult::SizeLimit);
    EXPECT_EQ(rar.ResultText(result), u"it unpacks to more than the limit of 1048576 bytes (1 MiB)");
    EXPECT_FALSE(FileExists(Pdf(1)));
    EXPECT_TRUE(std::filesystem::is_empty(Download()));
}

TEST_F(TUnRARTest, EntryLargerThanTheFreeSpaceIsRefused) {
    struct statvfs space {};
    ASSERT_EQ(statvfs(Download().c_str(), &space), 0);
    const std::uint64_t free = std::uint64_t{space.f_bavail} * space.f_frsize;
    TRarEntry entry;
    entry.Name = u"Список.pdf";
    entry.UnpackedSize = free + (std::uint64_t{1} << 30); // the disk is not filled meanwhile by that much
    const std::optional<UnicodeString> refusal = ExtractionRefusal(entry, Download(), UINT64_MAX);
    ASSERT_TRUE(refusal);
    const std::string text = StringToUtf8(*refusal);
    EXPECT_TRUE(
        text.starts_with("\"Список.pdf\" unpacks to " + std::to_string(entry.UnpackedSize) + " bytes"))
        << text;
    EXPECT_NE(text.find(" free in \"" + Download() + "\""), std::string::npos) << text;

    entry.UnpackedSize = 100'000;
    EXPECT_EQ(ExtractionRefusal(entry, Download()).value_or(u""), u"");
    entry.UnpackedSize = RarEntrySizeLimit;
    EXPECT_EQ(ExtractionRefusal(entry, Download()).value_or(u""), u"") << "the limit itself is allowed";
}

// Names come from the archive's author: line ends and escapes must not reach a report as such, and a
// name of bytes that are no text still extracts.
TEST_F(TUnRARTest, NamesAreShownWithoutControlCharacters) {
    const std::string forged = "a\r\n- Done. \x1b[31mred.pdf"; // no '*': the rar tool would take it as a mask
    const std::string invalid = "\xff\xfe.pdf";
    Put(forged, "forged");
    Put(invalid, "invalid");
    TRarArchive rar = library_->OpenArchive(Rar("names.rar", {}, {forged, invalid}));
    ASSERT_EQ(rar.ReadHeader(), RarResult::Success);
    EXPECT_EQ(rar.Entry().Name, Utf8ToString(forged));
    EXPECT_EQ(rar.Entry().DisplayName(), u"a\uFFFD\uFFFD- Done. \uFFFD[31mred.pdf");
    ASSERT_EQ(rar.ReadHeader(), RarResult::Success);
    EXPECT_EQ(rar.Entry().DisplayName(), u"\uFFFD\uFFFD.pdf");
    EXPECT_EQ(rar.Extract(Pdf(2)), RarResult::Success);
    EXPECT_EQ(ReadFile(Pdf(2)), "invalid");

    const struct {
        std::u16string name, shown;
    } cases[] = {
        {u"", u"(no readable name)"},
        {u"\u0085\u009B31m\u007F\t.pdf", u"\uFFFD\uFFFD31m\uFFFD\uFFFD.pdf"},
        {u"Список УР.pdf", u"Список УР.pdf"},
    };
    for (const auto& c : cases) {
        TRarEntry entry;
        entry.Name = c.name;
        EXPECT_EQ(entry.DisplayName(), c.shown) << StringToUtf8(c.name);
    }
}

TEST_F(TUnRARTest, ExtractNeedsACurrentEntry) {
    Put("a.pdf", "first");
    Put("b.pdf", "second");
    TRarArchive rar = library_->OpenArchive(Rar("two.rar", {}, {"a.pdf", "b.pdf"}));
    EXPECT_EQ(rar.Extract(Pdf(1)), RarResult::Unknown); // before the first header
    ASSERT_EQ(rar.ReadHeader(), RarResult::Success);
    EXPECT_EQ(rar.Extract(Pdf(1)), RarResult::Success);
    EXPECT_EQ(rar.Extract(Pdf(2)), RarResult::Unknown); // the same entry again
    EXPECT_EQ(rar.Skip(), RarResult::Unknown);
    EXPECT_FALSE(FileExists(Pdf(2)));
    // A header read after an entry left alone passes over that entry's data.
    ASSERT_EQ(rar.ReadHeader(), RarResult::Success);
    EXPECT_EQ(rar.Entry().Name, u"b.pdf");
    EXPECT_EQ(rar.ReadHeader(), RarResult::EndOfArchive);
}

TEST_F(TUnRARTest, MovedArchiveKeepsReadingAndClosesOnce) {
    Put("a.pdf", "first");
    Put("b.pdf", "second");
    TRarArchive source = library_->OpenArchive(Rar("two.rar", {}, {"a.pdf", "b.pdf"}));
    ASSERT_EQ(source.ReadHeader(), RarResult::Success);
    TRarArchive moved(std::move(source));
    EXPECT_FALSE(source.IsOpen());
    EXPECT_EQ(source.ReadHeader(), RarResult::EndOfArchive);
    ASSERT_EQ(moved.ReadHeader(), RarResult::Success); // passes over a.pdf
    EXPECT_EQ(moved.Extract(Pdf(2)), RarResult::Success);
    EXPECT_EQ(ReadFile(Pdf(2)), "second");
    moved = library_->OpenArchive(dir_ / "two.rar"); // closes the first handle
    ASSERT_EQ(moved.ReadHeader(), RarResult::Success);
    EXPECT_EQ(moved.Entry().Name, u"a.pdf");
}

// A multi-volume archive (rar -v) reads from its first part through the others beside it, also under the
// old names (NAME.rar, NAME.r00...) that rar 7 no longer writes but the library still follows; a part
// that is not there is named.
TEST_F(TUnRARTest, MultiVolumeArchivesReadFromTheFirstPartAndNameAMissingOne) {
    const std::vector<std::string> lists{RandomBytes(30'000, 7), RandomBytes(30'000, 8),
                                         RandomBytes(30'000, 9)};
    for (std::size_t i = 0; i < lists.size(); ++i)
        Put(std::string(1, char('a' + i)) + ".pdf", lists[i]);
    Rar("set.rar", {"-m0", "-v20k"}, {"a.pdf", "b.pdf", "c.pdf"});
    std::vector<std::string> parts;
    for (int n = 1; FileExists(dir_ / ("set.part" + std::to_string(n) + ".rar")); ++n)
        parts.push_back(dir_ / ("set.part" + std::to_string(n) + ".rar"));
    ASSERT_EQ(parts.size(), 5u);
    // The set under other names in a folder of its own: parts[i] as names[i]; an empty name leaves it out.
    const auto copy = [&](const std::string& folder, const std::vector<std::string>& names) {
        fs::remove_all(dir_ / folder);
        fs::create_directories(dir_ / folder);
        for (std::size_t i = 0; i < names.size(); ++i)
            if (!names[i].empty())
                fs::copy_file(parts[i], dir_ / (folder + "/" + names[i]));
        return dir_ / (folder + "/" + names[0]);
    };
    const std::vector<std::string> oldNames{"old.rar", "old.r00", "old.r01", "old.r02", "old.r03"};
    const struct {
        const char* name;
        std::string first; // the part opened
        int extracted;     // lists that extract before the missing part
        std::u16string missing;
    } cases[] = {
        {"every part", parts[0], 3, u""},
        {"old names", copy("old", oldNames), 3, u""},
        {"second part missing", copy("gap", {"set.part1.rar", "", "set.part3.rar"}), 0,
         u"the next part set.part2.rar is missing"},
        {"old names, third part missing", copy("oldgap", {"old.rar", "old.r00", "", "old.r02", "old.r03"}), 1,
         u"the next part old.r01 is missing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(Download());
        TRarArchive rar = library_->OpenArchive(c.first);
        EXPECT_TRUE(rar.IsVolume());
        EXPECT_TRUE(rar.IsFirstVolume());
        for (int i = 0; i < c.extracted; ++i) {
            ASSERT_EQ(rar.ReadHeader(), RarResult::Success);
            EXPECT_EQ(rar.Extract(Pdf(i + 1)), RarResult::Success);
            EXPECT_EQ(ReadFile(Pdf(i + 1)), lists[static_cast<std::size_t>(i)]);
        }
        if (c.missing.empty()) {
            EXPECT_EQ(rar.ReadHeader(), RarResult::EndOfArchive);
            continue;
        }
        ASSERT_EQ(rar.ReadHeader(), RarResult::Success);
        const int result = rar.Extract(Pdf(9));
        EXPECT_EQ(result, RarResult::MissingVolume);
        EXPECT_EQ(rar.ResultText(result), c.missing);
        EXPECT_FALSE(FileExists(Pdf(9)));
    }

    // A later part opens, and says what it is.
    for (const std::string& later : {parts[1], dir_ / "old/old.r00"}) {
        TRarArchive rar = library_->OpenArchive(later);
        EXPECT_TRUE(rar.IsOpen()) << later;
        EXPECT_TRUE(rar.IsVolume()) << later;
        EXPECT_FALSE(rar.IsFirstVolume()) << later;
    }

    // A copy under a name of its own (a download) opens nothing beside it, not even the file the
    // library's naming leads to, and names the next part after the name the user knows.
    copy("download", {"~ar1.tmp", "~ar2.tmp"});
    TRarArchive download = library_->OpenArchive(dir_ / "download/~ar1.tmp");
    download.KeepToThisFile(u"lists.part1.rar");
    ASSERT_EQ(download.ReadHeader(), RarResult::Success);
    const int result = download.Extract(Pdf(1));
    EXPECT_EQ(result, RarResult::MissingVolume);
    EXPECT_EQ(download.ResultText(result),
              u"the next part lists.part2.rar is missing (an address gives one part "
              u"only: save every part in one folder and choose the first)");
}

TEST(RarVolumeNameTest, PartsAreNumberedAndNamedAsTheLibraryDoes) {
    const struct {
        std::u16string name;
        std::optional<int> number;
        std::u16string first, next;
    } cases[] = {
        {u"lists.part1.rar", 1, u"lists.part1.rar", u"lists.part2.rar"},
        {u"lists.part2.rar", 2, u"lists.part1.rar", u"lists.part3.rar"},
        {u"Списки.PART09.RAR", 9, u"Списки.PART01.RAR", u"Списки.PART10.RAR"},
        {u"lists.part9.rar", 9, u"lists.part1.rar", u"lists.part10.rar"},
        {u"lists.rar", 1, u"lists.rar", u"lists.r00"},
        {u"lists.r00", 2, u"lists.rar", u"lists.r01"},
        {u"lists.R09", 11, u"lists.rar", u"lists.R10"},
        {u"lists.r99", 101, u"lists.rar", u"lists.s00"},
        {u"lists.pdf", std::nullopt, u"", u""},
        {u"members_upd2604", std::nullopt, u"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(StringToUtf8(c.name));
        EXPECT_EQ(RarVolumeNumber(c.name), c.number);
        EXPECT_EQ(RarFirstVolumeName(c.name), c.first);
        EXPECT_EQ(RarNextVolumeName(c.name), c.next);
    }
}

// An entry name that decodes to nothing: one whose stored UTF-8 begins with a byte that is no UTF-8,
// written by another program than rar (which keeps such bytes as private characters).
TEST_F(TUnRARTest, EntryWhoseNameDecodesToNothingExtractsLikeAnyOther) {
    Put("Xb.pdf", "the list");
    std::string bytes = ReadFile(Rar("name.rar", {"-qo-"}, {"Xb.pdf"}));
    ASSERT_TRUE(MakeNameUndecodable(bytes, "Xb.pdf"));
    WriteFile(dir_ / "noname.rar", bytes);

    TRarArchive rar = library_->OpenArchive(dir_ / "noname.rar");
    ASSERT_EQ(rar.ReadHeader(), RarResult::Success);
    EXPECT_EQ(rar.Entry().Name, u"");
    EXPECT_EQ(rar.Entry().DisplayName(), u"(no readable name)");
    EXPECT_EQ(rar.Extract(Pdf(1)), RarResult::Success);
    EXPECT_EQ(ReadFile(Pdf(1)), "the list");
    EXPECT_EQ(rar.ReadHeader(), RarResult::EndOfArchive);
}

// The RAR 4 archives: names, sizes and kinds, then every file entry extracted and compared with what the
// unrar tool extracts.
TEST_F(TUnRARTest, Rar4Archives) {
    const struct {
        const char* file;
        std::vector<TListed> entries;
        bool extracts; // whether every file entry extracts without error
        int end = RarResult::EndOfArchive;
    } cases[] = {
        {"rar.rar",
         {{"test.txt", 20, 'f'},
          {"testlink", 8, 'l'},
          {"testdir/test.txt", 20, 'f'},
          {"testdir", 0, 'd'},
          {"testemptydir", 0, 'd'}},
         true},
        {"rar_compress_best.rar",
         {{"LibarchiveAddingTest.html", 20111, 'f'},
          {"testlink", 25, 'l'},
          {"testdir/test.txt", 20, 'f'},
          {"testdir/LibarchiveAddingTest.html", 20111, 'f'},
          {"testdir", 0, 'd'},
          {"testemptydir", 0, 'd'}},
         true},
        // The last name is stored as bytes only, which the "C" locale cannot decode.
        {"rar_unicode.rar",
         {{"表だよ/新しいフォルダ/新規テキスト ドキュメント.txt", 0, 'f'},
          {"表だよ/漢字長いファイル名long-filename-in-漢字.txt", 5, 'f'},
          {"表だよ/新しいフォルダ", 0, 'd'},
          {"表だよ", 0, 'd'},
          {"表だよ/ファイル", 54, 'l'},
          {"abcdefghijklmnopqrsテスト.txt", 16, 'f'}},
         true},
        {"rar_windows.rar",
         {{"testdir/test.txt", 16, 'f'},
          {"test.txt", 16, 'f'},
          {"testshortcut.lnk", 441, 'f'},
          {"testdir", 0, 'd'},
          {"testemptydir", 0, 'd'}},
         true},
        {"rar_filter.rar", {{"bsdcat.exe", 204288, 'f'}}, true},
        {"rar_multi_lzss_blocks.rar", {{"multi_lzss_blocks_test.txt", 20131111, 'f'}}, true},
        // No end-of-archive block, which RAR 4 could leave out: whole.
        {"rar_noeof.rar", {{"test.txt", 20, 'f'}}, true},
        // The file ends inside the entry's data, as unrar says too ("Unexpected end of archive").
        {"rar_invalid1.rar", {{"test", 3, 'f'}}, false, RarResult::CutShort},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::string archive;
        ASSERT_NO_FATAL_FAILURE(Fixture(std::string("rar4/") + c.file, archive));
        {
            TRarArchive rar = library_->OpenArchive(archive);
            int end = 0;
            EXPECT_EQ(List(rar, end), c.entries);
            EXPECT_EQ(end, c.end);
        }
        const std::string expected = dir_ / (std::string(c.file) + ".unrar");
        fs::create_directories(expected);
        RunProgram({"unrar", "x", "-inul", "-y", archive, expected + "/"});
        fs::remove_all(Download());
        TRarArchive rar = library_->OpenArchive(archive);
        int files = 0;
        while (rar.ReadHeader() == RarResult::Success) {
            if (!rar.Entry().IsFile())
                continue;
            const std::string pdf = Pdf(++files);
            const int result = rar.Extract(pdf);
            if (c.extracts) {
                EXPECT_EQ(result, RarResult::Success) << StringToUtf8(rar.Entry().Name);
                EXPECT_EQ(ReadFile(pdf), ReadFile(expected + "/" + StringToUtf8(rar.Entry().Name)));
            } else {
                EXPECT_EQ(result, RarResult::CutShort);
            }
        }
    }
}

TEST(TUnRARLibraryTest, HugeEntryIsListedWithItsFullSizeAndPassedOver) {
    TempDir dir;
    fs::create_symlink(UNRAR_SYSTEM_LIBRARY, TUnRARLibrary::PathIn(dir.Path()));
    TUnRARLibrary library(dir.Path());
    std::string archive;
    ASSERT_NO_FATAL_FAILURE(Fixture("rar4/rar_ppmd_lzss_conversion.rar", archive));
    TRarArchive rar = library.OpenArchive(archive);
    int end = 0;
    EXPECT_EQ(List(rar, end), (std::vector<TListed>{{"ppmd_lzss_conversion_test.txt", 241647978, 'f'}}));
    EXPECT_EQ(end, RarResult::EndOfArchive);
}

TEST(OemToAnsiNameTest, CopiesUpToTheFirstZeroByte) {
    EXPECT_EQ(OemToAnsiName("File0001.pdf"), "File0001.pdf");
    EXPECT_EQ(OemToAnsiName("Список УР.pdf"), "Список УР.pdf");
    EXPECT_EQ(OemToAnsiName(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(OemToAnsiName(""), "");
}

} // namespace
