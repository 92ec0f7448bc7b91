#include "DeviceSim.h"

#include "p2codes.h"
#include "p2sr.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// 38400 baud, 8 data bits, odd parity, 2 stop bits: 12 bit times a byte.
constexpr std::chrono::nanoseconds kByteTime{312'500};

using namespace p2sr::code;

constexpr std::uint8_t kTypeHigh = 0x02;
constexpr std::uint8_t kTypeLow = 0x40;

constexpr int kNameLength = 80;
constexpr int kNameChunkLength = 8;
constexpr int kMaxDebugBytes = 4;
// The line keeps no more than this for a program that has stopped reading; beyond it
// the device's words are lost, as they would be on a wire with nobody listening.
constexpr qsizetype kMaxUnwritten = 64 * 1024;

std::uint8_t byteAt(const QByteArray& bytes, qsizetype i)
{
    return static_cast<std::uint8_t>(bytes.at(i));
}

QByteArray makeFrame(std::initializer_list<std::uint8_t> head, const QByteArray& tail = {})
{
    QByteArray frame;
    for (const std::uint8_t b : head)
        frame.append(static_cast<char>(b));
    frame.append(tail);
    p2sr::appendsum(frame);
    return frame;
}

} // namespace

DeviceSim::DeviceSim() : DeviceSim(Options{}) {}

DeviceSim::DeviceSim(Options options)
    : m_options(std::move(options)), m_random(m_options.seed), m_version(m_options.startVersion),
      m_monitor(m_options.startMonitor)
{}

DeviceSim::~DeviceSim()
{
    stop();
}

void DeviceSim::setDownloadDone(DownloadDone done)
{
    m_downloadDone = std::move(done);
}

bool DeviceSim::start()
{
    if (isRunning())
        return true;
    if (openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        m_master = m_slave = -1;
        return false;
    }
    std::array<char, 256> name{};
    ptsname_r(m_master, name.data(), name.size());
    m_slavePath = QString::fromLocal8Bit(name.data());

    // The slave stays open here so the device sees no hang-up while the program closes
    // and reopens the port.
    termios raw{};
    tcgetattr(m_slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(m_slave, TCSANOW, &raw);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);

    m_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wake < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        stop();
        return false;
    }
    m_stopping = false;
    m_thread = std::thread(&DeviceSim::run, this);
    return true;
}

