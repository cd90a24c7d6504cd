#include "Host/HeadlessOutput.h"

#include "Platform/CodePage.h"

#include <QRegularExpression>
#include <QStringList>

namespace {
QStringList Lines(const QString& text) {
    static const QRegularExpression lineEnd("\r\n|\r|\n");
    QStringList lines = text.split(lineEnd);
    if (lines.size() > 1 && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}
} // namespace

std::string Printable(const QString& text) {
    return UnicodeToAnsi(ReplaceControlChars(text.toStdU16String()));
}

void PrintBlock(std::ostream& out, const QString& label, const QString& text) {
    const QStringList lines = Lines(text);
    out << Printable(label) << Printable(lines.value(0)) << '\n';
    for (qsizetype i = 1; i < lines.size(); ++i)
        out << "  " << Printable(lines[i]) << '\n';
    out.flush();
}

void PrintIndented(std::ostream& out, const QString& text) {
    if (text.isEmpty())
        return;
    for (const QString& line : Lines(text))
        out << "  " << Printable(line) << '\n';
    out.flush();
}
