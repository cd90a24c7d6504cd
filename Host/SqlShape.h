// Statements that differ only in their text literals, such as one UPDATE per call, share one
// prepared statement when the literals are lifted out as parameters.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct SqlShape {
    std::string Text;                  // the statement with each lifted literal replaced by "?"
    std::vector<std::string> Literals; // their values, in the order of the parameters
};

// Lifts the single-quoted text literals out of sql. nullopt when there is nothing to lift or the
// text cannot be lifted safely: it names parameters of its own, or a quote or comment is not closed.
// Blob literals (X'..') stay in place.
std::optional<SqlShape> LiftLiterals(std::string_view sql);
