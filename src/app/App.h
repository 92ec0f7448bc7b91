#pragma once

#include "MenuBar1.h"

#include <QApplication>

// The application object: it carries the menu bar and handles Help > Product PDF Manuals
// itself, so the manuals open whatever window is in front.
class App : public QApplication
{
    Q_OBJECT

public:
    App(int& argc, char** argv);
    ~App() override;

    // Runs before any window opens: loads the settings.
    void Event_Open();
    bool _Helppdf_Action();

    MenuBar1* menus() { return m_menus; }

private:
    MenuBar1* m_menus = nullptr;
};
