#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

// A small drawn key that looks like a back-lit push key: a rounded body whose colour shows
// whether it is lit, a centred caption and a thin black outline. A mouse press raises
// action. The console uses one as its communications lamp and one as its abort key.
class litkey : public QWidget
{
    Q_OBJECT

public:
    explicit litkey(QWidget* parent = nullptr);

    // Runs the key's opening: font from the settings store, text size from the height.
    void Event_Open();

    void redraw();
    void setcaption(const QString& text);
    void setlit(bool on);
    void setcolor(const QString& name);
    void setkursor(int value);
    void setheight(int h);
    void tag2caption();
    void settag(int code);
    void settagnum(int n);
    void setrad(int value);
    void settextsize(int value);
    void Setlitcaption(const QString& text);

    // The last image redraw rendered, as copied onto the key.
    [[nodiscard]] const QImage& image() const { return m_image; }
    [[nodiscard]] QSize sizeHint() const override;

    QColor litcolor{0x00, 0xFF, 0x40};
    QColor offcolor{0xD0, 0xD0, 0xD0};
    bool lit = false;
    QString caption;
    QString Textfont = QStringLiteral("tahoma");
    QColor TextLitcolor{0x00, 0x00, 0x00};
    QColor TextOffColor{0x00, 0x00, 0x00};
    int textsize = 12;
    bool Bold = true;
    bool underline = false;
    bool Italic = false;
    int kursor = 0;
    int Tag = 0;
    int rad = 6;
    bool border = true;
    QString litcaption;
    bool flitcaption = false;

signals:
    void action(litkey* key);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // Everything the drawing depends on, so a paint can tell whether the owner changed a
    // property directly since the last redraw.
    struct Look
    {
        QSize size;
        QColor body;
        QColor ink;
        QString text;
        QString family;
        int textsize = 0;
        bool bold = false;
        bool underline = false;
        bool italic = false;
        int rad = 0;

        bool operator==(const Look&) const = default;
    };

    [[nodiscard]] Look look() const;
    void render(const Look& look);

    QImage m_image;
    Look m_drawn;
};
