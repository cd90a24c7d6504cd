// The archive's entries on their way to the run: each taken out of the archive ahead of its turn, with
// its working files in the download folder and its converter already at work.
#pragma once

#include "Includes/PdfToText.h"
#include "Includes/UnRAR.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <optional>
#include <string>

// What a source file holds, told from its first bytes where that is easy: a list published as a bare
// PDF ("%PDF-" in its first KiB) is read as it is, and a file that is no RAR archive can be named for
// what it is. Rar: the file starts with a RAR signature; Other: nothing told (perhaps a self-extracting
// archive, which the library finds further in).
enum class TSourceContent { Other, Rar, Pdf, Empty, Zip, SevenZip, WebPage };
TSourceContent SourceContentOf(const std::string& path);
// A source is read as a bare PDF when its first KiB holds a PDF header, or when it is named ".pdf"
// (knownAs, as SourceFileName gives it) and its first bytes tell of nothing else, a RAR archive or
// another kind of file; the converter then says what it is.
bool IsBarePdf(TSourceContent content, const UnicodeString& knownAs);
// The name the user knows a source file by: a path's file name, or the last segment of an address's
// path, its %-escapes decoded.
UnicodeString SourceFileName(const UnicodeString& source, bool address);

// What the run reads its lists from: the entries of a RAR archive, or a list published as a bare PDF,
// which reads as an archive of that one entry. Calls and results are those of TRarArchive.
class TListSource {
public:
    virtual ~TListSource() = default;
    virtual int ReadHeader() = 0;
    virtual const TRarEntry& Entry() const = 0;
    virtual int Extract(const std::string& destPath) = 0;
    virtual int Skip() = 0;
    virtual UnicodeString ResultText(int result) const = 0;
    // True when the user named this very file as the list: the converter, not its first bytes, judges
    // whether it is a PDF.
    virtual bool IsNamedList() const { return false; }
};

// The entries of a RAR archive.
class TRarListSource final : public TListSource {
public:
    explicit TRarListSource(TRarArchive& archive) : FArchive(archive) {}
    int ReadHeader() override { return FArchive.ReadHeader(); }
    const TRarEntry& Entry() const override { return FArchive.Entry(); }
    int Extract(const std::string& destPath) override { return FArchive.Extract(destPath); }
    int Skip() override { return FArchive.Skip(); }
    UnicodeString ResultText(int result) const override { return FArchive.ResultText(result); }

private:
    TRarArchive& FArchive;
};

// A list published as a bare PDF: one entry, named as the user knows the file, whose extraction is a
// copy of the file, which stays as it is.
class TPdfListSource final : public TListSource {
public:
    TPdfListSource(std::string path, UnicodeString name);
    int ReadHeader() override;
    const TRarEntry& Entry() const override { return FEntry; }
    int Extract(const std::string& destPath) override;
    int Skip() override;
    UnicodeString ResultText(int result) const override;
    bool IsNamedList() const override { return true; }

private:
    std::string FPath;
    TRarEntry FEntry;
    bool FRead = false, FPending = false;
};

// Why one list could not be read while the run goes on with the others: the memo's line, which names
// the list and says why, and the reason in a word or two for the run's closing message ("damaged").
struct TUnreadList {
    UnicodeString Name, Line, Reason;
};

// One entry taken out of the archive ahead of its turn: its header, its working files and its
// converter. Until its turn its files carry a name of their own ("~File0002.pdf"), so that a file an
// earlier run left under the entry's name stays until the entry really takes it. Its files go with it,
// also when an error ends the run at its turn: the user finds the list in the archive itself.
struct TWorkingEntry {
    bool HeaderRead = false; // false: the archive could not be read this far, and Entry is not this one
    TRarEntry Entry;
    UnicodeString PdfPath, TxtPath; // the names the files have now
    std::unique_ptr<TPdfToTextProcess> Converter;
    // Why the run cannot go on past this entry (its header could not be read, the archive is cut short,
    // the download folder takes no file, the converter could not be started): raised at the entry's
    // turn, so that the entries before it are fully processed first.
    std::exception_ptr Failure;
    // Its first KiB carries no PDF header (a read-me, a picture): it is passed over, not converted.
    bool NotPdf = false;
    // Why this list cannot be read (encrypted, too large, damaged, a PDF the converter cannot read),
    // known at extraction or, at the entry's turn, from its converter; the next entries are read.
    std::optional<TUnreadList> Unread;

    TWorkingEntry() = default;
    TWorkingEntry(const TWorkingEntry&) = delete;
    TWorkingEntry& operator=(const TWorkingEntry&) = delete;
    ~TWorkingEntry();
    // Nothing after an entry that cannot be read is taken out of the archive: the run ends with it.
    bool EndsTheArchive() const { return Failure != nullptr; }

    // At its turn: waits for the converter, gives the files the entry's own names (replacing what an
    // earlier run left there), and raises when the run cannot go on past the entry; a failed
    // conversion sets Unread.
    void TakeTurn(const UnicodeString& pdfPath, const UnicodeString& txtPath,
                  std::chrono::milliseconds conversionTime);
    // Records why the list cannot be read.
    void SetUnread(UnicodeString line, UnicodeString reason);

private:
    UnicodeString ConversionFailure(const TPdfConversionResult& conversion,
                                    const UnicodeString& workingPdf) const;
};

// The entries of the archive in order, extracted and converting up to `depth` at a time. The archive is
// read only here, on the run's own thread; the converters are child processes, so they work in
// parallel with the run without a thread of ours.
class TEntriesAhead {
public:
    // archiveName: the archive as the user gave it, for the messages that name it.
    TEntriesAhead(TListSource& archive, UnicodeString archiveName, UnicodeString folder, std::size_t depth,
                  TPdfConversionLimits limits);

    // The next entry in archive order, nullptr after the last one.
    TWorkingEntry* Next();
    // Takes the next entry's turn: see TWorkingEntry::TakeTurn.
    void TakeTurn(TWorkingEntry& entry);
    // The current entry is done with: its working files go.
    void Finish();

private:
    // Takes entries out of the archive and starts their converters until depth are under way.
    void Fill();
    // Writes the entry's data to its working PDF and starts its converter, or says why not.
    void Prepare(TWorkingEntry& entry);
    // Writes the entry's data to its working PDF; a failure that ends the run is returned, one of this
    // list alone is recorded in the entry.
    std::exception_ptr Extract(TWorkingEntry& entry);
    std::exception_ptr HeaderFailure(int headerResult) const;
    // The archive ends before its end: what was read of it stays, and the user learns what was not.
    std::exception_ptr CutFailure() const;

    TListSource& FArchive;
    UnicodeString FArchiveName;
    UnicodeString FFolder;
    std::size_t FDepth;
    TPdfConversionLimits FLimits;
    std::deque<TWorkingEntry> FEntries;
    std::int32_t FTaken = 0, FTurns = 0;
    bool FEnded = false;
    std::optional<UnicodeString> FLastHeader; // the name of the last entry whose header was read
    std::optional<UnicodeString> FLastList;   // the name of the last list taken out whole
};
