#include "p2serial.h"

#include "Alert.h"
#include "config.h"
#include "serialthread.h"
#include "uisr.h"

#include <QFile>
#include <QLoggingCategory>
#include <QMetaMethod>
#include <algorithm>
#include <cstring>
#include <grp.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

Q_LOGGING_CATEGORY(lcLink, "quillet.link", QtWarningMsg)

namespace {

// Deliveries up to this size are copied into the ring byte by byte, cheaper than a call.
constexpr int kShortDelivery = 16;

QString hexText(const std::uint8_t* bytes, int count)
{
    QString text;
    text.reserve(count * 3);
    for (int i = 0; i < count; ++i) {
        uisr::appendHex(text, bytes[i]);
        text.append(QLatin1Char(' '));
    }
    return text;
}

p2serial::LineTuner& lineTuner()
{
    static p2serial::LineTuner tuner = p2serial::lowLatency;
    return tuner;
}

} // namespace

p2serial::LineTuner p2serial::installLineTuner(LineTuner tuner)
{
    return std::exchange(lineTuner(), std::move(tuner));
}

// Common USB serial adapters hold short reads back for their latency timer (16 ms), which
// would cap the device-paced download near a quarter of the line's speed. Ports that are
// no UART, such as pseudo-terminals, refuse the request; they need no tuning.
bool p2serial::lowLatency(int handle)
{
    serial_struct settings{};
    if (ioctl(handle, TIOCGSERIAL, &settings) != 0)
        return false;
    settings.flags |= ASYNC_LOW_LATENCY;
    return ioctl(handle, TIOCSSERIAL, &settings) == 0;
}

p2serial::p2serial(QObject* parent) : QSerialPort(parent)
{
    connect(this, &QIODevice::readyRead, this, &p2serial::dataAvailable);
    connect(this, &QSerialPort::errorOccurred, this, &p2serial::portFailed);
}

// What the operator can do about a port that would not open.
QString p2serial::whyNotOpen(const QString& path) const
{
    const QByteArray native = QFile::encodeName(path);
    if (::access(native.constData(), F_OK) != 0)
        return tr("%1 is gone. Plug the adapter in again, press Refresh and choose its port.")
            .arg(path);
    if (::access(native.constData(), R_OK | W_OK) != 0) {
        struct stat device
        {};
        const group* owner =
            ::stat(native.constData(), &device) == 0 ? ::getgrgid(device.st_gid) : nullptr;
        const QString name =
            owner ? QString::fromLocal8Bit(owner->gr_name) : QStringLiteral("dialout");
        return tr("You may not use %1. Add your user to the group \"%2\" "
                  "(sudo usermod -aG %2 $USER), then log out and in again.")
            .arg(path, name);
    }
    if (error() == QSerialPort::PermissionError)
        return tr("%1 is in use by another program. Close that program, then choose the port "
                  "again.")
            .arg(path);
    return errorString();
}

// A port whose line died is closed once and the operator told once; a new choice of port
// opens it again.
void p2serial::portFailed(QSerialPort::SerialPortError failure)
{
    // A pulled adapter reports a resource error; a pseudo-terminal or socat pair whose
    // other end went away reads end-of-file, which Qt reports as a read error on every
    // turn of the event loop. Either way the line is dead.
    const bool dead = failure == QSerialPort::ResourceError || failure == QSerialPort::ReadError;
    if (!dead || !isOpen())
        return;
    const QString lost = portName();
    close();
    serialopen = false;
    if (serialthread1)
        serialthread1->p2thread = false;
    portname = QStringLiteral("None");
    qCWarning(lcLink) << "port lost" << lost << errorString();
    emit newname(portname);
    Alert::show(QStringLiteral("Controller serial port lost"),
                tr("%1 stopped answering: the adapter was unplugged or failed. Plug it in "
                   "again, press Refresh and choose its port.")
                    .arg(lost));
}

p2serial::~p2serial() = default;

void p2serial::setPortList(PortList ports)
{
    m_ports = std::move(ports);
}

void p2serial::init()
{
    // The device's line: 38400 baud, 8 data bits, odd parity, 2 stop bits, no flow control.
    setBaudRate(QSerialPort::Baud38400);
    setDataBits(QSerialPort::Data8);
    setParity(QSerialPort::OddParity);
    setStopBits(QSerialPort::TwoStop);
    setFlowControl(QSerialPort::NoFlowControl);

    if (serialthread1) {
        serialthread1->stop();
        serialthread1->deleteLater();
    }
    serialthread1 = new serialthread(*this, this);
    serialthread1->start();
}

void p2serial::portopen(int index)
{
    if (isOpen())
        close();
    init();
    serialopen = false;
    portname = QStringLiteral("None");

    if (index >= 0) {
        const QList<PortEntry>& ports = m_ports.entries();
        QString cause = tr("The chosen port is no longer on the system's list. Press Refresh.");
        if (index < ports.size()) {
            setPortName(ports[index].location);
            serialopen = open(QIODevice::ReadWrite);
            if (!serialopen)
                cause = whyNotOpen(ports[index].location);
        }
        if (serialopen) {
            // A pseudo-terminal has no modem lines to drop; that is no fault of the port.
            if (!setDataTerminalReady(false))
                clearError();
            if (lineTuner())
                lineTuner()(static_cast<int>(handle()));
            clear(QSerialPort::Input); // bytes from before the open belong to nobody
            portname = ports[index].name;
            if (ports[index].remembered)
                config::putconfig(QStringLiteral("controlport"), portname);
        } else {
            qCWarning(lcLink) << "cannot open port" << index << cause;
            Alert::show(QStringLiteral("Error opening Controller serial port"), cause);
        }
    }
    emit newname(portname);
}

