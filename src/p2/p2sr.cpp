#include "p2sr.h"

#include "ConsoleOps.h"
#include "TrafficLog.h"
#include "p2codes.h"
#include "p2serial.h"
#include "uisr.h"

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

namespace {

using namespace code;

// The status message: version, then (from four data bytes) monitor and revision, then
// (from six) the date; a shorter message gives zeros for what it lacks.
void status(ConsoleOps& console, const Frame& p, int n)
{
    console.Dispversion(p[3]);
    if (n >= 4) {
        console.Dispmonitor(p[4]);
        console.Disprevision(p[5], p[6]);
    } else {
        console.Dispmonitor(0);
        console.Disprevision(0, 0);
    }
    if (n >= 6)
        console.Dispdate(p[7], p[8], p[9]);
    else
        console.Dispdate(0, 0, 0);
}

QString boardRevision(const Frame& p)
{
    QString text = QStringLiteral("core rev - ");
    for (std::size_t i = 4; i <= 7; ++i) {
        uisr::appendHex(text, p[i]);
        text.append(QLatin1Char(' '));
    }
    return text;
}

// True when the report differs from the lamp state last reported.
bool lampsChanged(const Frame& p)
{
    bool changed = false;
    for (std::size_t k = 0; k < 3; ++k) {
        if (p[3 + k] != g_state->leddata[k]) {
            g_state->leddata[k] = p[3 + k];
            changed = true;
        }
    }
    return changed;
}

} // namespace

void parsep2(const Frame& frame)
{
    const std::uint8_t group = frame[0] >> 4;
    const int n = frame[0] & 0x0F;
    const std::uint8_t cmd2 = frame[1];
    const std::uint8_t d = frame[2];
    bool log = true;
    bool request = false;

    if (group == kReplyGroup && cmd2 == kLamps) {
        log = d == kLampState && lampsChanged(frame);
    } else if (group == kReplyGroup && g_state->console) {
        ConsoleOps& console = *g_state->console;
        if (cmd2 == kAcknowledge) {
            console.Rxack();
        } else if (cmd2 == kDeviceCommand) {
            if (d == kBlockRequest)
                request = true;
            else if (d == kNameChunk)
                console.Rxname(frame);
            else if (d == kStatus)
                status(console, frame, n);
        } else if (cmd2 == kBoardRevision) {
            console.setCorerev(boardRevision(frame));
        }
    }

    if (log && g_state->view && g_state->view->showing())
        g_state->view->Disp_array(frame, QStringLiteral("Rx-"));
    if (request && g_state->console)
        g_state->console->rxdatarq();
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
