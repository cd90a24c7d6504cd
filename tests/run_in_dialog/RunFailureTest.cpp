// How a run that cannot be completed ends, through the real dialog: every failure names what failed and
// why, in words for the user, and never a working file the user did not make.
#include "UpdateFixture.h"

#include "Platform/QuantityText.h"
#include "tests/support/BrokenPdfs.h"
#include "tests/support/BrokenRars.h"
#include "tests/support/Fixture.h"
#include "tests/support/FolderCondition.h"
#include "tests/support/RarNames.h"

#include <sys/statvfs.h>

namespace {

// Texts the user must never see in a message: the working files' names.
void ExpectNoWorkingFileNamed(const std::string& text) {
    for (const char* working : {"File0", "~ar", ".txt"})
        EXPECT_EQ(text.find(working), std::string::npos) << working << " in: " << text;
}

std::uint64_t FreeBytes(const fs::path& folder) {
    struct statvfs space {};
    EXPECT_EQ(statvfs(folder.c_str(), &space), 0);
    return std::uint64_t{space.f_bavail} * space.f_frsize;
}

using namespace std::string_literals;

struct RunFailureTest : UpdateRunTest {
    std::size_t logStart = 0; // log lines before the run under test

    // The run ended through its error path: one message, no summary, the "failed." log line, REFRESH
    // only when the callbook changed, and the dialog ready for another run.
    void ExpectErrorPath(const std::string& source, const std::string& memo, const std::string& message,
                         bool changed) {
        EXPECT_EQ(Memo(), memo);
        ExpectFailure(source, message, changed);
    }
    // The message, log line and commands of a run that failed.
    void ExpectFailure(const std::string& source, const std::string& message, bool changed) {
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].first, u"Error");
        EXPECT_EQ(QString::fromStdU16String(messages[0].second).toStdString(), message);
        ExpectNoWorkingFileNamed(QString::fromStdU16String(messages[0].second).toStdString());
        const std::vector<std::string> log = Log();
        EXPECT_EQ(std::vector<std::string>(log.begin() + static_cast<std::ptrdiff_t>(logStart), log.end()),
                  std::vector<std::string>{"Exec: " + std::string(kCaption) + ", " + source + " failed."});
        EXPECT_EQ(commands.size(), changed ? 1u : 0u) << "REFRESH when the callbook changed";
        EXPECT_FALSE(form->Presenter().IsUpdateDone());
        EXPECT_TRUE(w.dbtUpdateOk->isEnabled());
    }
    // The run took the failure branch of a source that was not obtained: the reason in the memo, then
    // the message and the log line of that branch.
    void ExpectFailedSource(const std::string& source, const std::string& reason) {
        const std::string memo = Memo();
        EXPECT_EQ(memo.rfind("* Download failed: " + reason, 0), 0u) << memo;
        EXPECT_TRUE(memo.ends_with("\n") && memo.find('\n') == memo.size() - 1) << "one line: " << memo;
        ExpectNoWorkingFileNamed(memo);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0], std::make_pair(u"Error"s, u"Resource open error: " + Utf8ToString(source)));
        const std::vector<std::string> log = Log();
        EXPECT_EQ(std::vector<std::string>(log.begin() + static_cast<std::ptrdiff_t>(logStart), log.end()),
                  std::vector<std::string>{"Exec: " + std::string(kCaption) + ", " + source + " failed."});
        EXPECT_TRUE(commands.empty());
        EXPECT_FALSE(form->Presenter().IsUpdateDone());
        EXPECT_TRUE(FileNames(download).empty()) << "nothing of the download is left";
    }
    void Reset() {
        messages.clear();
        commands.clear();
        logStart = Log().size();
        callbook->ExecSQL("UPDATE CALLBOOK SET Use_BUREAU = FALSE");
        for (const auto& name : FileNames(download))
            fs::remove(download / name);
    }
};