void p2serial::portclose()
{
    if (isOpen())
        close();
    serialopen = false;
    if (serialthread1) {
        serialthread1->p2thread = false;
        serialthread1->p2open = false;
        serialthread1->stop();
    }
}

void p2serial::send(const QByteArray& frame)
{
    if (!isOpen())
        return;
    // A frame is a few bytes and the line's queue is nearly always empty, so it goes
    // straight to the driver. QSerialPort's own write would switch its write notifier on
    // and off for every frame, and each switch wakes the event loop once more: during a
    // download that is most of the time between a block request and its block.
    qsizetype sent = 0;
    if (bytesToWrite() == 0) {
        const ssize_t written = ::write(static_cast<int>(handle()), frame.constData(),
                                        static_cast<std::size_t>(frame.size()));
        sent = std::max<qsizetype>(written, 0);
    }
    // Whatever the driver did not take (a full queue, an error to report) goes the usual way.
    if (sent < frame.size()) {
        write(frame.constData() + sent, frame.size() - sent);
        flush(); // out now, not when the event loop next runs
    }
}

void p2serial::dataAvailable()
{
    if ((serialthread1 && serialthread1->p2thread) || p2flag)
        return;
    p2flag = true;
    newrxdata(readAll());
    p2flag = false;
    // Bytes that arrived while this delivery was dispatched stayed in the port; the port
    // will not announce them again, so take them in as the next delivery.
    if (bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &p2serial::dataAvailable, Qt::QueuedConnection);
}

void p2serial::newrxdata(QByteArrayView b)
{
    if (b.isEmpty())
        return;
    // A handler of parseinput may run a nested event loop (a message box) in which more
    // bytes are read; they wait here and are framed after the delivery in progress.
    if (m_delivering) {
        m_pending.append(b);
        return;
    }
    m_delivering = true;
    qCDebug(lcLink).noquote() << "rx" << b.size() << "bytes";

    QByteArray next;
    do {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(b.data());
        qsizetype left = b.size();
        // The ring holds at most 255 unconsumed bytes, so a large read goes in as several
        // deliveries, each as big as the ring can take.
        while (left > 0) {
            const int count = static_cast<int>(std::min<qsizetype>(left, kRingLimit - held()));
            deliver(bytes, count);
            bytes += count;
            left -= count;
        }
        next = std::exchange(m_pending, QByteArray());
        b = next;
    } while (!b.isEmpty());

    m_delivering = false;
}

void p2serial::deliver(const std::uint8_t* bytes, int count)
{
    // The ring is read and written through plain pointers and local indices: the compiler
    // must otherwise assume that every byte stored may change inp, outp or incmd, and
    // reload them all for each byte of a delivery.
    std::uint8_t* const ring = rxbuff.data();
    const std::uint8_t in = static_cast<std::uint8_t>(inp + count);
    if (count > kShortDelivery && inp + count <= 256) {
        std::memcpy(ring + inp, bytes, static_cast<std::size_t>(count));
    } else {
        std::uint8_t at = inp;
        for (int i = 0; i < count; ++i)
            ring[at++] = bytes[i];
    }
    inp = in;

    std::array<std::uint8_t, 256> skipped;
    int skippedCount = 0;
    std::uint8_t out = outp;
    while (in != out) {
        const int length = p2sr::frameLength(ring[out]);
        const int sumAt = length - 1;
        if (static_cast<std::uint8_t>(in - out) < length)
            break; // the rest of the frame has not arrived yet
        // Away from the wrap a fixed-size copy takes the longest frame in two moves.
        std::array<std::uint8_t, p2sr::kMaxFrameLength> frame;
        if (out <= 256 - p2sr::kMaxFrameLength) {
            std::memcpy(frame.data(), ring + out, frame.size());
        } else {
            for (int i = 0; i < length; ++i)
                frame[static_cast<std::size_t>(i)] = ring[static_cast<std::uint8_t>(out + i)];
        }
        // Every test leaves its bytes in incmd, a frame that fails it too.
        std::uint8_t sum = 0;
        for (std::size_t i = 0; i < static_cast<std::size_t>(sumAt); ++i) {
            incmd[i] = frame[i];
            sum = static_cast<std::uint8_t>(sum + frame[i]);
        }
        if (sum == frame[static_cast<std::size_t>(sumAt)]) {
            incmd[static_cast<std::size_t>(sumAt)] = sum;
            outp = out; // the frame's handler sees the ring as it stands
            emit parseinput(incmd);
            out = static_cast<std::uint8_t>(out + length);
        } else {
            skipped[static_cast<std::size_t>(skippedCount++)] = ring[out++];
        }
    }
    outp = out;
    if (skippedCount > 0)
        reportSkipped(skipped.data(), skippedCount);
}

void p2serial::reportSkipped(const std::uint8_t* bytes, int count)
{
    qCDebug(lcLink).noquote() << "skipped" << hexText(bytes, count);
    if (isSignalConnected(QMetaMethod::fromSignal(&p2serial::debugerror)))
        emit debugerror(QStringLiteral("EParse ") + hexText(bytes, count));
}