void DeviceSim::stop()
{
    if (m_thread.joinable()) {
        m_stopping = true;
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wake, &one, sizeof one);
        m_thread.join();
    }
    for (int* fd : {&m_wake, &m_slave, &m_master}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

QByteArray DeviceSim::image() const
{
    const std::lock_guard lock(m_mutex);
    return m_image;
}

bool DeviceSim::downloading() const
{
    const std::lock_guard lock(m_mutex);
    return m_downloading;
}

int DeviceSim::downloadsDone() const
{
    const std::lock_guard lock(m_mutex);
    return m_downloadsDone;
}

int DeviceSim::framesReceived() const
{
    const std::lock_guard lock(m_mutex);
    return m_framesReceived;
}

int DeviceSim::framesSent() const
{
    const std::lock_guard lock(m_mutex);
    return m_framesSent;
}

int DeviceSim::blockRequests() const
{
    const std::lock_guard lock(m_mutex);
    return m_blockRequests;
}

int DeviceSim::droppedRequests() const
{
    const std::lock_guard lock(m_mutex);
    return m_droppedRequests;
}

int DeviceSim::version() const
{
    const std::lock_guard lock(m_mutex);
    return m_version;
}

int DeviceSim::monitor() const
{
    const std::lock_guard lock(m_mutex);
    return m_monitor;
}

bool DeviceSim::silent() const
{
    const std::lock_guard lock(m_mutex);
    return m_options.silentAfter > 0 && m_framesReceived > m_options.silentAfter;
}

std::uint32_t DeviceSim::crc32(const QByteArray& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<std::uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::uint8_t DeviceSim::memoryAt(std::uint16_t address)
{
    return static_cast<std::uint8_t>((address * 7 + 3) & 0xFF);
}

void DeviceSim::run()
{
    // A paced line is timed to the microsecond; the kernel's default 50 us timer slack on
    // every wake-up would otherwise cost about 1 % of a download.
    if (m_options.pace)
        ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    m_started = Clock::now();
    m_rxLineFree = m_started;
    m_txLineFree = m_started;
    m_nextLamps = m_started + m_options.lampPeriod;
    while (!m_stopping) {
        const auto now = Clock::now();
        actOnArrivedFrames(now);
        reportLamps(now);
        askAgainIfDue(now);
        deliverDueFrames(now);
        writeOut();
        if (!waitForLine(nextDeadline()))
            break;
    }
}

std::optional<DeviceSim::Clock::time_point> DeviceSim::nextDeadline() const
{
    std::optional<Clock::time_point> next;
    const auto consider = [&next](Clock::time_point at) {
        if (!next || at < *next)
            next = at;
    };
    if (!m_inbox.empty())
        consider(m_inbox.front().at);
    if (!m_outbox.empty())
        consider(m_outbox.front().at);
    if (m_options.lampPeriod > 0ms)
        consider(m_nextLamps);
    if (m_askAgainAt)
        consider(*m_askAgainAt);
    return next;
}

bool DeviceSim::waitForLine(std::optional<Clock::time_point> deadline)
{
    std::array<pollfd, 2> fds{{{m_master, POLLIN, 0}, {m_wake, POLLIN, 0}}};
    if (!m_unwritten.isEmpty())
        fds[0].events |= POLLOUT;
    timespec timeout{};
    const timespec* limit = nullptr;
    if (deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::max(Clock::duration::zero(), *deadline - Clock::now()));
        timeout.tv_sec = static_cast<time_t>(left.count() / 1'000'000'000);
        timeout.tv_nsec = static_cast<long>(left.count() % 1'000'000'000);
        limit = &timeout;
    }
    if (::ppoll(fds.data(), fds.size(), limit, nullptr) < 0)
        return errno == EINTR;
    if (fds[1].revents != 0)
        return false;
    if ((fds[0].revents & (POLLERR | POLLNVAL)) != 0) {
        std::fprintf(stderr, "devsim: the line failed\n");
        return false;
    }
    if ((fds[0].revents & POLLIN) != 0)
        readLine();
    return true;
}

void DeviceSim::readLine()
{
    std::array<char, 4096> buffer{};
    const ssize_t got = ::read(m_master, buffer.data(), buffer.size());
    if (got <= 0)
        return;
    const auto now = Clock::now();
    for (std::size_t i = 0; i < static_cast<std::size_t>(got); ++i) {
        // Paced, a byte is here only once the line has carried it, and the line carries
        // one byte at a time however fast the program writes.
        Clock::time_point at = now;
        if (m_options.pace) {
            at = std::max(m_rxLineFree, now) + kByteTime;
            m_rxLineFree = at;
        }
        m_rx.push_back({static_cast<std::uint8_t>(buffer[i]), at});
    }
    cutFrames();
}

void DeviceSim::cutFrames()
{
    while (!m_rx.empty()) {
        const auto length = static_cast<std::size_t>(p2sr::frameLength(m_rx.front().byte));
        if (m_rx.size() < length)
            return;
        QByteArray frame;
        for (std::size_t i = 0; i + 1 < length; ++i)
            frame.append(static_cast<char>(m_rx[i].byte));
        p2sr::appendsum(frame);
        const Arrival last = m_rx[length - 1];
        if (byteAt(frame, frame.size() - 1) != last.byte) {
            // Skip one byte and look for a frame starting at the next, as the console does.
            trace("skip", QByteArray(1, static_cast<char>(m_rx.front().byte)), last.at);
            m_rx.pop_front();
            continue;
        }
        m_rx.erase(m_rx.begin(), m_rx.begin() + static_cast<std::ptrdiff_t>(length));
        m_inbox.push_back({frame, last.at});
    }
}

void DeviceSim::actOnArrivedFrames(Clock::time_point now)
{
    while (!m_inbox.empty() && m_inbox.front().at <= now) {
        const Timed arrived = m_inbox.front();
        m_inbox.pop_front();
        act(arrived.bytes, arrived.at);
    }
}

void DeviceSim::deliverDueFrames(Clock::time_point now)
{
    while (!m_outbox.empty() && m_outbox.front().at <= now) {
        const Timed& due = m_outbox.front();
        trace("tx", due.bytes, due.at);
        if (m_unwritten.size() + due.bytes.size() <= kMaxUnwritten)
            m_unwritten.append(due.bytes);
        m_outbox.pop_front();
    }
}

void DeviceSim::writeOut()
{
    while (!m_unwritten.isEmpty()) {
        const ssize_t written = ::write(m_master, m_unwritten.constData(),
                                        static_cast<std::size_t>(m_unwritten.size()));
        if (written <= 0)
            return;
        m_unwritten.remove(0, written);
    }
}

void DeviceSim::reportLamps(Clock::time_point now)
{
    if (m_options.lampPeriod <= 0ms || now < m_nextLamps)
        return;
    const auto at = m_nextLamps;
    // After a stall the device reports once, not once for every period it missed.
    while (m_nextLamps <= now)
        m_nextLamps += m_options.lampPeriod;
    if (chance(0.25)) {
        const auto bit = m_random() % 24;
        m_lamps[bit / 8] = static_cast<std::uint8_t>(m_lamps[bit / 8] ^ (1u << (bit % 8)));
    }
    send(makeFrame({0x14, kLamps, kLampState, m_lamps[0], m_lamps[1], m_lamps[2]}), at);
}

void DeviceSim::act(const QByteArray& frame, Clock::time_point at)
{
    trace("rx", frame, at);
    {
        const std::lock_guard lock(m_mutex);
        ++m_framesReceived;
    }
    if (silent())
        return;

    const auto reply = at + m_options.responseDelay;
    const std::uint8_t cmd1 = byteAt(frame, 0);
    const std::uint8_t cmd2 = byteAt(frame, 1);
    const int n = cmd1 & 0x0F;
    if ((cmd1 >> 4) != kCommandGroup)
        return;
    if (cmd2 == kDeviceType && n == 0)
        send(makeFrame({0x12, kDeviceType, kTypeHigh, kTypeLow}), reply);
    else if (cmd2 == kSubcommandFrame && n == 4 && byteAt(frame, 2) == kDebugPeek)
        debugRead(frame, reply);
    else if (cmd2 == kDeviceCommand && n >= 1)
        actOnDeviceCommand(frame, reply);
}

void DeviceSim::actOnDeviceCommand(const QByteArray& frame, Clock::time_point reply)
{
    const int n = byteAt(frame, 0) & 0x0F;
    switch (byteAt(frame, 2)) {
    case kEnableDownload: {
        const std::lock_guard lock(m_mutex);
        m_image.clear();
        m_downloading = true;
    }
        sendAck(reply);
        break;
    case kDataBlock:
        if (n == 1)
            downloadDone(reply);
        else
            block(frame, reply);
        break;
    case kRestart:
        restart(reply);
        break;
    case kReset:
    case kVerify:
    case kTest:
        sendAck(reply);
        sendStatus(reply);
        break;
    case kSelectVersion:
        if (n >= 2) {
            const std::uint8_t chosen = byteAt(frame, 3);
            // 2 asks for the version the device already runs.
            if (chosen != 2) {
                const std::lock_guard lock(m_mutex);
                m_version = chosen == 0 ? 0 : 1;
            }
            sendAck(reply);
        }
        break;
    case kMonitor:
        if (n >= 2) {
            {
                const std::lock_guard lock(m_mutex);
                m_monitor = byteAt(frame, 3) != 0 ? 1 : 0;
            }
            sendAck(reply);
            sendStatus(reply);
        }
        break;
    default:
        break;
    }
}

void DeviceSim::restart(Clock::time_point reply)
{
    {
        // A restart in the middle of a download throws the partial image away.
        const std::lock_guard lock(m_mutex);
        m_downloading = false;
    }
    sendNames(0, m_options.name0, reply);
    sendNames(1, m_options.name1, reply);
    sendStatus(reply);
    if (m_options.boardRevision) {
        const auto& b = m_options.boardBytes;
        send(makeFrame({0x17, kBoardRevision, 0x00, 0x00, b[0], b[1], b[2], b[3], 0x99}), reply);
    }
}

void DeviceSim::block(const QByteArray& frame, Clock::time_point reply)
{
    {
        const std::lock_guard lock(m_mutex);
        if (!m_downloading)
            return;
        m_image.append(frame.mid(3, frame.size() - 4));
    }
    askForBlock(reply + m_options.blockDelay);
}

void DeviceSim::askAgainIfDue(Clock::time_point now)
{
    if (!m_askAgainAt || now < *m_askAgainAt)
        return;
    if (downloading())
        askForBlock(now);
    else
        m_askAgainAt.reset();
}

void DeviceSim::askForBlock(Clock::time_point at)
{
    if (m_options.requestTimeout > 0ms)
        m_askAgainAt = at + m_options.requestTimeout;
    const QByteArray request = makeFrame({0x11, kDeviceCommand, kBlockRequest});
    ++m_requestsMade;
    if (m_requestsMade == m_options.dropRequest || chance(m_options.dropRequestRate)) {
        trace("drop", request, at);
        const std::lock_guard lock(m_mutex);
        ++m_droppedRequests;
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        ++m_blockRequests;
    }
    send(request, at);
}

void DeviceSim::downloadDone(Clock::time_point reply)
{
    sendAck(reply);
    QByteArray done;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_downloading)
            return;
        m_downloading = false;
        done = m_image;
    }
    if (!m_options.imageOut.isEmpty()) {
        QFile file(m_options.imageOut);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(done) != done.size())
            std::fprintf(stderr, "devsim: cannot write %s: %s\n", qPrintable(m_options.imageOut),
                         qPrintable(file.errorString()));
    }
    if (m_downloadDone)
        m_downloadDone(done.size(), crc32(done));
    const std::lock_guard lock(m_mutex);
    ++m_downloadsDone;
}

