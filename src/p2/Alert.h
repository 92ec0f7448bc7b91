#pragma once

#include <QString>
#include <functional>

// The modal message box with which the link tells the operator something went wrong.
// The application installs a real message box; tests install one that records.
class Alert
{
public:
    using Handler = std::function<void(const QString& text, const QString& detail)>;

    static void show(const QString& text, const QString& detail = {});
    // Installs handler and returns the one it replaces.
    static Handler install(Handler handler);
};
