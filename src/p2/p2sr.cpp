#include "p2sr.h"

#include "TrafficLog.h"
#include "p2serial.h"

namespace p2sr {
namespace {

State g_builtin;
State* g_state = &g_builtin;

void sendCommand(std::uint8_t cmd1, std::uint8_t cmd2, std::uint8_t data)
{
    QByteArray frame;
    frame.reserve(4);
    frame.append(static_cast<char>(cmd1));
    frame.append(static_cast<char>(cmd2));
    frame.append(static_cast<char>(data));
    appendsum(frame);
    p2write(frame);
}

} // namespace

void wire(State& state)
{
    g_state = &state;
}

State& state()
{
    return *g_state;
}

void appendsum(QByteArray& s)
{
    std::uint8_t sum = 0;
    for (const char c : std::as_const(s))
        sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(c));
    s.append(static_cast<char>(sum));
}

void p2write(const QByteArray& s)
{
    if (g_state->endpoint)
        g_state->endpoint->send(s);
    if (g_state->view && g_state->view->showing())
        g_state->view->Disp_string(s);
}

void p2restart()
{
    sendCommand(0x01, 0xB0, 0x04);
}

void p2reset()
{
    sendCommand(0x01, 0xB0, 0x05);
}

} // namespace p2sr
