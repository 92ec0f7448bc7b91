#include "p2view.h"

#include "ContentArea.h"
#include "TrafficList.h"
#include "TrafficModel.h"

#include <QCheckBox>
#include <QFrame>
#include <QLayout>
#include <QPushButton>
#include <QShowEvent>
#include <span>

namespace {

constexpr QSize kContentSize{544, 365};
constexpr QSize kMinContentSize{64, 64};
constexpr QSize kMaxContentSize{32000, 32000};

} // namespace

p2view::p2view(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowMinimizeButtonHint)
{
    setWindowTitle(QStringLiteral("P2 Communications View"));
    // Closing the log must never be what ends the program.
    setAttribute(Qt::WA_QuitOnClose, false);

    auto* content = new ContentArea(kContentSize, this);
    content->setMinimumSize(kMinContentSize);
    content->setMaximumSize(kMaxContentSize);
    setCentralWidget(content);
    resize(kContentSize);

    m_model = new TrafficModel(TrafficModel::kDefaultCap, this);

    p2list = new TrafficList(content);
    p2list->setModel(m_model);
    p2list->setSelectionMode(QAbstractItemView::SingleSelection);
    p2list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    p2list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    p2list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    p2list->setFrameShape(QFrame::StyledPanel);
    p2list->setUniformItemSizes(true);
    content->anchor(p2list, {19, 14, 505, 301},
                    Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge);

    pf = new QCheckBox(QStringLiteral("Pause"), content);
    content->anchor(pf, {22, 330, 100, 20}, Qt::LeftEdge | Qt::BottomEdge);

    BevelButton2 = new QPushButton(QStringLiteral("Clear"), content);
    BevelButton2->setFocusPolicy(Qt::TabFocus);
    content->anchor(BevelButton2, {362, 327, 60, 22}, Qt::RightEdge | Qt::BottomEdge);

    BevelButton1 = new QPushButton(QStringLiteral("Close"), content);
    BevelButton1->setFocusPolicy(Qt::TabFocus);
    content->anchor(BevelButton1, {451, 327, 60, 22}, Qt::RightEdge | Qt::BottomEdge);

    connect(BevelButton2, &QPushButton::clicked, this, &p2view::BevelButton2_Action);
    connect(BevelButton1, &QPushButton::clicked, this, &p2view::BevelButton1_Action);
}

p2view::~p2view() = default;

void p2view::showEvent(QShowEvent* event)
{
    if (!m_contentFitted && !event->spontaneous()) {
        fitContent();
        m_contentFitted = true;
    }
    QMainWindow::showEvent(event);
}

// The start-up sizes are those of the content; a menu bar the application adds after
// construction goes on top of them, not out of them.
void p2view::fitContent()
{
    layout()->activate();
    const QSize bars = size() - centralWidget()->size();
    setMaximumSize(kMaxContentSize + bars);
    resize(kContentSize + bars);
}

void p2view::Disp_string(const QByteArray& frame)
{
    Disp_mb(frame);
}

void p2view::Disp_array(const p2sr::Frame& frame, const QString& prefix)
{
    if (pf->isChecked())
        return;
    // Only the frame itself: the endpoint's buffer may still hold bytes of a longer one.
    const auto length = static_cast<std::size_t>(p2sr::frameLength(frame[0]));
    m_model->addRow(prefix, std::span(frame.data(), length));
}

void p2view::Disp_mb(const QByteArray& block)
{
    if (pf->isChecked())
        return;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(block.constData());
    m_model->addRow(QString(), std::span(bytes, static_cast<std::size_t>(block.size())));
}

void p2view::Clearall()
{
    m_model->clear();
}

void p2view::Showhide()
{
    if (isVisible()) {
        hide();
        return;
    }
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void p2view::BevelButton1_Action()
{
    hide();
}

void p2view::BevelButton2_Action()
{
    Clearall();
}
