// fixturegen: draws PDF fixtures from text.
//
//   fixturegen pdf OUT.pdf --lines FILE [--per-page N]   one text line of FILE per line of the PDF
//   fixturegen pdf OUT.pdf --table FILE [--per-page N]   one row per line of FILE, columns separated by
//                                                       tabs: number, callsign, name, city
//   fixturegen pdf OUT.pdf --scan FILE [--per-page N]    the lines of FILE as a scanned page: an image
//                                                       and no text
//
// FILE is UTF-8; "-" reads standard input. Exit status 0 on success, 1 on failure, 2 on wrong usage.
#include "tools/fixturegen/PdfFixture.h"

#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

int Usage() {
    std::cerr << "usage: fixturegen pdf OUT.pdf (--lines FILE | --table FILE | --scan FILE) [--per-page N]\n"
                 "  --lines FILE   one PDF line per line of FILE (UTF-8, \"-\" for standard input)\n"
                 "  --table FILE   one table row per line of FILE: number, callsign, name, city separated "
                 "by tabs\n"
                 "  --scan FILE    the lines of FILE drawn as an image of each page, as a scanner makes it\n"
                 "  --per-page N   lines or rows per page (default 40)\n";
    return 2;
}

std::vector<std::string> ReadLines(std::istream& in) {
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> ReadLines(const std::string& file) {
    if (file == "-")
        return ReadLines(std::cin);
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + file);
    return ReadLines(in);
}

TTableRow ParseRow(const std::string& line) {
    TTableRow row;
    std::string* columns[] = {&row.Number, &row.Callsign, &row.Name, &row.City};
    std::size_t start = 0;
    for (std::string* column : columns) {
        if (start > line.size())
            break;
        const std::size_t tab = line.find('\t', start);
        *column = line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
        start = tab == std::string::npos ? line.size() + 1 : tab + 1;
    }
    return row;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 4 || args[0] != "pdf")
        return Usage();
    const std::string& out = args[1];
    std::string lines;
    std::string table;
    std::string scan;
    int perPage = 40;
    for (std::size_t i = 2; i < args.size(); i += 2) {
        if (i + 1 == args.size())
            return Usage();
        if (args[i] == "--lines")
            lines = args[i + 1];
        else if (args[i] == "--table")
            table = args[i + 1];
        else if (args[i] == "--scan")
            scan = args[i + 1];
        else if (args[i] == "--per-page")
            perPage = std::atoi(args[i + 1].c_str());
        else
            return Usage();
    }
    const int modes = int{!lines.empty()} + int{!table.empty()} + int{!scan.empty()};
    if (modes != 1 || perPage < 1)
        return Usage();
    try {
        const TPdfFixtureApplication application;
        if (!lines.empty()) {
            WritePdfLines(out, ReadLines(lines), perPage);
        } else if (!scan.empty()) {
            WritePdfScan(out, ReadLines(scan), perPage);
        } else {
            std::vector<TTableRow> rows;
            for (const std::string& line : ReadLines(table))
                rows.push_back(ParseRow(line));
            WritePdfTable(out, rows, perPage);
        }
    } catch (const std::exception& e) {
        std::cerr << "fixturegen: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
