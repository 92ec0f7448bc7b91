#include "config.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace config {
namespace {

State g_builtin;
State* g_state = &g_builtin;

// Keys and values compare with A-Z matching a-z and every other byte as it is, so a value
// written by another system reads back byte for byte.
bool sameText(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size())
        return false;
    const auto fold = [](char c) {
        return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    };
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

// A value is one line of the file; a line break inside it would shift every later slot.
QByteArray oneLine(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace('\r', ' ').replace('\n', ' ');
    return bytes;
}

// Reads lines ended by LF, CRLF or CR into the table, at most one per slot.
class LineReader
{
public:
    explicit LineReader(std::array<QByteArray, kSlots>& table) : m_table(table) {}

    [[nodiscard]] bool full() const { return m_slot >= kSlots; }

    void feed(const char* data, qsizetype size)
    {
        for (qsizetype i = 0; i < size && !full(); ++i) {
            const char c = data[i];
            if (m_afterCr && c == '\n') {
                m_afterCr = false;
                continue;
            }
            m_afterCr = c == '\r';
            if (c == '\r' || c == '\n')
                endLine();
            else
                m_line.append(c);
        }
    }

    // A last line without a terminator still counts.
    void finish()
    {
        if (!m_line.isEmpty() && !full())
            endLine();
    }

private:
    void endLine()
    {
        m_table[static_cast<std::size_t>(m_slot++)] = m_line;
        m_line.clear();
    }

    std::array<QByteArray, kSlots>& m_table;
    QByteArray m_line;
    int m_slot = 0;
    bool m_afterCr = false;
};

} // namespace

void wire(State& state)
{
    g_state = &state;
}

State& state()
{
    return *g_state;
}

QString path()
{
    const QString folder =
        g_state->folder.isEmpty() ? QCoreApplication::applicationDirPath() : g_state->folder;
    return QDir(folder).filePath(g_state->filename);
}

void initconfig(const QString& name)
{
    State& s = *g_state;
    s.parray.fill(QByteArray());
    s.filename = name + QStringLiteral(".ini");

    QFile file(path());
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return;

    LineReader reader(s.parray);
    std::array<char, 64 * 1024> chunk;
    while (!reader.full()) {
        const qint64 got = file.read(chunk.data(), chunk.size());
        if (got <= 0)
            break;
        reader.feed(chunk.data(), got);
    }
    reader.finish();
}

int findconfig(const QString& key)
{
    State& s = *g_state;
    s.cfound = false;
    const QByteArray wanted = key.toUtf8();
    for (int k = 0; k < kPairs; ++k) {
        const QByteArray& slot = s.parray[static_cast<std::size_t>(2 * k)];
        if (slot.isEmpty())
            return k;
        if (sameText(slot, wanted)) {
            s.cfound = true;
            return k;
        }
    }
    return -1; // every pair holds another key
}

QString getstring(const QString& key)
{
    const int k = findconfig(key);
    if (!g_state->cfound)
        return {};
    return QString::fromUtf8(g_state->parray[static_cast<std::size_t>(2 * k + 1)]);
}

void putconfig(const QString& key, const QString& value)
{
    const int k = findconfig(key);
    if (k < 0)
        return; // the table is full: a new key has nowhere to go
    State& s = *g_state;
    s.parray[static_cast<std::size_t>(2 * k)] = oneLine(key);
    QByteArray& slot = s.parray[static_cast<std::size_t>(2 * k + 1)];
    const QByteArray text = oneLine(value);
    if (sameText(slot, text))
        return;
    slot = text;
    saveconfig();
}

void saveconfig()
{
    QByteArray content;
    for (const QByteArray& line : std::as_const(g_state->parray)) {
        content += line;
        content += '\n';
    }
    // The new content goes to a temporary file beside the old one and replaces it only
    // once all of it is written, so a full disk or a crash never leaves a truncated file.
    // A short write is a failure too: the file system may take part of it and then refuse.
    // A quillet.ini that is a link to another file is replaced by a file of its own: the
    // save never writes through the link into whatever it points at.
    const QString target = path();
    if (QFileInfo(target).isSymLink())
        QFile::remove(target);
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return;
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return;
    }
    file.commit(); // if it fails, the table keeps its values and the next store tries again
}

void putbool(const QString& key, bool value)
{
    putconfig(key, value ? QStringLiteral("true") : QStringLiteral("false"));
}

bool getbool(const QString& key)
{
    const int k = findconfig(key);
    return g_state->cfound &&
           sameText(g_state->parray[static_cast<std::size_t>(2 * k + 1)], "true");
}

QString getfont(const QString& key)
{
    const QString font = getstring(key);
    return font.isEmpty() ? QString::fromLatin1(kDefaultFont) : font;
}

} // namespace config
