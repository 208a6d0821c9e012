#include "panel/pictures.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QPainter>
#include <QRadialGradient>

namespace kestrava {

QPixmap drivePadPicture()
{
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillRect(127, 0, 2, 256, Qt::black); // columns 127 and 128
    painter.fillRect(0, 127, 256, 2, Qt::black); // rows 127 and 128
    return QPixmap::fromImage(image);
}

QPixmap lampPicture()
{
    QImage image(11, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(5.5, 8.0), 6.0, QPointF(4.0, 6.0));
    glow.setColorAt(0.0, QColor(0xff, 0xf0, 0xa0));
    glow.setColorAt(0.35, QColor(0xff, 0x8a, 0x20));
    glow.setColorAt(1.0, QColor(0xc8, 0x28, 0x08));
    painter.setPen(QPen(QColor(0x80, 0x18, 0x00), 0.8));
    painter.setBrush(glow);
    painter.drawEllipse(QRectF(0.5, 0.5, 10.0, 14.0)); // the glass bulb
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x70, 0x70, 0x70));
    painter.drawRect(QRectF(2.5, 14.5, 6.0, 5.0)); // the socket
    painter.setBrush(QColor(0xa0, 0xa0, 0xa0));
    painter.drawRect(QRectF(2.5, 16.0, 6.0, 1.0));
    return QPixmap::fromImage(image);
}

namespace {

struct BannerColours
{
    QColor left;
    QColor right;
    QColor line;
};

BannerColours coloursOf(BannerTone tone)
{
    switch (tone) {
    case BannerTone::Simulated: return {QColor(0x7a, 0x4a, 0x00), QColor(0xc8, 0x86, 0x10), Qt::white};
    case BannerTone::Warning: return {QColor(0x6e, 0x0c, 0x0c), QColor(0xb8, 0x24, 0x1c), Qt::white};
    case BannerTone::Hardware: break;
    }
    return {QColor(0x0d, 0x2b, 0x4e), QColor(0x1f, 0x6f, 0x9f), QColor(0xcf, 0xe6, 0xf5)};
}

} // namespace

QPixmap bannerPicture(const QString &line, BannerTone tone)
{
    const BannerColours colours = coloursOf(tone);
    QImage image(431, 62, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient sky(0, 0, 431, 0);
    sky.setColorAt(0.0, colours.left);
    sky.setColorAt(1.0, colours.right);
    painter.fillRect(image.rect(), sky);

    QFont title(QStringLiteral("DejaVu Sans"));
    title.setBold(true);
    title.setPixelSize(26);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 2.0);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRect(14, 4, 410, 34), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("KESTRAVA"));

    QFont subtitle(QStringLiteral("DejaVu Sans"));
    subtitle.setPixelSize(13);
    subtitle.setBold(tone != BannerTone::Hardware);
    painter.setFont(subtitle);
    painter.setPen(colours.line);
    // A long device path gives way in its middle; the label's tooltip has it whole.
    const QRect room(14, 36, 410, 22);
    painter.drawText(room, Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(line, Qt::ElideMiddle, room.width()));

    if (tone == BannerTone::Warning)
        return QPixmap::fromImage(image); // the line may need the whole width

    // A kestrel's wing, three sweeping strokes at the right.
    painter.setPen(QPen(QColor(255, 255, 255, 150), 3, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 3; ++i) {
        QPainterPath wing(QPointF(300 + 14 * i, 48));
        wing.quadTo(QPointF(350 + 14 * i, 6 + 6 * i), QPointF(418, 14 + 8 * i));
        painter.drawPath(wing);
    }
    return QPixmap::fromImage(image);
}

} // namespace kestrava
