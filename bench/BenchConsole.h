#pragma once

#include "MenuBar1.h"
#include "config.h"
#include "p2sr.h"
#include "splash.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <memory>

class p2view;
class prefw;

// The whole program as an operator starts it, with its settings in a temporary folder and
// its port chosen: either the slave of a pseudo-terminal whose master this object keeps
// (the benchmark plays the device there) or a device path given, such as quillet-devsim's.
class BenchConsole
{
public:
    explicit BenchConsole(QString devicePath = {});
    ~BenchConsole();
    BenchConsole(const BenchConsole&) = delete;
    BenchConsole& operator=(const BenchConsole&) = delete;

    // The settings load and the splash window opens, creating the view and the console,
    // which opens the port. The heartbeat runs on its real 50 ms timer unless told not to.
    void start(bool realHeartbeat = true);
    // "Run": the console is shown and the splash window hidden.
    void showConsole();
    // Enable, then File answered with a .bin file holding image after its header. The
    // console is then ready for Start.
    [[nodiscard]] bool armDownload(const QByteArray& image);

    [[nodiscard]] prefw& console() const;
    [[nodiscard]] p2view& view() const;
    [[nodiscard]] app::main& splash() const { return *m_splash; }
    // The device's side of the pseudo-terminal, or -1 with a device path given.
    [[nodiscard]] int master() const { return m_master; }

private:
    QTemporaryDir m_dir;
    QString m_devicePath;
    int m_master = -1;
    int m_slave = -1;
    config::State m_settings;
    p2sr::State m_link;
    std::unique_ptr<MenuBar1> m_menus;
    std::unique_ptr<app::main> m_splash;
};
