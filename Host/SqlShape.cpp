#include "Host/SqlShape.h"

namespace {

// More literals than this are a generated statement that would not repeat anyway.
constexpr std::size_t kMaxLiterals = 999;

bool IsIdentifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

// The position just after the quoted part that starts at begin and ends with close, a doubled
// close standing for itself; npos when it is not closed.
std::size_t SkipQuoted(std::string_view sql, std::size_t begin, char close) {
    for (std::size_t i = begin + 1; i < sql.size(); ++i)
        if (sql[i] == close) {
            if (i + 1 < sql.size() && sql[i + 1] == close && close != ']')
                ++i;
            else
                return i + 1;
        }
    return std::string_view::npos;
}

} // namespace

std::optional<SqlShape> LiftLiterals(std::string_view sql) {
    SqlShape shape;
    shape.Text.reserve(sql.size());
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        std::size_t end = i + 1;
        if (c == '\'') {
            end = SkipQuoted(sql, i, '\'');
            if (end == std::string_view::npos)
                return std::nullopt;
            const bool blob = i > 0 && (sql[i - 1] == 'x' || sql[i - 1] == 'X') &&
                              (i == 1 || !IsIdentifierChar(sql[i - 2]));
            if (!blob) {
                std::string value;
                for (std::size_t j = i + 1; j + 1 < end; ++j) {
                    value += sql[j];
                    if (sql[j] == '\'')
                        ++j;
                }
                shape.Literals.push_back(std::move(value));
                shape.Text += '?';
                i = end;
                continue;
            }
        } else if (c == '"' || c == '`' || c == '[') {
            end = SkipQuoted(sql, i, c == '[' ? ']' : c);
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            end = sql.find('\n', i);
            end = end == std::string_view::npos ? sql.size() : end;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            end = sql.find("*/", i + 2);
            end = end == std::string_view::npos ? end : end + 2;
        } else if (c == '?' || c == ':' || c == '@' ||
                   (c == '$' && (i == 0 || !IsIdentifierChar(sql[i - 1])))) {
            return std::nullopt;
        }
        if (end == std::string_view::npos)
            return std::nullopt;
        shape.Text.append(sql.substr(i, end - i));
        i = end;
    }
    if (shape.Literals.empty() || shape.Literals.size() > kMaxLiterals)
        return std::nullopt;
    return shape;
}
