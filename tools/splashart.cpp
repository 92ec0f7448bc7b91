// Draws Quillet's splash picture, resources/quillet.jpg:
//   build/tools/splashart resources/quillet.jpg
// The picture is ours, drawn from scratch; rerun this after changing it and commit the JPEG.
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

namespace {

constexpr int kWidth = 1650;
constexpr int kHeight = 980;

void background(QPainter& p)
{
    QLinearGradient sky(0, 0, kWidth, kHeight);
    sky.setColorAt(0.0, QColor(0x0E, 0x1B, 0x2C));
    sky.setColorAt(1.0, QColor(0x1F, 0x3D, 0x5C));
    p.fillRect(0, 0, kWidth, kHeight, sky);

    // a faint grid, like a scope's graticule
    p.setPen(QPen(QColor(255, 255, 255, 18), 1));
    for (int x = 0; x < kWidth; x += 55)
        p.drawLine(x, 0, x, kHeight);
    for (int y = 0; y < kHeight; y += 55)
        p.drawLine(0, y, kWidth, y);
}

// A differential pair: the two lines of an RS-422 signal, mirror images of each other.
void signal(QPainter& p, int top, const QColor& colour)
{
    const int bits[] = {1, 0, 1, 1, 0, 0, 1, 0, 1, 0, 0, 1, 1, 1, 0, 1, 0, 1, 1, 0, 1, 0};
    const int bitWidth = kWidth / static_cast<int>(std::size(bits));
    for (int line = 0; line < 2; ++line) {
        QPainterPath path;
        int level = bits[0] ^ line;
        path.moveTo(0, top + (level ? 0 : 60));
        for (std::size_t i = 0; i < std::size(bits); ++i) {
            const int next = bits[i] ^ line;
            const int x = static_cast<int>(i) * bitWidth;
            if (next != level)
                path.lineTo(x, top + (next ? 0 : 60));
            path.lineTo(x + bitWidth, top + (next ? 0 : 60));
            level = next;
        }
        QColor c = colour;
        c.setAlpha(line == 0 ? 230 : 120);
        p.setPen(QPen(c, line == 0 ? 5 : 3));
        p.drawPath(path);
    }
}

void device(QPainter& p)
{
    const QRectF body(1030, 300, 470, 300);
    QLinearGradient metal(body.topLeft(), body.bottomLeft());
    metal.setColorAt(0, QColor(0xE8, 0xEC, 0xF0));
    metal.setColorAt(1, QColor(0x9A, 0xA6, 0xB2));
    p.setPen(QPen(QColor(0x10, 0x18, 0x20), 4));
    p.setBrush(metal);
    p.drawRoundedRect(body, 28, 28);

    // lamp keys along the front, one lit
    for (int i = 0; i < 4; ++i) {
        const QRectF key(1070 + i * 105, 500, 85, 50);
        p.setBrush(i == 1 ? QColor(0x80, 0xFF, 0x80) : QColor(0xD0, 0xD0, 0xD0));
        p.setPen(QPen(Qt::black, 3));
        p.drawRoundedRect(key, 10, 10);
    }
    // display window
    QRadialGradient glow(1265, 400, 220);
    glow.setColorAt(0, QColor(0x6C, 0xF0, 0xC8));
    glow.setColorAt(1, QColor(0x14, 0x50, 0x46));
    p.setBrush(glow);
    p.drawRoundedRect(QRectF(1070, 340, 390, 120), 12, 12);
    p.setPen(QColor(0x06, 0x24, 0x1E));
    QFont mono(QStringLiteral("DejaVu Sans Mono"), 34, QFont::Bold);
    p.setFont(mono);
    p.drawText(QRectF(1070, 340, 390, 120), Qt::AlignCenter, QStringLiteral("09 B0 01 ..."));

    // the cable to the workstation
    QPainterPath cable;
    cable.moveTo(1030, 450);
    cable.cubicTo(900, 450, 860, 700, 640, 720);
    p.setPen(QPen(QColor(0x22, 0x22, 0x22), 18, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(cable);
    p.setPen(QPen(QColor(0x4A, 0x90, 0xD9), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(cable);

    // the USB-to-RS-422 adapter at the workstation's end
    p.setPen(QPen(QColor(0x10, 0x18, 0x20), 4));
    p.setBrush(QColor(0x33, 0x3D, 0x48));
    p.drawRoundedRect(QRectF(520, 690, 130, 60), 14, 14);
    p.setBrush(QColor(0xB8, 0xC2, 0xCC));
    p.drawRect(QRectF(470, 703, 52, 34));
}

void title(QPainter& p)
{
    p.setPen(Qt::white);
    QFont big(QStringLiteral("DejaVu Sans"), 120, QFont::Bold);
    p.setFont(big);
    p.drawText(QRectF(110, 170, 900, 220), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Quillet"));
    QFont small(QStringLiteral("DejaVu Sans"), 34);
    p.setFont(small);
    p.setPen(QColor(0xC8, 0xD8, 0xE8));
    p.drawText(QRectF(118, 380, 900, 70), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Service tool for RS-422 controllers"));
    QFont line(QStringLiteral("DejaVu Sans"), 24);
    p.setFont(line);
    p.setPen(QColor(0x8F, 0xA8, 0xC0));
    p.drawText(QRectF(118, 450, 900, 50), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("P2 frames  \u00B7  38400 baud 8O2  \u00B7  firmware update"));
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("quillet.jpg");

    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    background(p);
    signal(p, 820, QColor(0xF2, 0xB1, 0x34));
    device(p);
    title(p);
    p.end();
    return image.save(out, nullptr, 90) ? 0 : 1;
}
