#include "Plugins/Zarbex/ZarbexLogo.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

QPixmap ZarbexLogo() {
    QImage image(54, 106, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A mast with its guy wires.
    p.setPen(QPen(QColor(0x2B, 0x4C, 0x7E), 2));
    p.drawLine(27, 8, 27, 70);
    p.setPen(QPen(QColor(0x2B, 0x4C, 0x7E, 160), 1));
    p.drawLine(27, 20, 8, 70);
    p.drawLine(27, 20, 46, 70);
    // Waves leaving the top of the mast.
    p.setPen(QPen(QColor(0xE0, 0x8A, 0x1E), 2));
    for (int r = 6; r <= 18; r += 6) {
        p.drawArc(QRectF(27 - r, 8 - r, 2 * r, 2 * r), 20 * 16, 50 * 16);
        p.drawArc(QRectF(27 - r, 8 - r, 2 * r, 2 * r), 110 * 16, 50 * 16);
    }
    // A card in the colours of the bureau lists' country.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x00, 0x57, 0xB7));
    p.drawRoundedRect(QRectF(4, 76, 46, 13), 2, 2);
    p.setBrush(QColor(0xFF, 0xD7, 0x00));
    p.drawRoundedRect(QRectF(4, 89, 46, 13), 2, 2);
    p.setPen(QColor(Qt::white));
    QFont font("DejaVu Sans");
    font.setPixelSize(9);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(4, 76, 46, 13), Qt::AlignCenter, QStringLiteral("QSL"));
    p.end();
    return QPixmap::fromImage(image);
}