void DeviceSim::debugRead(const QByteArray& frame, Clock::time_point reply)
{
    const std::uint8_t hi = byteAt(frame, 3);
    const std::uint8_t lo = byteAt(frame, 4);
    const int length = std::min<int>(byteAt(frame, 5), kMaxDebugBytes);
    if (length == 0) {
        sendAck(reply); // the console switching the peek off
        return;
    }
    QByteArray bytes;
    const int address = (hi << 8) | lo;
    for (int i = 0; i < length; ++i)
        bytes.append(static_cast<char>(memoryAt(static_cast<std::uint16_t>(address + i))));
    const auto cmd1 = static_cast<std::uint8_t>(0x10 | (3 + length));
    send(makeFrame({cmd1, kSubcommandFrame, kDebugPeek, hi, lo}, bytes), reply);
}

void DeviceSim::sendAck(Clock::time_point earliest)
{
    send(makeFrame({0x10, kAcknowledge}), earliest);
}

void DeviceSim::sendStatus(Clock::time_point earliest)
{
    std::uint8_t version = 0;
    std::uint8_t monitor = 0;
    {
        const std::lock_guard lock(m_mutex);
        version = static_cast<std::uint8_t>(m_version);
        monitor = static_cast<std::uint8_t>(m_monitor);
    }
    const auto& d = m_options.date;
    send(makeFrame({0x18, kDeviceCommand, kStatus, version, monitor, m_options.revisionMajor,
                    m_options.revisionMinor, d[0], d[1], d[2]}),
         earliest);
}

