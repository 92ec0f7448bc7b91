#include "App.h"

#include "config.h"
#include "dialogs.h"

#include <QAction>

App::App(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("quillet"));
    setApplicationDisplayName(QStringLiteral("Quillet"));
    setApplicationVersion(QStringLiteral("1.0"));
    m_menus = new MenuBar1(this);
    connect(m_menus->Helppdf, &QAction::triggered, this, &App::_Helppdf_Action);
}

App::~App() = default;

void App::Event_Open()
{
    config::initconfig(QStringLiteral("quillet"));
}

bool App::_Helppdf_Action()
{
    uisr::openpdffile();
    return true;
}