// A list that cannot be extracted or converted is named in the memo with its reason, and the run goes on
// with the next entries; at the end the run fails naming every list it could not read, with the other
// lists' updates made. Nothing is extracted for an entry that needs a password or would unpack to more
// than the limit or the free space.
TEST_F(RunFailureTest, AListThatCannotBeReadIsNamedAndTheOthersAreRead) {
    const fs::path big = dir / "big.pdf", locked = dir / "locked.pdf", brotli = dir / "brotli.pdf",
                   secret = dir / "secret.pdf";
    std::string noise(2 << 20, '\0');
    std::mt19937 random(11);
    for (char& c : noise)
        c = static_cast<char>(random());
    WriteFile(big, noise);
    WriteFile(locked, PasswordProtectedPdf());
    WriteFile(brotli, BrotliPdf());
    fs::copy_file(pdfB, secret);
    const std::string lockedLine =
        "      Cannot convert \"locked.pdf\" to text: it is protected by a password "
        "(the PDF converter reported \"Incorrect password\")\n";
    const std::string brotliLine =
        "      Cannot convert \"brotli.pdf\" to text: it uses a compression that the "
        "PDF converter cannot read (BrotliDecode)\n";
    using Kind = FolderCondition::Kind;
    const struct {
        const char* name;
        std::function<fs::path()> archive;
        std::optional<Kind> folder; // the state of the download folder during the run
        std::function<std::string()> entries, unread;
        const char* counts;
        int flagged; // bureau flags set by the run
    } cases[] = {
        {"a password and a compression among good lists",
         [&] {
             Rar(dir / "mixed.rar", {pdfA, locked, brotli, pdfB});
             return dir / "mixed.rar";
         },
         std::nullopt,
         [&] {
             return ListA() + Parsing("locked.pdf", locked) + lockedLine + Parsing("brotli.pdf", brotli) +
                    brotliLine + ListB();
         },
         [] {
             return "2 of 4 lists could not be read: locked.pdf (password), brotli.pdf (unsupported compression)"s;
         },
         "Files:4, Tot:7, Upd:4", 3},
        {"an encrypted entry",
         [&] {
             Rar(dir / "encrypted.rar", {pdfA});
             Rar(dir / "encrypted.rar", {secret}, {"-psecret"});
             return dir / "encrypted.rar";
         },
         std::nullopt,
         [&] {
             return ListA() + Parsing("secret.pdf", secret) +
                    "      Cannot extract \"secret.pdf\" from the archive: it is encrypted (protected by a "
                    "password)\n";
         },
         [] { return "1 of 2 lists could not be read: secret.pdf (encrypted)"s; }, "Files:2, Tot:4, Upd:2",
         2},
        {"damaged entry",
         [&] {
             // Stored, the second list's bytes stand in the archive as they are: one changed is a CRC error.
             Rar(dir / "damaged.rar", {pdfA, pdfB}, {"-m0"});
             std::string bytes = ReadFile(dir / "damaged.rar");
             const std::string second = ReadFile(pdfB);
             // The last occurrence: the two lists share their fonts.
             const std::size_t at = bytes.rfind(second.substr(second.size() / 2, 64));
             EXPECT_NE(at, std::string::npos);
             bytes[at] = static_cast<char>(~bytes[at]);
             WriteFile(dir / "damaged.rar", bytes);
             return dir / "damaged.rar";
         },
         std::nullopt,
         [&] {
             return ListA() + Parsing("b.pdf", pdfB) +
                    "      Cannot extract \"b.pdf\" from the archive: the data is damaged or cut short (CRC "
                    "error)\n";
         },
         [] { return "1 of 2 lists could not be read: b.pdf (damaged)"s; }, "Files:2, Tot:4, Upd:2", 2},
        {"2 GiB entry", [] { return fs::path(HUGE_ARCHIVE); }, std::nullopt,
         [] {
             return "   Parsing zeros.pdf (2147483648 bytes)\n      Cannot extract from the archive: \"zeros.pdf\" unpacks to 2147483648 bytes (2048 MiB), more than the limit of 268435456 bytes (256 MiB)\n"s;
         },
         [] { return "1 of 1 list could not be read: zeros.pdf (too large)"s; }, "Files:1, Tot:0, Upd:0", 0},
        {"full download folder",
         [&] {
             // First, so that the free space it is measured against is that of the empty folder.
             Rar(dir / "big.rar", {big, pdfA});
             return dir / "big.rar";
         },
         Kind::NearlyFull,
         [&] {
             return Parsing("big.pdf", big) +
                    "      Cannot extract from the archive: \"big.pdf\" unpacks to 2097152 bytes (2 MiB), "
                    "more than the " +
                    ByteCountText(FreeBytes(download)) + " free in \"" + download.string() + "\"\n" + ListA();
         },
         [] { return "1 of 2 lists could not be read: big.pdf (too large)"s; }, "Files:2, Tot:4, Upd:2", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        const fs::path archive = c.archive();
        std::unique_ptr<FolderCondition> condition;
        if (c.folder && !(condition = FolderCondition::ForCase(c.name, *c.folder, download)))
            continue;
        const std::string entries = c.entries(), unread = c.unread();
        Run(1, archive.string());
        condition.reset();
        ExpectMemo("* Use: " + archive.string() + "\n" + entries + "   " + unread + "\n", c.counts);
        ExpectNoWorkingFileNamed(Memo());
        ExpectFailure(archive.string(), unread, c.flagged > 0);
        EXPECT_EQ(callbook->Count({}, true), c.flagged);
        EXPECT_TRUE(FileNames(download).empty());
    }
    w.dbtUpdateCancel->click();
    EXPECT_FALSE(fs::exists(dir / "host.ini")) << "a run that left lists unread is remembered";
}

// What keeps every entry from the run ends it through its error path, naming the archive and why: its
// headers encrypted or damaged, a download folder that takes no file.
TEST_F(RunFailureTest, AnArchiveThatCannotBeReadPastAnEntryEndsTheRun) {
    ASSERT_NO_FATAL_FAILURE(Rar(dir / "lists.rar", {pdfA, pdfB}));
    const std::string whole = ReadFile(dir / "lists.rar");
    const auto spoilt = [&](const std::string& name, std::string bytes) {
        WriteFile(dir / name, bytes);
        return dir / name;
    };
    std::string wrongType = whole, pastTheEnd = whole;
    ASSERT_TRUE(SpoilMainHeaderType(wrongType));
    ASSERT_TRUE(StretchMainHeaderPastTheEnd(pastTheEnd));
    const std::string damaged =
        "Cannot read the archive's first entry: the archive is damaged (its headers do not match the file)";
    using Kind = FolderCondition::Kind;
    const struct {
        const char* name;
        std::function<fs::path()> archive;
        std::optional<Kind> folder;
        std::function<std::string()> entries, message;
    } cases[] = {
        {"headers encrypted",
         [&] {
             Rar(dir / "headers.rar", {pdfA, pdfB}, {"-hpsecret"});
             return dir / "headers.rar";
         },
         std::nullopt, [] { return ""s; },
         [&] {
             return "Cannot open the archive \"" + (dir / "headers.rar").string() +
                    "\": it is encrypted (protected by a password)";
         }},
        {"main header damaged", [&] { return spoilt("type.rar", wrongType); }, std::nullopt,
         [] { return ""s; }, [&] { return damaged; }},
        {"main header past the end", [&] { return spoilt("past.rar", pastTheEnd); }, std::nullopt,
         [] { return ""s; }, [&] { return damaged; }},
        {"read-only download folder", [&] { return dir / "lists.rar"; }, Kind::ReadOnly,
         [&] { return Parsing("a.pdf", pdfA); },
         [&] {
             return "Cannot extract \"a.pdf\" from the archive into \"" + download.string() +
                    "\": the output file cannot be created";
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        const fs::path archive = c.archive();
        std::unique_ptr<FolderCondition> condition;
        if (c.folder && !(condition = FolderCondition::ForCase(c.name, *c.folder, download)))
            continue;
        const std::string message = c.message();
        Run(1, archive.string());
        ExpectErrorPath(archive.string(), "* Use: " + archive.string() + "\n" + c.entries(), message, false);
        condition.reset();
        EXPECT_EQ(callbook->Count({}, true), 0);
        EXPECT_TRUE(FileNames(download).empty());
    }
}

// An archive cut short is a failure, not a shorter success: the lists before the cut are read and their
// updates stay, then the run ends through its error path naming the archive and the last list read
// whole, and the cut archive is not remembered as the source.
TEST_F(RunFailureTest, AnArchiveCutShortEndsTheRunAfterTheListsBeforeIt) {
    ASSERT_NO_FATAL_FAILURE(Rar(dir / "stored.rar", {pdfA, pdfB}, {"-m0"}));
    ASSERT_NO_FATAL_FAILURE(Rar(dir / "solid.rar", {pdfA, pdfB}, {"-s"}));
    const std::string stored = ReadFile(dir / "stored.rar"), solid = ReadFile(dir / "solid.rar");
    // Stored, the first list's bytes stand in the archive as they are; the second list's header follows.
    const std::size_t afterA = stored.find(ReadFile(pdfA)) + fs::file_size(pdfA);
    ASSERT_LT(afterA, stored.size());
    fs::create_directories(dir / "www");
    const auto cut = [&](const std::string& name, const std::string& bytes) {
        WriteFile(dir / "www" / name, bytes);
        return (dir / "www" / name).string();
    };
    std::string rar4;
    ASSERT_NO_FATAL_FAILURE(Fixture("rar4/rar_invalid1.rar", rar4));
    TestServer server(dir / "www");
    const auto cutAfter = [](const std::string& source, const std::string& list) {
        return "The archive \"" + source + "\" is cut short after \"" + list +
               "\": the lists after it were not read";
    };
    const std::string between = cut("between.rar", stored.substr(0, afterA));
    const std::string inData = cut("indata.rar", solid.substr(0, solid.size() - 200));
    const std::string noEnd = cut("noend.rar", stored.substr(0, stored.size() - 8));
    const std::string signature = cut("signature.rar", std::string("Rar!\x1a\x07\x01\x00", 8));
    const struct {
        const char* name;
        int location;
        std::string source, entries, message;
        int flagged;
    } cases[] = {
        {"between the lists", 1, between, ListA(), cutAfter(between, "a.pdf"), 2},
        {"in the second list's data", 1, inData, ListA() + Parsing("b.pdf", pdfB), cutAfter(inData, "a.pdf"),
         2},
        {"only its end-of-archive block missing", 1, noEnd, ListA() + ListB(), cutAfter(noEnd, "b.pdf"), 3},
        {"nothing but the signature", 1, signature, "",
         "The archive \"" + signature + "\" is cut short: none of its lists could be read", 0},
        {"RAR 4, in the first list's data", 1, rar4, "   Parsing test (3 bytes)\n",
         "The archive \"" + rar4 + "\" is cut short: none of its lists could be read", 0},
        {"downloaded", 0, server.Url("/files/between.rar"), ListA(),
         cutAfter(server.Url("/files/between.rar"), "a.pdf"), 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        ASSERT_NO_FATAL_FAILURE(Run(c.location, c.source));
        ExpectErrorPath(c.source, "* Use: " + c.source + "\n" + c.entries, c.message, c.flagged > 0);
        EXPECT_EQ(callbook->Count({}, true), c.flagged) << "the updates before the cut stay";
        EXPECT_TRUE(FileNames(download).empty());
    }
    w.dbtUpdateCancel->click();
    // The settings file is written only after a good run: here it is not made at all.
    EXPECT_FALSE(fs::exists(dir / "host.ini")) << "a cut archive is remembered";
}

// A multi-volume archive that cannot be read as given: a later part without its first part beside it
// holds nothing to read on its own, and the memo says which part to choose; a part that is missing
// ends the run naming it.
TEST_F(RunFailureTest, AMultiVolumeArchiveWithoutItsFirstOrNextPartSaysWhichPart) {
    const fs::path set = dir / "set";
    fs::create_directories(set);
    ASSERT_NO_FATAL_FAILURE(Rar(set / "lists.rar", {pdfA, pdfB}, {"-m0", "-v6k"}));
    ASSERT_TRUE(fs::exists(set / "lists.part3.rar"));
    const auto alone = [&](const std::string& folder, const std::string& part, const std::string& name) {
        fs::create_directories(dir / folder);
        fs::copy_file(set / part, dir / folder / name);
        return (dir / folder / name).string();
    };
    const std::string second = alone("second", "lists.part2.rar", "lists.part2.rar");
    const std::string oldSecond = alone("old", "lists.part2.rar", "lists.r00");
    const std::string first = alone("gap", "lists.part1.rar", "lists.part1.rar");
    alone("gap", "lists.part3.rar", "lists.part3.rar");
    TestServer server(set);

    const auto choose = [](const std::string& source, const std::string& firstPart) {
        return "   The archive \"" + source +
               "\" is part 2 of a multi-volume archive: choose its first part, " + firstPart + "\n";
    };
    const struct {
        int location;
        std::string source, line;
    } later[] = {
        {1, second, choose(second, "lists.part1.rar")},
        {1, oldSecond, choose(oldSecond, "lists.rar")},
        {0, server.Url("/files/lists.part2.rar"),
         choose(server.Url("/files/lists.part2.rar"), "lists.part1.rar")},
    };
    for (const auto& c : later) {
        SCOPED_TRACE(c.source);
        Reset();
        w.edSource->clear();
        ASSERT_NO_FATAL_FAILURE(Run(c.location, c.source));
        ExpectMemo("* Use: " + c.source + "\n" + c.line, "Files:0, Tot:0, Upd:0");
        EXPECT_TRUE(messages.empty());
        EXPECT_EQ(LastLog(), "Exec: " + std::string(kCaption) + ", " + c.source + " failed.");
        EXPECT_FALSE(form->Presenter().IsUpdateDone());
        EXPECT_TRUE(FileNames(download).empty());
    }

    // The first list goes on in the second part.
    const struct {
        int location;
        std::string source, message;
    } missing[] = {
        {1, first, "Cannot extract \"a.pdf\" from the archive: the next part lists.part2.rar is missing"},
        {0, server.Url("/files/lists.part1.rar"),
         "Cannot extract \"a.pdf\" from the archive: the next part lists.part2.rar is missing (an address "
         "gives "
         "one part only: save every part in one folder and choose the first)"},
    };
    for (const auto& c : missing) {
        SCOPED_TRACE(c.source);
        Reset();
        w.edSource->clear();
        ASSERT_NO_FATAL_FAILURE(Run(c.location, c.source));
        ExpectErrorPath(c.source, "* Use: " + c.source + "\n" + Parsing("a.pdf", pdfA), c.message, false);
        EXPECT_TRUE(FileNames(download).empty());
    }
}

// The converter is stopped at its time limit (shortened here), the memo names the list it was
// converting, and the run goes on with the next list.
TEST_F(RunFailureTest, AConverterThatTakesTooLongIsStoppedAndNamed) {
    const fs::path script = Converter("slow", "case \"$1\" in *File0002.pdf) exec sleep 60 ;; esac\n"
                                              "exec pdftotext \"$@\"");
    ScopedEnv slow("ZARBEX_PDFTOTEXT", script.c_str());
    const fs::path archive = dir / "lists.rar", pdfC = dir / "c.pdf";
    fs::copy_file(pdfB, pdfC);
    Rar(archive, {pdfA, pdfB, pdfC});
    TRunOptions options = TRunOptions::FromEnvironment();
    options.ConversionTime = std::chrono::seconds(1);
    TUpdateRun run(ComPtr<IHostKernel>(host.get()), ComPtr<IHostServer>(host.get()), form->Presenter(),
                   Utf8ToString(kCaption), options);
    const std::string unread = "1 of 3 lists could not be read: b.pdf (time limit)";
    try {
        run.Execute({SourceLocation::Local, Utf8ToString(archive.string())});
        ADD_FAILURE() << "the run ended without an error";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), unread);
    }
    ExpectMemo(
        "* Use: " + archive.string() + "\n" + ListA() + Parsing("b.pdf", pdfB) +
            "      Cannot convert \"b.pdf\" to text: the PDF converter took longer than the limit of 1 "
            "second and was stopped\n" +
            Parsing("c.pdf", pdfC) + "      Found 3, updated 2 callsigns\n   " + unread + "\n",
        "Files:3, Tot:7, Upd:4");
    EXPECT_EQ(callbook->Count({}, true), 3);
    EXPECT_TRUE(FileNames(download).empty()) << "the working files of the stopped list are left";
}

// Names come from the archive's author: a line end cannot forge memo lines, an escape cannot reach a
// terminal, and a name of bytes that are no text, or that decodes to nothing, is extracted and read like
// any other.
TEST_F(RunFailureTest, EntryNamesAreShownSafelyAndDoNotMatterForTheExtraction) {
    const fs::path folder = dir / "names";
    fs::create_directories(folder);
    const std::string forged = "a\r\n- Done. Files:9\x1b[31m.pdf", undecodable = "\xff\xfe.pdf";
    fs::copy_file(pdfA, folder / forged);
    fs::copy_file(pdfB, folder / undecodable);
    fs::copy_file(pdfB, folder / "0c.pdf"); // first in every collation
    const fs::path archive = dir / "names.rar";
    const std::string command =
        "cd '" + folder.string() + "' && '" RAR_PROGRAM "' a -idq -qo- '" + archive.string() + "' *";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    // As another program may store a name: bytes that are no UTF-8 from its start.
    std::string bytes = ReadFile(archive);
    ASSERT_TRUE(MakeNameUndecodable(bytes, "0c.pdf"));
    WriteFile(archive, bytes);

    Run(1, archive.string());
    EXPECT_TRUE(messages.empty());
    const std::string listB = "      Found 3, updated 2 callsigns\n";
    ExpectMemo("* Use: " + archive.string() + "\n" + Parsing("(no readable name)", pdfB) + listB +
                   Parsing("a\uFFFD\uFFFD- Done. Files:9\uFFFD[31m.pdf", pdfA) +
                   "      Found 4, updated 2 callsigns\n" + Parsing("\uFFFD\uFFFD.pdf", pdfB) + listB,
               "Files:3, Tot:10, Upd:6");
    EXPECT_EQ(callbook->Count({}, true), 3);
    EXPECT_TRUE(FileNames(download).empty());
}

// A download that does not bring the whole archive is a source not obtained: the memo says why, in the
// server's or the network library's words, and nothing of it stays in the download folder.
TEST_F(RunFailureTest, AFailedDownloadIsAFailedSourceWithItsReason) {
    fs::create_directories(dir / "www");
    WriteFile(dir / "www" / "lists.rar", std::string(3 << 20, 'r'));
    TestServer server(dir / "www");
    ClosedPort closed;
    const fs::path certificate = dir / "cert.pem", key = dir / "key.pem";
    const std::string openssl = std::string(OPENSSL_PROGRAM) +
                                " req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1"
                                " -addext subjectAltName=IP:127.0.0.1 -keyout '" +
                                key.string() + "' -out '" + certificate.string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(openssl.c_str()), 0) << openssl;
    TestServer secure(dir / "www", TestServer::Tls{certificate, key});
    const ScopedEnv systemStore("CURL_CA_BUNDLE", nullptr);
    WriteFile(app / "libeay32.dll", "");
    WriteFile(app / "ssleay32.dll", "");
    const struct {
        const char* name;
        std::string url;
        std::string reason; // how the memo line goes on
        bool full = false;  // the download folder has no room for the archive
    } cases[] = {
        {"404", server.Url("/files/missing.rar"), "HTTP/1.1 404 Not Found"},
        {"500", server.Url("/status/500"), "HTTP/1.1 500 Internal Server Error"},
        {"redirect", server.Url("/redirect"), "HTTP/1.1 302 Found"},
        {"refused", closed.Url("/lists.rar"), "Failed to connect to 127.0.0.1 port "},
        {"self-signed certificate", secure.Url("/files/lists.rar"),
         "SSL certificate problem: self-signed certificate"},
        {"larger than the limit", server.Url("/large/300000000"),
         "the file is larger than the download limit of 268435456 bytes (256 MiB)"},
        {"full download folder", server.Url("/files/lists.rar"),
         "Cannot write file in \"" + download.string() + "\": No space left on device", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        std::unique_ptr<FolderCondition> condition;
        if (c.full &&
            !(condition = FolderCondition::ForCase(c.name, FolderCondition::Kind::NearlyFull, download)))
            continue;
        Run(0, c.url);
        ExpectFailedSource(c.url, c.reason);
        EXPECT_TRUE(w.psInfo->text().isEmpty());
    }
}

// A server that sends a byte now and then never stalls: the overall time limit (shortened here) or the
// user's Close ends the download. While it runs, the status shows what arrived.
TEST_F(RunFailureTest, ATrickleEndsAtTheTimeLimitOrAtClose) {
    fs::create_directories(dir / "www");
    TestServer server(dir / "www");
    const std::string url = server.Url("/trickle");
    {
        TRunOptions options = TRunOptions::FromEnvironment();
        options.DownloadTime = std::chrono::seconds(1);
        TUpdateRun run(ComPtr<IHostKernel>(host.get()), ComPtr<IHostServer>(host.get()), form->Presenter(),
                       Utf8ToString(kCaption), options);
        EXPECT_FALSE(run.Execute({SourceLocation::Internet, Utf8ToString(url)}));
        ExpectFailedSource(url, "the download took longer than the limit of 1 second");
    }

    Reset();
    QString shown;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!w.psInfo->text().contains("byte"))
            return;
        shown = w.psInfo->text();
        watch.stop();
        w.dbtUpdateCancel->click();
    });
    watch.start();
    Run(0, url);
    EXPECT_TRUE(
        QRegularExpression(QRegularExpression::anchoredPattern(R"(Trying to load file\.\.\. \d+ bytes?)"))
            .match(shown)
            .hasMatch())
        << shown.toStdString();
    ExpectFailedSource(url, "the download was cancelled by the user");
    EXPECT_FALSE(form->isVisible()) << "the dialog closes after the run";
}

} // namespace
