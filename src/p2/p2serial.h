#pragma once

#include "PortList.h"
#include "p2sr.h"

#include <QByteArrayView>
#include <QSerialPort>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

class serialthread;

// The serial endpoint that leads to the device. It opens the port with the device's line
// settings, collects received bytes in a 256-slot ring, cuts them into checksum-verified
// P2 frames and raises parseinput for each, in order of arrival. Bytes that start no
// valid frame are skipped one at a time and reported through debugerror.
class p2serial : public QSerialPort
{
    Q_OBJECT

public:
    explicit p2serial(QObject* parent = nullptr);
    ~p2serial() override;

    // The list that portopen's index refers to.
    void setPortList(PortList ports);
    [[nodiscard]] PortList& portList() { return m_ports; }

    void init();
    void portopen(int index);
    void portclose();
    // Takes in bytes just read from the port; any number of them, in order.
    void newrxdata(QByteArrayView b);
    // Hands one frame to the port at once; with no port open it does nothing.
    void send(const QByteArray& frame);

    // Tunes a freshly opened port's driver for quick answers; true when it could. The
    // real one asks a USB adapter for low latency; tests install one that records.
    using LineTuner = std::function<bool(int handle)>;
    static LineTuner installLineTuner(LineTuner tuner);
    static bool lowLatency(int handle);

    std::array<std::uint8_t, 257> rxbuff{}; // ring; the UInt8 indices use slots 0 to 255
    std::uint8_t inp = 0;                   // next free slot
    std::uint8_t outp = 0;                  // first byte not yet consumed
    p2sr::Frame incmd{};                    // the frame being delivered
    bool serialopen = false;
    QString portname;
    bool p2flag = false; // the data-available path is processing a delivery
    serialthread* serialthread1 = nullptr;

signals:
    void parseinput(const p2sr::Frame& incmd);
    void newname(const QString& name);
    void debugerror(const QString& report);

private:
    static constexpr int kRingLimit = 255; // unconsumed bytes the ring may hold

    void dataAvailable();
    void portFailed(QSerialPort::SerialPortError failure);
    [[nodiscard]] QString whyNotOpen(const QString& path) const;
    void deliver(const std::uint8_t* bytes, int count);
    void reportSkipped(const std::uint8_t* bytes, int count);
    [[nodiscard]] int held() const { return static_cast<std::uint8_t>(inp - outp); }

    PortList m_ports;
    QByteArray m_pending; // bytes that arrived while a delivery was being dispatched
    bool m_delivering = false;
};
