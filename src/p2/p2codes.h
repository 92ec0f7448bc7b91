#pragma once

#include <cstdint>

// The command codes the console and the device exchange, in one place for the console,
// its dispatcher and the simulated device.
namespace p2sr::code {

// Command groups: CMD1's high nibble.
inline constexpr std::uint8_t kCommandGroup = 0x0; // the console's commands
inline constexpr std::uint8_t kReplyGroup = 0x1;   // the device's replies

// CMD2
inline constexpr std::uint8_t kAcknowledge = 0x01;
inline constexpr std::uint8_t kDeviceType = 0x11; // the link watchdog's question
inline constexpr std::uint8_t kSubcommandFrame = 0xA0;
inline constexpr std::uint8_t kDeviceCommand = 0xB0;
inline constexpr std::uint8_t kBoardRevision = 0xB3;
inline constexpr std::uint8_t kLamps = 0xB9;

// The first data byte of a device command from the console.
inline constexpr std::uint8_t kEnableDownload = 0x00;
inline constexpr std::uint8_t kDataBlock = 0x01; // with image bytes; bare, it ends the download
inline constexpr std::uint8_t kRestart = 0x04;
inline constexpr std::uint8_t kReset = 0x05;
inline constexpr std::uint8_t kSelectVersion = 0x08;
inline constexpr std::uint8_t kVerify = 0x09;
inline constexpr std::uint8_t kTest = 0x0A;
inline constexpr std::uint8_t kMonitor = 0x0B;

// The first data byte of a device command's reply.
inline constexpr std::uint8_t kBlockRequest = 0x01;
inline constexpr std::uint8_t kNameChunk = 0x03;
inline constexpr std::uint8_t kStatus = 0x06;

// The first data byte of a lamp report, and of a sub-command frame.
inline constexpr std::uint8_t kLampState = 0x0A;
inline constexpr std::uint8_t kDebugPeek = 0x9A;

} // namespace p2sr::code
