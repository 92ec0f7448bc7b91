#pragma once

#include <QString>
#include <cstdint>

// Shared display routines.
namespace uisr {

// A byte as exactly two upper-case hexadecimal digits: 0x05 gives "05".
[[nodiscard]] QString byte2hex(std::uint8_t b);

// Appends the two digits of b to out without building a temporary string.
void appendHex(QString& out, std::uint8_t b);

// The short key caption for a command code: a symbol such as "||" or an abbreviation
// such as "Rvw"; "???" for a code without one.
[[nodiscard]] QString cmd2caption(int code);

} // namespace uisr
