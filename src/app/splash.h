#pragma once

#include "PortList.h"

#include <QImage>
#include <QMainWindow>
#include <QStringList>
#include <QTimer>
#include <memory>

class MenuBar1;
class QLabel;
class QPushButton;
class p2view;
class prefw;

namespace app {

// The splash window: the product's picture and "Run". It creates the communications view
// and the console, and its timer is the program's 50 ms heartbeat for the whole run.
class main : public QMainWindow
{
    Q_OBJECT

public:
    // ports: the list the console's port selector offers.
    explicit main(MenuBar1& menus, PortList ports = PortList(), QWidget* parent = nullptr);
    ~main() override;

    // Where the splash picture is looked for: the application's resource folder.
    [[nodiscard]] static QString picturePath();

    // Creates the communications view and the console, both hidden, then shows itself.
    void Event_Open();
    void ImageWell1_Open();
    void BevelButton1_Action();
    void Timer1_Action();

    [[nodiscard]] prefw* console() const { return m_console.get(); }
    [[nodiscard]] p2view* view() const { return m_view.get(); }

    QLabel* ImageWell1 = nullptr;
    QPushButton* BevelButton1 = nullptr;
    QTimer Timer1;

private:
    [[nodiscard]] static const QImage& picture();

    MenuBar1& m_menus;
    PortList m_ports;
    std::unique_ptr<p2view> m_view;
    std::unique_ptr<prefw> m_console;
};

} // namespace app
