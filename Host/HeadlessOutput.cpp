#include "Host/HeadlessOutput.h"

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

void PrintBlock(std::ostream& out, const QString& label, const QString& text) {
    const QStringList lines = Lines(text);
    out << label.toStdString() << lines.value(0).toStdString() << '\n';
    for (qsizetype i = 1; i < lines.size(); ++i)
        out << "  " << lines[i].toStdString() << '\n';
    out.flush();
}

void PrintIndented(std::ostream& out, const QString& text) {
    if (text.isEmpty())
        return;
    for (const QString& line : Lines(text))
        out << "  " << line.toStdString() << '\n';
    out.flush();
}