void DeviceSim::sendNames(int version, const QByteArray& name, Clock::time_point earliest)
{
    QByteArray padded = name.left(kNameLength);
    padded.append(QByteArray(kNameLength - padded.size(), '\0'));
    for (int offset = 0; offset < kNameLength; offset += kNameChunkLength) {
        send(makeFrame({0x1B, kDeviceCommand, kNameChunk, static_cast<std::uint8_t>(version),
                        static_cast<std::uint8_t>(offset)},
                       padded.mid(offset, kNameChunkLength)),
             earliest);
    }
}

void DeviceSim::send(QByteArray frame, Clock::time_point earliest)
{
    if (silent())
        return;
    if (chance(m_options.badChecksumRate)) {
        const qsizetype last = frame.size() - 1;
        frame[last] = static_cast<char>(byteAt(frame, last) + 1);
    }
    QByteArray out;
    if (m_options.noiseMax > 0 && chance(m_options.noiseRate)) {
        const auto count = 1 + m_random() % static_cast<unsigned>(m_options.noiseMax);
        for (unsigned i = 0; i < count; ++i)
            out.append(static_cast<char>(m_random() & 0xFF));
    }
    out.append(frame);

    // One frame at a time on the line, in the order the device made them; paced, each
    // reaches the program once its last byte has crossed the line.
    Clock::time_point at = std::max(earliest, m_txLineFree);
    if (m_options.pace)
        at += kByteTime * out.size();
    m_txLineFree = at;
    m_outbox.push_back({out, at});
    const std::lock_guard lock(m_mutex);
    ++m_framesSent;
}

bool DeviceSim::chance(double rate)
{
    if (rate <= 0.0)
        return false;
    if (rate >= 1.0)
        return true;
    return static_cast<double>(m_random() & 0xFFFFFFFFu) < rate * 4294967296.0;
}

void DeviceSim::trace(const char* what, const QByteArray& bytes, Clock::time_point at) const
{
    if (!m_options.trace)
        return;
    const double seconds = std::chrono::duration<double>(at - m_started).count();
    std::fprintf(stderr, "devsim %11.6f %-4s %s\n", seconds, what, bytes.toHex(' ').constData());
}
