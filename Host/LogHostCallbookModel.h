// The callbook as the main window's table shows it: a filtered, bounded list of rows, with the
// details the callbook has (name, QTH, grid) and without those it lacks.
#pragma once

#include "Host/Callbook.h"

#include <QAbstractTableModel>

#include <optional>
#include <vector>

class LogHostCallbookModel final : public QAbstractTableModel {
public:
    // The window lists no more rows than this; the status bar tells how many match.
    static constexpr int kRowLimit = 5000;
    // Every column the table may show, in the order shown.
    enum Column { Call, Prefix, Name, Qth, Grid, Bureau, ColumnCount };

    explicit LogHostCallbookModel(QObject* parent = nullptr);

    // Reads the rows again, and which columns the callbook has; a null callbook shows none.
    void Reload(const Callbook* callbook, const QString& prefix, std::optional<bool> bureau);
    // The section that shows the column, or -1 when the callbook has no such column.
    int SectionOf(Column column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<CallbookRow> FRows;
    std::vector<Column> FShown;
};
