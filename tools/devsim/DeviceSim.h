#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

// A controller on a pseudo-terminal, for working on the console without the hardware on
// the bench and for provoking the faults a real line produces. The device runs on a
// thread of its own; the program (or a test) opens slavePath() as it would an adapter.
class DeviceSim
{
public:
    struct Options
    {
        // Every byte takes 312.5 us on the line in each direction (38400 baud, 8O2).
        bool pace = false;
        // The device's thinking time before it answers a frame.
        std::chrono::microseconds responseDelay{0};
        // Extra time to store a block before asking for the next one.
        std::chrono::microseconds blockDelay{0};

        // Faults. Rates are chances per frame sent, 0..1.
        double badChecksumRate = 0.0;
        double noiseRate = 0.0;
        int noiseMax = 3;             // noise comes in bursts of 1..noiseMax bytes
        double dropRequestRate = 0.0; // block requests never sent
        int dropRequest = 0;          // drop the Nth block request (from 1); 0: none
        int silentAfter = 0;          // answer this many frames, then nothing; 0: never
        // Ask again for a block that has not come after this long, as a device does on a
        // noisy line where its request may be lost; 0: wait for ever.
        std::chrono::milliseconds requestTimeout{0};
        std::uint32_t seed = 1;

        bool boardRevision = false; // a restart also reports the board revision
        std::array<std::uint8_t, 4> boardBytes{0x01, 0x02, 0x0A, 0xFF};
        std::chrono::milliseconds lampPeriod{0}; // 0: no lamp-state reports

        QByteArray name0 = QByteArrayLiteral("LX-240 firmware 1.5 (factory)");
        QByteArray name1 = QByteArrayLiteral("LX-240 firmware 1.6 (update)");
        int startVersion = 0; // the version running at power-up, 0 or 1
        int startMonitor = 0;
        std::uint8_t revisionMajor = 1;
        std::uint8_t revisionMinor = 5;
        std::array<std::uint8_t, 3> date{0x09, 0x12, 0x25};

        QString imageOut; // where a finished download is written; empty: nowhere
        bool trace = false;
    };

    // Called on the device's thread when a download is done.
    using DownloadDone = std::function<void(qint64 size, std::uint32_t crc)>;

    DeviceSim();
    explicit DeviceSim(Options options);
    ~DeviceSim();
    DeviceSim(const DeviceSim&) = delete;
    DeviceSim& operator=(const DeviceSim&) = delete;

    // Set before start().
    void setDownloadDone(DownloadDone done);

    [[nodiscard]] bool start();
    void stop();
    [[nodiscard]] bool isRunning() const { return m_thread.joinable(); }
    [[nodiscard]] QString slavePath() const { return m_slavePath; }
    [[nodiscard]] QString errorString() const { return m_error; }

    // What the device has seen and done so far; safe from any thread.
    [[nodiscard]] QByteArray image() const;
    [[nodiscard]] bool downloading() const;
    [[nodiscard]] int downloadsDone() const;
    [[nodiscard]] int framesReceived() const;
    [[nodiscard]] int framesSent() const;
    [[nodiscard]] int blockRequests() const;
    [[nodiscard]] int droppedRequests() const;
    [[nodiscard]] int version() const;
    [[nodiscard]] int monitor() const;
    [[nodiscard]] bool silent() const;

    // CRC-32 as zlib and IEEE 802.3 compute it.
    [[nodiscard]] static std::uint32_t crc32(const QByteArray& bytes);
    // The simulated memory the debug request reads.
    [[nodiscard]] static std::uint8_t memoryAt(std::uint16_t address);

private:
    using Clock = std::chrono::steady_clock;

    struct Arrival
    {
        std::uint8_t byte;
        Clock::time_point at;
    };
    struct Timed
    {
        QByteArray bytes;
        Clock::time_point at;
    };

    void run();
    [[nodiscard]] bool waitForLine(std::optional<Clock::time_point> deadline);
    void readLine();
    void cutFrames();
    void actOnArrivedFrames(Clock::time_point now);
    void deliverDueFrames(Clock::time_point now);
    void writeOut();
    void reportLamps(Clock::time_point now);
    [[nodiscard]] std::optional<Clock::time_point> nextDeadline() const;

    void act(const QByteArray& frame, Clock::time_point at);
    void actOnDeviceCommand(const QByteArray& frame, Clock::time_point reply);
    void restart(Clock::time_point reply);
    void block(const QByteArray& frame, Clock::time_point reply);
    void downloadDone(Clock::time_point reply);
    void askForBlock(Clock::time_point at);
    void askAgainIfDue(Clock::time_point now);
    void debugRead(const QByteArray& frame, Clock::time_point reply);

    void send(QByteArray frame, Clock::time_point earliest);
    void sendAck(Clock::time_point earliest);
    void sendStatus(Clock::time_point earliest);
    void sendNames(int version, const QByteArray& name, Clock::time_point earliest);
    [[nodiscard]] bool chance(double rate);
    void trace(const char* what, const QByteArray& bytes, Clock::time_point at) const;

    Options m_options;
    DownloadDone m_downloadDone;
    QString m_slavePath;
    QString m_error;

    int m_master = -1;
    int m_slave = -1;
    int m_wake = -1;
    std::thread m_thread;
    std::atomic<bool> m_stopping = false;

    // The device's own thread alone touches these.
    std::mt19937 m_random;
    Clock::time_point m_started;
    Clock::time_point m_rxLineFree;
    Clock::time_point m_txLineFree;
    Clock::time_point m_nextLamps;
    std::deque<Arrival> m_rx;
    std::deque<Timed> m_inbox;
    std::deque<Timed> m_outbox;
    QByteArray m_unwritten;
    std::array<std::uint8_t, 3> m_lamps{0x01, 0x00, 0x00};
    int m_requestsMade = 0;
    std::optional<Clock::time_point> m_askAgainAt; // while a block is awaited

    // Shared with the observers.
    mutable std::mutex m_mutex;
    QByteArray m_image;
    bool m_downloading = false;
    int m_downloadsDone = 0;
    int m_framesReceived = 0;
    int m_framesSent = 0;
    int m_blockRequests = 0;
    int m_droppedRequests = 0;
    int m_version = 0;
    int m_monitor = 0;
};
