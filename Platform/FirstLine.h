// The first line of a stream that arrives in pieces, kept up to a limit: what a child process's error
// stream is read for, on every system.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

class TFirstLine {
public:
    static constexpr std::size_t Limit = 1000;

    // Takes the next piece; what follows the first line end, or the limit, is dropped.
    void Keep(std::string_view text) {
        if (complete_)
            return;
        const std::size_t end = text.find('\n');
        line_.append(text.substr(0, std::min(end, Limit - line_.size())));
        complete_ = end != std::string_view::npos || line_.size() >= Limit;
    }
    // The line's bytes without its line end.
    std::string_view Bytes() const {
        std::string_view line = line_;
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        return line;
    }
    // True when the line was cut at the limit, perhaps inside a character.
    bool Cut() const { return line_.size() >= Limit; }

private:
    std::string line_;
    bool complete_ = false;
};
