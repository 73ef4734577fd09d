// The calibration table model: texts kept as typed, parsed once per edit for the lookup.
#include "link/calibration_table.h"

#include "link/calibration.h"

namespace Device {

const QString CalibrationTableModel::Marker = QStringLiteral("   *****");

CalibrationTableModel::CalibrationTableModel(QObject *parent) : QAbstractTableModel(parent) {
    m_rows.resize(1);
    m_ranges.resize(1);
}

int CalibrationTableModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CalibrationTableModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CalibrationTableModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) return Cell(index.row(), index.column());
    return {};
}

bool CalibrationTableModel::setData(const QModelIndex &index, const QVariant &value, int role) {
    if (role != Qt::EditRole || !index.isValid()) return false;
    return SetCell(index.row(), index.column(), value.toString());
}

Qt::ItemFlags CalibrationTableModel::flags(const QModelIndex &index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    if (index.column() == MarkerColumn) return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

QString CalibrationTableModel::Cell(int row, int column) const {
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= ColumnCount) return {};
    if (column == MarkerColumn) return row == m_marker ? Marker : QString();
    return m_rows[row][static_cast<std::size_t>(column - 1)];
}

bool CalibrationTableModel::SetCell(int row, int column, const QString &text) {
    if (row < 0 || row >= m_rows.size() || column <= MarkerColumn || column >= ColumnCount)
        return false;
    QString &cell = m_rows[row][static_cast<std::size_t>(column - 1)];
    if (cell == text) return true;
    cell = text;
    m_ranges[row] = Parse(m_rows[row]);
    const QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

void CalibrationTableModel::SelectCell(int /*column*/, int row) {
    if (row < 0 || row >= m_rows.size()) return;
    const int previous = m_marker;
    m_marker = row;
    if (previous >= 0 && previous < m_rows.size() && previous != row)
        emit dataChanged(index(previous, MarkerColumn), index(previous, MarkerColumn));
    emit dataChanged(index(row, MarkerColumn), index(row, MarkerColumn));
    if (row == m_rows.size() - 1) AppendEmptyRow();
}

void CalibrationTableModel::Clear() {
    beginResetModel();
    m_rows = QVector<CalibrationRow>(1);
    m_ranges = QVector<Range>(1);
    m_marker = -1;
    endResetModel();
}

void CalibrationTableModel::Load(const QVector<CalibrationRow> &rows) {
    beginResetModel();
    if (rows.isEmpty()) {
        m_rows.resize(1);
    } else {
        m_rows = rows;
        m_rows.append(CalibrationRow{});
    }
    m_ranges.resize(m_rows.size());
    for (qsizetype row = 0; row < m_rows.size(); ++row)
        m_ranges[row] = Parse(m_rows[row]);
    m_marker = 0;
    endResetModel();
}

float CalibrationTableModel::CorrectionFor(float c) const {
    for (const Range &range : m_ranges) {
        if (range.endsLookup) return 0.0f;
        if (range.low <= c && c <= range.high) return range.correction;
    }
    return 0.0f;
}

CalibrationTableModel::Range CalibrationTableModel::Parse(const CalibrationRow &row) {
    Range range;
    if (row[0].isEmpty()) return range;
    if (!ReadCalibrationNumber(row[0], &range.low) || !ReadCalibrationNumber(row[1], &range.high) ||
        !ReadCalibrationNumber(row[2], &range.correction))
        return range;
    range.endsLookup = false;
    return range;
}

void CalibrationTableModel::AppendEmptyRow() {
    const int row = static_cast<int>(m_rows.size());
    beginInsertRows(QModelIndex(), row, row);
    m_rows.append(CalibrationRow{});
    m_ranges.append(Range{});
    endInsertRows();
}

} // namespace Device
