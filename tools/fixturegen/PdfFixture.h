// Draws real PDF files for tests and demonstration data: lists of text lines and tables of bureau users,
// set in DejaVu Sans so that Latin and Cyrillic text both come out as words a converter can extract.
#pragma once

#include <memory>
#include <string>
#include <vector>

class QGuiApplication;

// Drawing needs a QGuiApplication. This keeps one alive for its own lifetime: it creates one (on the
// "offscreen" platform unless QT_QPA_PLATFORM says otherwise) when the process has no application
// object, and destroys only the one it created. Hold it in main or in a test suite's set-up, not in a
// static: Qt's own statics are gone when statics are destroyed.
class TPdfFixtureApplication {
public:
    TPdfFixtureApplication();
    TPdfFixtureApplication(const TPdfFixtureApplication&) = delete;
    TPdfFixtureApplication& operator=(const TPdfFixtureApplication&) = delete;
    ~TPdfFixtureApplication();

private:
    int argc_ = 1;
    char name_[11] = "pdffixture";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> application_;
};

// One row of a bureau users' table.
struct TTableRow {
    std::string Number;
    std::string Callsign;
    std::string Name;
    std::string City;
};

// Writes lines (UTF-8) top to bottom, perPage to a page, so ceil(lines / perPage) pages and at least one.
// Raises std::runtime_error when the process has no QGuiApplication (see TPdfFixtureApplication), when the
// file cannot be written or when the font is missing.
void WritePdfLines(const std::string& path, const std::vector<std::string>& lines, int perPage = 40);

// Writes rows as a ruled table of four columns (number, callsign, name, city), perPage rows to a page.
void WritePdfTable(const std::string& path, const std::vector<TTableRow>& rows, int perPage = 40);

// Writes lines as a scanned list: each page one image of its perPage lines, and no text at all. Lines may
// be empty: a blank page.
void WritePdfScan(const std::string& path, const std::vector<std::string>& lines, int perPage = 40);
