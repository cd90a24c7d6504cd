// What a child process wrote on its error stream, arriving in pieces, kept within a fixed size: its first
// lines and its last ones, where a program says what went wrong. The same on every system.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

class TErrorLines {
public:
    // A converter that warns once for every broken object of a large document can write megabytes; the
    // lines that say why it failed are among its first or its last.
    static constexpr std::size_t HeadLimit = 8 * 1024; // bytes of the first lines kept
    static constexpr std::size_t TailLimit = 8 * 1024; // bytes of the last lines kept
    static constexpr std::size_t LineLimit = 1000;     // a longer line is cut there

    // Takes the next piece.
    void Keep(std::string_view text) {
        while (!text.empty()) {
            const std::size_t end = text.find('\n');
            const std::string_view part = text.substr(0, end);
            if (FLine.size() < LineLimit)
                FLine.append(part.substr(0, LineLimit - FLine.size()));
            if (end == std::string_view::npos)
                return;
            EndLine();
            text.remove_prefix(end + 1);
        }
    }

    // The kept lines in the order written, without their line ends; a last line without one included.
    // Between the first and the last lines some may be missing.
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines(FHead.begin(), FHead.end());
        lines.insert(lines.end(), FTail.begin(), FTail.end());
        if (!FLine.empty())
            lines.push_back(Finished(FLine));
        return lines;
    }

private:
    // Without its line end; a line cut at the limit loses a character cut there, so that the rest still
    // reads as UTF-8.
    static std::string Finished(std::string line) {
        if (line.ends_with('\r'))
            line.pop_back();
        if (line.size() >= LineLimit) {
            std::size_t continuation = 0;
            while (continuation < 3 && continuation < line.size() &&
                   (static_cast<unsigned char>(line[line.size() - 1 - continuation]) & 0xC0) == 0x80)
                ++continuation;
            if (continuation < line.size()) {
                const auto lead = static_cast<unsigned char>(line[line.size() - 1 - continuation]);
                const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
                if (length > continuation + 1)
                    line.resize(line.size() - continuation - 1);
            }
        }
        return line;
    }

    void EndLine() {
        std::string line = Finished(std::move(FLine));
        FLine.clear();
        if (line.empty())
            return; // says nothing
        if (FTail.empty() && FHeadSize + line.size() <= HeadLimit) {
            FHeadSize += line.size();
            FHead.push_back(std::move(line));
            return;
        }
        FTailSize += line.size();
        FTail.push_back(std::move(line));
        while (FTailSize > TailLimit && FTail.size() > 1) {
            FTailSize -= FTail.front().size();
            FTail.pop_front();
        }
    }

    std::vector<std::string> FHead;
    std::deque<std::string> FTail;
    std::size_t FHeadSize = 0, FTailSize = 0;
    std::string FLine; // the line being written
};
