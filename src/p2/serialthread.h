#pragma once

#include <QMetaObject>
#include <QObject>

class p2serial;

// The endpoint's reader. While a download runs (p2thread true) it takes every byte that
// arrives at the port and hands it to the frame assembly at once, so the device's next
// block request is answered without delay; otherwise it idles and the endpoint's
// data-available path reads. It follows the port's own arrival notification on the user
// interface thread, so it never spins, polls or passes bytes between threads.
class serialthread : public QObject
{
    Q_OBJECT

public:
    explicit serialthread(p2serial& port, QObject* parent = nullptr);
    ~serialthread() override;

    void start();
    void stop();
    [[nodiscard]] bool running() const { return m_running; }

    bool p2open = true;    // the reader runs while true
    bool p2thread = false; // true: the reader reads and the data-available path stands aside

private:
    void pass();

    p2serial& m_port;
    QMetaObject::Connection m_arrival;
    bool m_running = false;
};
