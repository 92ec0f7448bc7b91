#include "FrameTap.h"

#include "Figures.h"

FrameTap::FrameTap(TrafficLog* view, Sent sent) : m_view(view), m_sent(std::move(sent)) {}

void FrameTap::Disp_string(const QByteArray& frame)
{
    m_sent(frame, figures::nowNs());
    if (m_view && m_view->showing())
        m_view->Disp_string(frame);
}

void FrameTap::Disp_array(const p2sr::Frame& frame, const QString& prefix)
{
    if (m_view && m_view->showing())
        m_view->Disp_array(frame, prefix);
}
