#pragma once

#include <QByteArray>
#include <QString>
#include <array>

// The program's few persistent settings: a flat table of 128 key/value pairs of text,
// mirrored line by line in quillet.ini in the application's folder. Every store that
// changes a value rewrites the whole file at once.
namespace config {

inline constexpr int kSlots = 256;
inline constexpr int kPairs = kSlots / 2;
inline constexpr auto kDefaultFont = "Tahoma";

// The module's state. The program wires one at start-up; a test wires a fresh one.
struct State
{
    QString folder; // where the file lives; empty means the application's folder
    QString filename;
    std::array<QByteArray, kSlots> parray; // slot 2k: key of pair k, slot 2k+1: its value
    bool cfound = false;
};

void wire(State& state);
[[nodiscard]] State& state();

// The file's full path: filename in the folder of the wired state.
[[nodiscard]] QString path();

void initconfig(const QString& name);
[[nodiscard]] int findconfig(const QString& key);
[[nodiscard]] QString getstring(const QString& key);
void putconfig(const QString& key, const QString& value);
void saveconfig();
void putbool(const QString& key, bool value);
[[nodiscard]] bool getbool(const QString& key);
[[nodiscard]] QString getfont(const QString& key);

} // namespace config
