#pragma once

#include "Alert.h"
#include "MenuBar1.h"
#include "Pty.h"
#include "config.h"
#include "p2sr.h"
#include "splash.h"

#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class p2view;
class prefw;

// The whole program as it starts, with its settings in a temporary folder and a device
// at the master side of a pseudo-terminal, named on the command line as --port would.
class World
{
public:
    World();
    ~World();

    // Writes quillet.ini before start: alternating keys and values.
    void writeSettings(const QStringList& lines) const;
    // Starts with the device's port chosen, so the console opens it at once; by default
    // the device is the test's own pseudo-terminal, else the one at devicePath.
    void startWithDevice(const QString& devicePath = {});
    // The next frame the device receives, as spaced lower-case hex ("01 b0 04 b5"), or
    // an empty string when nothing arrives in time.
    [[nodiscard]] QByteArray nextFrame(int timeoutMs = 2000);
    // Up to count bytes the device receives within timeoutMs, the program running meanwhile.
    [[nodiscard]] QByteArray receive(int count, int timeoutMs);
    // The settings load and the splash window opens, creating the other two windows.
    // Unless told otherwise, the test runs the heartbeat itself with tick().
    void start(bool realHeartbeat = false);
    // Runs the event loop as the program does, waking for each event rather than polling
    // (as QTRY_ does, with its 10 ms naps), until done() or timeoutMs; gives done().
    static bool waitUntil(const std::function<bool()>& done, int timeoutMs);
    // Heartbeat ticks, as the splash window's timer would run them.
    void tick(int count = 1);
    [[nodiscard]] QString settingsFile() const;
    [[nodiscard]] QByteArray settingsText() const;

    prefw& console() const { return *splash->console(); }
    p2view& view() const { return *splash->view(); }

    Pty device;
    QTemporaryDir dir;
    config::State settings;
    p2sr::State link;
    MenuBar1 menus;
    std::unique_ptr<app::main> splash;
    QStringList alerts;

private:
    QString m_portPath; // the device the console's port list offers
    Alert::Handler m_previousAlert;
};
