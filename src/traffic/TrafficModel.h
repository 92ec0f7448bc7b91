#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <cstdint>
#include <deque>
#include <span>

// The rows of the communications view, newest first. A firmware download logs two rows
// per 8-byte block, so the log can reach a million rows: each row is kept as its raw bytes
// in a small fixed record, and its text is only built when the view asks for it.
class TrafficModel : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int kDefaultCap = 2'000'000;

    // cap: the most rows kept; beyond it the oldest rows go first.
    explicit TrafficModel(int cap = kDefaultCap, QObject* parent = nullptr);
    ~TrafficModel() override;

    [[nodiscard]] int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;

    // Puts a row at the top (row 0): the prefix, then each byte as two hex digits and a space.
    void addRow(const QString& prefix, std::span<const std::uint8_t> bytes);
    void clear();

    // The text of a view row, 0 being the newest.
    [[nodiscard]] QString rowText(int row) const;
    [[nodiscard]] int cap() const { return m_cap; }

private:
    // A frame is at most 18 bytes. Anything longer, or a row whose prefix no longer fits the
    // prefix table, is spilled to m_spilled and the record holds its sequence number.
    static constexpr int kInlineBytes = 18;
    static constexpr std::uint8_t kSpilled = 0xFF;
    static constexpr int kMaxPrefixes = 256;

    struct Record
    {
        std::uint8_t length = 0; // bytes used, or kSpilled
        std::uint8_t prefix = 0; // index into m_prefixes
        std::array<std::uint8_t, kInlineBytes> bytes{};
    };

    struct SpilledRow
    {
        QString prefix;
        QByteArray bytes;
    };

    [[nodiscard]] int prefixIndex(const QString& prefix);
    [[nodiscard]] const SpilledRow& spilledRow(const Record& record) const;
    void dropOldest();

    int m_cap = kDefaultCap;
    std::deque<Record> m_records; // arrival order: the oldest at the front
    std::deque<SpilledRow> m_spilled;
    std::uint32_t m_firstSpilled = 0; // sequence number of m_spilled.front()
    QList<QString> m_prefixes{QString()};
};
