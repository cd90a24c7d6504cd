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

// One entry taken out of the archive ahead of its turn: its header, its working files and its
// converter. Until its turn its files carry a name of their own ("~File0002.pdf"), so that a file an
// earlier run left under the entry's name stays until the entry really takes it. Its files go with it,
// also when an error ends the run at its turn: the user finds the list in the archive itself.
struct TWorkingEntry {
    bool HeaderRead = false; // false: the archive could not be read this far, and Entry is not this one
    TRarEntry Entry;
    UnicodeString PdfPath, TxtPath; // the names the files have now
    std::unique_ptr<TPdfToTextProcess> Converter;
    // Why the entry cannot be read (its header or its extraction failed, or the converter could not be
    // started): raised at the entry's turn, so that the entries before it are fully processed first.
    std::exception_ptr Failure;

    TWorkingEntry() = default;
    TWorkingEntry(const TWorkingEntry&) = delete;
    TWorkingEntry& operator=(const TWorkingEntry&) = delete;
    ~TWorkingEntry();
    // Nothing after an entry that cannot be read is taken out of the archive: the run ends with it.
    bool EndsTheArchive() const { return Failure != nullptr; }

    // At its turn: waits for the converter, gives the files the entry's own names (replacing what an
    // earlier run left there), and raises when the entry cannot be read or its conversion failed.
    void TakeTurn(const UnicodeString& pdfPath, const UnicodeString& txtPath,
                  std::chrono::milliseconds conversionTime);

private:
    UnicodeString ConversionFailure(const TPdfConversionResult& conversion,
                                    const UnicodeString& workingPdf) const;
};

// The entries of the archive in order, extracted and converting up to `depth` at a time. The archive is
// read only here, on the run's own thread; the converters are child processes, so they work in
// parallel with the run without a thread of ours.
class TEntriesAhead {
public:
    TEntriesAhead(TRarArchive& archive, UnicodeString folder, std::size_t depth,
                  std::chrono::milliseconds conversionTime);

    // The next entry in archive order, nullptr after the last one.
    TWorkingEntry* Next();
    // Takes the next entry's turn: see TWorkingEntry::TakeTurn.
    void TakeTurn(TWorkingEntry& entry);
    // The current entry is done with: its working files go.
    void Finish();

private:
    // Takes entries out of the archive and starts their converters until depth are under way.
    void Fill();
    // Writes the entry's data to its working PDF, or says why not.
    std::exception_ptr Extract(TWorkingEntry& entry);
    std::exception_ptr HeaderFailure(int headerResult) const;

    TRarArchive& archive_;
    UnicodeString folder_;
    std::size_t depth_;
    std::chrono::milliseconds conversionTime_;
    std::deque<TWorkingEntry> entries_;
    std::int32_t taken_ = 0, turns_ = 0;
    bool ended_ = false;
    std::optional<UnicodeString> lastHeader_; // the name of the last entry whose header was read
};
