#pragma once

#include <QByteArray>
#include <QIODevice>
#include <array>
#include <cstdint>
#include <memory>

class ConsoleOps;
class p2serial;
class TrafficLog;

// The P2 link: frame format, checksum and the single write path. A frame is CMD1 (high
// nibble: command group, low nibble: N data bytes), CMD2, N data bytes and an 8-bit
// additive checksum of everything before it, 3 to 18 bytes in all.
namespace p2sr {

inline constexpr int kFrameSlots = 21;
inline constexpr int kMaxFrameLength = 18;

// A received frame as the endpoint delivers it, CMD1 at position 0.
using Frame = std::array<std::uint8_t, kFrameSlots>;

// The whole frame's length, known from its first byte.
[[nodiscard]] constexpr int frameLength(std::uint8_t cmd1)
{
    return (cmd1 & 0x0F) + 3;
}

// The module's state. The program wires one at start-up; a test wires a fresh one.
struct State
{
    std::array<std::uint8_t, 4> leddata{}; // the lamp-state bytes the device last reported
    std::unique_ptr<QIODevice> stream;     // the firmware image being downloaded, or none
    p2serial* endpoint = nullptr;          // the console's endpoint, where frames go
    TrafficLog* view = nullptr;            // the communications view
    ConsoleOps* console = nullptr;         // where received frames take effect
};

void wire(State& state);
[[nodiscard]] State& state();

// Appends the checksum: the sum of every byte of s, modulo 256.
void appendsum(QByteArray& s);
// Sends a complete frame and logs it while the communications view is visible.
void p2write(const QByteArray& s);
// Restart frame 01 B0 04 B5: the device restarts and reports its contents.
void p2restart();
// Reset frame 01 B0 05 B6.
void p2reset();
// Acts on one frame from the device, logs it, and answers a block request.
void parsep2(const p2sr::Frame& frame);

} // namespace p2sr
