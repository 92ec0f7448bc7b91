#include "Alert.h"

#include <QDebug>
#include <utility>

namespace {

// Until the application installs its message box, alerts go to the log.
void logAlert(const QString& text, const QString& detail)
{
    qWarning().noquote() << text << detail;
}

Alert::Handler& handler()
{
    static Alert::Handler current = logAlert;
    return current;
}

} // namespace

void Alert::show(const QString& text, const QString& detail)
{
    if (handler())
        handler()(text, detail);
}

Alert::Handler Alert::install(Handler replacement)
{
    return std::exchange(handler(), std::move(replacement));
}
