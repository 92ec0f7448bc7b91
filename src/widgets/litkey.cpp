#include "litkey.h"

#include "config.h"
#include "uisr.h"

#include <QFontInfo>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int kOnCode = 0x12;
constexpr int kOffCode = 0x13;

// Up to this height there is no room for rounded corners on the outline.
constexpr int kPlainOutlineHeight = 12;
// Below this height the body's corners are squared off as well.
constexpr int kSquareBodyHeight = 12;
// The outline's corner arc, whatever the body's is.
constexpr int kOutlineArc = 6;

bool sameText(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

litkey::litkey(QWidget* parent) : QWidget(parent) {}

QSize litkey::sizeHint() const
{
    return {82, 20};
}

void litkey::Event_Open()
{
    Textfont = config::getfont(QStringLiteral("basefont"));
    setheight(height());
}

void litkey::redraw()
{
    render(look());
    update();
}

void litkey::setcaption(const QString& text)
{
    if (sameText(text, caption))
        return;
    caption = text;
    redraw();
}

void litkey::setlit(bool on)
{
    if (on == lit)
        return;
    lit = on;
    redraw();
}

void litkey::setcolor(const QString& name)
{
    if (sameText(name, QStringLiteral("red"))) {
        litcolor = QColor(0xFF, 0x00, 0x00);
        TextLitcolor = QColor(0xFF, 0xFF, 0xFF);
    } else if (sameText(name, QStringLiteral("lime"))) {
        litcolor = QColor(0x00, 0xFF, 0x00);
        TextLitcolor = QColor(0x00, 0x00, 0x00);
    } else {
        litcolor = QColor(0xC5, 0xFF, 0xC5);
        TextLitcolor = QColor(0x00, 0x00, 0x00);
    }
    redraw();
}

void litkey::setkursor(int value)
{
    if (value == kursor)
        return;
    kursor = value;
    redraw();
}

void litkey::setheight(int h)
{
    resize(width(), h);
    settextsize(height() * 4 / 7);
    // The new corner shows at the next paint; the text size has just redrawn the key.
    if (h < kSquareBodyHeight)
        rad = 0;
}

void litkey::tag2caption()
{
    setcaption(uisr::cmd2caption(Tag));
    if (Tag == kOnCode)
        setcolor(QStringLiteral("Red"));
    else if (Tag == kOffCode)
        setlit(true);
}

void litkey::settag(int code)
{
    if (code == Tag)
        return;
    Tag = code;
    tag2caption();
}

void litkey::settagnum(int n)
{
    Tag = n;
    setcaption(QString::number(n));
}

void litkey::setrad(int value)
{
    rad = value;
    redraw();
}

void litkey::settextsize(int value)
{
    textsize = value;
    redraw();
}

void litkey::Setlitcaption(const QString& text)
{
    if (sameText(text, litcaption))
        return;
    litcaption = text;
    flitcaption = !text.isEmpty();
    if (lit)
        redraw();
}

void litkey::paintEvent(QPaintEvent* /*event*/)
{
    // The owner may have assigned a property directly since the last redraw.
    const Look now = look();
    if (m_image.isNull() || !(now == m_drawn))
        render(now);
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
}

void litkey::mousePressEvent(QMouseEvent* event)
{
    emit action(this);
    event->accept();
}

litkey::Look litkey::look() const
{
    Look result;
    result.size = size();
    if (lit) {
        result.body = litcolor;
        result.ink = TextLitcolor;
        result.text = flitcaption ? litcaption : caption;
    } else {
        result.body = offcolor;
        result.ink = TextOffColor;
        result.text = caption;
    }
    result.family = Textfont;
    result.textsize = textsize;
    result.bold = Bold;
    result.underline = underline;
    result.italic = Italic;
    result.rad = rad;
    return result;
}

void litkey::render(const Look& look)
{
    m_drawn = look;
    const int w = look.size.width();
    const int h = look.size.height();
    if (w <= 0 || h <= 0) {
        m_image = QImage();
        return;
    }

    // Outside the body and outline the window shows through, so the corners of a rounded
    // key take the colour of whatever it sits on.
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);

    // The classic arc size is a diameter; Qt wants the radius.
    painter.setPen(Qt::NoPen);
    painter.setBrush(look.body);
    painter.drawRoundedRect(QRectF(1, 1, w - 1, h - 1), look.rad / 2.0, look.rad / 2.0);

    if (!look.text.isEmpty()) {
        QFont font = this->font();
        font.setFamilies({look.family});
        // The size is taken in pixels, so the key keeps its drawn proportions (11 on a
        // 20-pixel key) whatever the screen's dots per inch.
        if (look.textsize > 0)
            font.setPixelSize(look.textsize);
        font.setBold(look.bold);
        font.setUnderline(look.underline);
        font.setItalic(look.italic);
        painter.setFont(font);
        painter.setPen(look.ink);

        const qreal size = look.textsize > 0 ? look.textsize : painter.fontInfo().pixelSize();
        const int lift = -h / 8;
        const int baseline = static_cast<int>(h / 2.0 + size / 2.0) + lift;
        const int advance = painter.fontMetrics().horizontalAdvance(look.text);
        const int left = static_cast<int>(w / 2.0 - advance / 2.0);
        painter.drawText(QPoint(left, baseline), look.text);
    }

    // A cosmetic one-pixel pen on an aliased path lands on the last row and column when
    // the rectangle is one pixel short, so the outline covers exactly w x h.
    painter.setPen(QPen(Qt::black, 0));
    painter.setBrush(Qt::NoBrush);
    const QRectF outline(0, 0, w - 1, h - 1);
    if (h <= kPlainOutlineHeight)
        painter.drawRect(outline);
    else
        painter.drawRoundedRect(outline, kOutlineArc / 2.0, kOutlineArc / 2.0);
    painter.end();

    m_image = image;
}
