#pragma once

#include "p2sr.h"

#include <QByteArray>
#include <QString>

// Where the link logs the frames it sends and receives: the communications view, which
// logs only while the operator has it open.
class TrafficLog
{
public:
    virtual ~TrafficLog() = default;

    // True while the view is visible; nothing is logged while it is hidden.
    [[nodiscard]] virtual bool showing() const = 0;
    // Logs the bytes of a frame as they were sent.
    virtual void Disp_string(const QByteArray& frame) = 0;
    // Logs one received frame (CMD1, CMD2, data, checksum) behind a prefix.
    virtual void Disp_array(const p2sr::Frame& frame, const QString& prefix) = 0;
};
