// The D calibration table: rows of capacitance bounds (pF) and a D correction, as typed.
// The window's grid is a view on it; the computation of D reads it through CorrectionFor.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVector>

#include <array>

namespace Device {

// The texts of columns 1 to 3 of one row: lower bound, upper bound, correction.
using CalibrationRow = std::array<QString, 3>;

class CalibrationTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // Column 0 carries the row marker; columns 1 to 3 the texts of CalibrationRow.
    static constexpr int MarkerColumn = 0;
    static constexpr int ColumnCount = 4;
    static const QString Marker; // "   *****"

    explicit CalibrationTableModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The text of a cell (column 0: the marker or nothing); empty outside the table.
    QString Cell(int row, int column) const;
    // Sets the text of column 1..3, as typed; false for a cell outside the table.
    bool SetCell(int row, int column, const QString &text);
    int MarkerRow() const { return m_marker; } // -1: no marker
    QVector<CalibrationRow> Rows() const { return m_rows; }

    // The user moved to a cell: the marker goes to its row, and the last row gets an empty row
    // below it.
    void SelectCell(int column, int row);
    // One empty row, no marker: the table of a new window.
    void Clear();
    // The table after reading a file: the rows read and an empty last row, the marker on the
    // first. Without rows only the first row stays, with its texts.
    void Load(const QVector<CalibrationRow> &rows);

    // The correction of the first row whose bounds hold c, both inclusive. 0 when a row with an
    // empty first cell or an unreadable cell comes first, or when no row matches.
    float CorrectionFor(float c) const;

private:
    // A row as the lookup needs it, kept up to date with every edit.
    struct Range {
        bool endsLookup = true; // empty first cell or a cell that is not a number
        float low = 0.0f;
        float high = 0.0f;
        float correction = 0.0f;
    };
    static Range Parse(const CalibrationRow &row);
    void AppendEmptyRow();

    QVector<CalibrationRow> m_rows;
    QVector<Range> m_ranges;
    int m_marker = -1;
};

// The one table of the program, owned by unit Device (defined in device_state.cpp).
CalibrationTableModel &ClbTable();

} // namespace Device
