#include "tools/fixturegen/PdfFixture.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr const char* FontFamily = "DejaVu Sans";
constexpr const char* FontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

void RequireGuiApplication() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        throw std::runtime_error("drawing a PDF needs a QGuiApplication");
}

// The system's fonts normally hold it; otherwise it is added to the application's (which go with the
// application object, so this is asked again for every file).
QFont FixtureFont() {
    if (!QFontDatabase::hasFamily(FontFamily) && QFontDatabase::addApplicationFont(FontFile) < 0)
        throw std::runtime_error(std::string("cannot load the font ") + FontFile +
                                 " (install fonts-dejavu-core)");
    QFont font(FontFamily);
    font.setPointSize(10);
    return font;
}

// Paints page after page; each row is drawn by a callback at its top edge and row height.
class TPageWriter {
public:
    explicit TPageWriter(const std::string& path) : writer_(QString::fromStdString(path)) {
        writer_.setPageSize(QPageSize(QPageSize::A4));
        writer_.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer_.setCreator("fixturegen");
        if (!painter_.begin(&writer_))
            throw std::runtime_error("cannot write the PDF file " + path);
        painter_.setFont(FixtureFont());
        rowHeight_ = painter_.fontMetrics().lineSpacing() * 3 / 2;
    }

    template <class Row, class Draw> void Rows(const std::vector<Row>& rows, int perPage, Draw draw) {
        perPage = std::max(perPage, 1);
        FitRows(perPage);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (i > 0 && i % static_cast<std::size_t>(perPage) == 0)
                writer_.newPage();
            const int top = static_cast<int>(i % static_cast<std::size_t>(perPage)) * rowHeight_;
            draw(painter_, rows[i], QRect(0, top, Width(), rowHeight_));
        }
    }

    int Width() const { return painter_.viewport().width(); }

    // Each page is one picture of its lines, as a scanner makes it: no text a converter can extract.
    void Scan(const std::vector<std::string>& lines, int perPage) {
        perPage = std::max(perPage, 1);
        const QRect page = painter_.viewport();
        // 150 dots per inch, a scanner's usual setting for a text page.
        const QSize size(page.width() * 150 / writer_.resolution(),
                         page.height() * 150 / writer_.resolution());
        for (std::size_t first = 0; first == 0 || first < lines.size();
             first += static_cast<std::size_t>(perPage)) {
            if (first > 0)
                writer_.newPage();
            QImage image(size, QImage::Format_Grayscale8);
            image.fill(Qt::white);
            QPainter scanner(&image);
            QFont font = FixtureFont();
            font.setPixelSize(std::max(size.height() / (2 * perPage), 4));
            scanner.setFont(font);
            const int rowHeight = size.height() / perPage;
            for (std::size_t i = first; i < lines.size() && i < first + static_cast<std::size_t>(perPage);
                 ++i) {
                const QRect row(0, static_cast<int>(i - first) * rowHeight, size.width(), rowHeight);
                scanner.drawText(row, Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(lines[i].c_str()));
            }
            scanner.end();
            painter_.drawImage(QRect(0, 0, page.width(), page.height()), image);
        }
    }

    void Finish() {
        if (!painter_.end())
            throw std::runtime_error("cannot finish the PDF file");
    }

private:
    // More rows than fit a page at the usual size get smaller type, so that none is drawn off the page.
    void FitRows(int perPage) {
        const int height = painter_.viewport().height();
        if (static_cast<long long>(perPage) * rowHeight_ <= height)
            return;
        QFont font = painter_.font();
        const double size = font.pointSizeF() * height / (static_cast<double>(perPage) * rowHeight_);
        if (size < 3)
            throw std::runtime_error(std::to_string(perPage) + " rows do not fit on a page");
        font.setPointSizeF(size);
        painter_.setFont(font);
        rowHeight_ = std::min(painter_.fontMetrics().lineSpacing() * 3 / 2, height / perPage);
    }

    QPdfWriter writer_;
    QPainter painter_;
    int rowHeight_ = 0;
};

QString Text(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

} // namespace

TPdfFixtureApplication::TPdfFixtureApplication() {
    if (QCoreApplication::instance() != nullptr)
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    application_ = std::make_unique<QGuiApplication>(argc_, argv_);
}

TPdfFixtureApplication::~TPdfFixtureApplication() = default;

void WritePdfLines(const std::string& path, const std::vector<std::string>& lines, int perPage) {
    RequireGuiApplication();
    TPageWriter pages(path);
    pages.Rows(lines, perPage, [](QPainter& painter, const std::string& line, const QRect& cell) {
        painter.drawText(cell, Qt::AlignLeft | Qt::AlignVCenter, Text(line));
    });
    pages.Finish();
}

void WritePdfTable(const std::string& path, const std::vector<TTableRow>& rows, int perPage) {
    RequireGuiApplication();
    TPageWriter pages(path);
    const int width = pages.Width();
    // Column edges as parts of the page width: number, callsign, name, city.
    const int edges[] = {0, width * 10 / 100, width * 30 / 100, width * 70 / 100, width - 1};
    pages.Rows(rows, perPage, [&edges](QPainter& painter, const TTableRow& row, const QRect& line) {
        const std::string* texts[] = {&row.Number, &row.Callsign, &row.Name, &row.City};
        const int pad = line.height() / 5;
        for (int c = 0; c < 4; ++c) {
            const QRect cell(edges[c], line.top(), edges[c + 1] - edges[c], line.height());
            painter.drawRect(cell);
            painter.drawText(cell.adjusted(pad, 0, -pad, 0), Qt::AlignLeft | Qt::AlignVCenter,
                             Text(*texts[c]));
        }
    });
    pages.Finish();
}

void WritePdfScan(const std::string& path, const std::vector<std::string>& lines, int perPage) {
    RequireGuiApplication();
    TPageWriter pages(path);
    pages.Scan(lines, perPage);
    pages.Finish();
}
