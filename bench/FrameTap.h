#pragma once

#include "TrafficLog.h"

#include <QByteArray>
#include <cstdint>
#include <functional>

// Sits where the link logs its frames and notes when the console sent what, passing every
// frame on to the communications view as the link would have (only while it is shown).
class FrameTap : public TrafficLog
{
public:
    using Sent = std::function<void(const QByteArray& frame, std::int64_t atNs)>;

    FrameTap(TrafficLog* view, Sent sent);

    [[nodiscard]] bool showing() const override { return true; }
    void Disp_string(const QByteArray& frame) override;
    void Disp_array(const p2sr::Frame& frame, const QString& prefix) override;

private:
    TrafficLog* m_view;
    Sent m_sent;
};
