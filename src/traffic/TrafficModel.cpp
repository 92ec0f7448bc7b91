#include "TrafficModel.h"

#include "uisr.h"

#include <QByteArrayView>
#include <algorithm>
#include <cstring>

TrafficModel::TrafficModel(int cap, QObject* parent)
    : QAbstractListModel(parent), m_cap(std::max(cap, 1))
{
    // A million rows must stay in the tens of megabytes, not hundreds.
    static_assert(sizeof(Record) <= 20);
}

TrafficModel::~TrafficModel() = default;

int TrafficModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return static_cast<int>(m_records.size());
}

QVariant TrafficModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    return rowText(index.row());
}

void TrafficModel::addRow(const QString& prefix, std::span<const std::uint8_t> bytes)
{
    Record record;
    const bool fits = bytes.size() <= kInlineBytes;
    const int prefixSlot = fits ? prefixIndex(prefix) : -1;
    if (prefixSlot >= 0) {
        record.length = static_cast<std::uint8_t>(bytes.size());
        record.prefix = static_cast<std::uint8_t>(prefixSlot);
        std::copy(bytes.begin(), bytes.end(), record.bytes.begin());
    } else {
        const std::uint32_t sequence =
            m_firstSpilled + static_cast<std::uint32_t>(m_spilled.size());
        const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
        m_spilled.push_back({prefix, view.toByteArray()});
        record.length = kSpilled;
        std::memcpy(record.bytes.data(), &sequence, sizeof sequence);
    }

    if (rowCount() >= m_cap)
        dropOldest();

    beginInsertRows(QModelIndex(), 0, 0);
    m_records.push_back(record);
    endInsertRows();
}

void TrafficModel::clear()
{
    beginResetModel();
    // Swapping with empty containers hands the memory of a long log back at once.
    std::deque<Record>().swap(m_records);
    std::deque<SpilledRow>().swap(m_spilled);
    m_firstSpilled = 0;
    m_prefixes = {QString()};
    endResetModel();
}

QString TrafficModel::rowText(int row) const
{
    if (row < 0 || row >= rowCount())
        return {};
    const Record& record = m_records[m_records.size() - 1 - static_cast<std::size_t>(row)];

    QString text;
    const auto appendBytes = [&text](const auto& bytes) {
        for (const auto b : bytes) {
            uisr::appendHex(text, static_cast<std::uint8_t>(b));
            text.append(QLatin1Char(' '));
        }
    };
    if (record.length == kSpilled) {
        const SpilledRow& spilled = spilledRow(record);
        text.reserve(spilled.prefix.size() + 3 * spilled.bytes.size());
        text.append(spilled.prefix);
        appendBytes(spilled.bytes);
    } else {
        const QString& prefix = m_prefixes.at(record.prefix);
        text.reserve(prefix.size() + 3 * record.length);
        text.append(prefix);
        appendBytes(std::span(record.bytes.data(), record.length));
    }
    return text;
}

int TrafficModel::prefixIndex(const QString& prefix)
{
    // In practice the table holds "" and "Rx-"; a linear search is the fastest lookup.
    const qsizetype found = m_prefixes.indexOf(prefix);
    if (found >= 0)
        return static_cast<int>(found);
    if (m_prefixes.size() >= kMaxPrefixes)
        return -1;
    m_prefixes.append(prefix);
    return static_cast<int>(m_prefixes.size() - 1);
}

const TrafficModel::SpilledRow& TrafficModel::spilledRow(const Record& record) const
{
    std::uint32_t sequence = 0;
    std::memcpy(&sequence, record.bytes.data(), sizeof sequence);
    return m_spilled[sequence - m_firstSpilled];
}

void TrafficModel::dropOldest()
{
    const int bottom = rowCount() - 1;
    beginRemoveRows(QModelIndex(), bottom, bottom);
    if (m_records.front().length == kSpilled) {
        m_spilled.pop_front();
        ++m_firstSpilled;
    }
    m_records.pop_front();
    endRemoveRows();
}
