// The words of a UTF-8 text as the tests compare converted lists: runs between blanks, tabs, line ends
// and page breaks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

inline std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f') {
            if (!word.empty())
                words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty())
        words.push_back(word);
    return words;
}
