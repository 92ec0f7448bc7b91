#pragma once

#include "p2sr.h"

#include <QString>
#include <cstdint>

// The console as the dispatcher sees it: the operations a frame from the device sets off.
class ConsoleOps
{
public:
    virtual ~ConsoleOps() = default;

    virtual void Rxack() = 0;
    virtual void Rxname(const p2sr::Frame& p) = 0;
    virtual void Dispversion(std::uint8_t v) = 0;
    virtual void Dispmonitor(std::uint8_t state) = 0;
    virtual void Disprevision(std::uint8_t major, std::uint8_t minor) = 0;
    virtual void Dispdate(std::uint8_t year, std::uint8_t month, std::uint8_t day) = 0;
    virtual void rxdatarq() = 0;
    // The text of the software revision label, which a board revision report replaces.
    virtual void setCorerev(const QString& text) = 0;
};
