#pragma once

#include <QByteArray>

// Frames in tests are written as the hexadecimal a line monitor shows: "10 01 11".
inline QByteArray bytes(const char* hex)
{
    return QByteArray::fromHex(hex);
}
