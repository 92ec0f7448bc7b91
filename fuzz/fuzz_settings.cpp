// Loads arbitrary bytes as quillet.ini, stores one new value and loads the file again.
// The file sits beside the program where anyone can edit it, and another system may
// have written it; whatever it holds, the store must read it line for line and what
// it then saves must read back as exactly the table it had in memory.
#include "config.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <utility>

namespace {

void require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "settings invariant broken: %s\n", what);
        std::abort();
    }
}

using Table = std::array<QByteArray, config::kSlots>;

// Lines end with LF, CRLF or CR; a last line without an end counts unless it is empty;
// the first 256 lines fill the table, one each.
Table linesOf(const QByteArray& content)
{
    Table table;
    std::size_t slot = 0;
    QByteArray line;
    for (qsizetype i = 0; i < content.size() && slot < table.size(); ++i) {
        const char c = content[i];
        if (c != '\r' && c != '\n') {
            line.append(c);
            continue;
        }
        table[slot++] = std::exchange(line, QByteArray());
        if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n')
            ++i;
    }
    if (!line.isEmpty() && slot < table.size())
        table[slot] = line;
    return table;
}

// Keys and values compare with A-Z matching a-z, every other byte as it is.
bool sameText(const QByteArray& a, const QByteArray& b)
{
    const auto fold = [](char c) {
        return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    };
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

// The value as the store keeps it: one line of UTF-8.
QByteArray asStored(const QString& text)
{
    return text.toUtf8().replace('\r', ' ').replace('\n', ' ');
}

QString someText(FuzzedDataProvider& data)
{
    const std::string bytes = data.ConsumeRandomLengthString(24);
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void load(config::State& state, const QString& folder)
{
    state.folder = folder;
    config::wire(state);
    config::initconfig(QStringLiteral("quillet"));
}

QTemporaryDir* g_folder = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Memory-backed when the machine has it: every input writes the file twice.
    const QString base =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    static QTemporaryDir folder(base + QStringLiteral("/quillet-fuzz-XXXXXX"));
    require(folder.isValid(), "no temporary folder");
    g_folder = &folder;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    FuzzedDataProvider data(bytes, size);
    // Now and then the content starts at the last byte of the loader's first 64 KiB read,
    // so a CRLF or the last line's end falls across two reads.
    const bool acrossReads = data.ConsumeIntegralInRange(0, 63) == 0;
    const bool knownKey = data.ConsumeBool();
    const auto pair = static_cast<std::size_t>(data.ConsumeIntegralInRange(0, config::kPairs - 1));
    const QString newKey = someText(data);
    QString value = someText(data);
    const std::string rest = data.ConsumeRemainingBytesAsString();
    QByteArray content;
    if (acrossReads)
        content.fill('=', 64 * 1024 - 1);
    content.append(rest.data(), static_cast<qsizetype>(rest.size()));

    const QString folder = g_folder->path();
    {
        QFile file(QDir(folder).filePath(QStringLiteral("quillet.ini")));
        require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the file");
        require(file.write(content) == content.size(), "short write of the file");
    }

    config::State first;
    load(first, folder);
    require(first.parray == linesOf(content), "loaded table differs from the file's lines");

    // A value that differs from the stored one, so that the store must save.
    const QString key = knownKey ? QString::fromUtf8(first.parray[2 * pair]) : newKey;
    const int k = config::findconfig(key);
    if (k >= 0) {
        const auto slot = static_cast<std::size_t>(2 * k + 1);
        if (sameText(first.parray[slot], asStored(value)))
            value.append(QLatin1Char('#'));
        config::putconfig(key, value);
        require(first.parray[slot - 1] == asStored(key), "key not stored");
        require(first.parray[slot] == asStored(value), "value not stored");
    } else {
        // Every pair holds another key: nothing can be stored, so save the table as it is.
        config::saveconfig();
    }
    for (const QByteArray& line : first.parray)
        require(!line.contains('\r') && !line.contains('\n'), "a slot holds a line break");

    const Table before = first.parray;
    config::State second;
    load(second, folder);
    require(second.parray == before, "table changed through a save and a reload");
    return 0;
}
