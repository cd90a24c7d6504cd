#include "Host/LogHostCallbookModel.h"

#include <algorithm>

namespace {

// The columns every callbook has: the call, its prefix and the bureau mark.
const std::vector<LogHostCallbookModel::Column> kAlwaysShown = {
    LogHostCallbookModel::Call, LogHostCallbookModel::Prefix, LogHostCallbookModel::Bureau};

} // namespace

LogHostCallbookModel::LogHostCallbookModel(QObject* parent)
    : QAbstractTableModel(parent), FShown(kAlwaysShown) {}

void LogHostCallbookModel::Reload(const Callbook* callbook, const QString& prefix,
                                  std::optional<bool> bureau) {
    beginResetModel();
    FRows.clear();
    FShown = {Call, Prefix};
    if (callbook != nullptr) {
        FRows = callbook->Rows(prefix.trimmed().toStdString(), bureau, kRowLimit);
        const std::pair<Column, CallbookDetail> details[] = {
            {Name, CallbookDetail::Name}, {Qth, CallbookDetail::Qth}, {Grid, CallbookDetail::Grid}};
        for (const auto& [column, detail] : details)
            if (callbook->HasDetail(detail))
                FShown.push_back(column);
    }
    FShown.push_back(Bureau);
    endResetModel();
}

int LogHostCallbookModel::SectionOf(Column column) const {
    const auto found = std::find(FShown.begin(), FShown.end(), column);
    return found == FShown.end() ? -1 : static_cast<int>(found - FShown.begin());
}

int LogHostCallbookModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FRows.size());
}

int LogHostCallbookModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FShown.size());
}

QVariant LogHostCallbookModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(FRows.size()) ||
        index.column() >= static_cast<int>(FShown.size()))
        return {};
    const CallbookRow& row = FRows[static_cast<std::size_t>(index.row())];
    const Column column = FShown[static_cast<std::size_t>(index.column())];
    if (role == Qt::DisplayRole) {
        switch (column) {
        case Call:
            return QString::fromStdString(row.Call);
        case Prefix:
            return QString::fromStdString(row.DxccPrefix);
        case Name:
            return QString::fromStdString(row.Name);
        case Qth:
            return QString::fromStdString(row.Qth);
        case Grid:
            return QString::fromStdString(row.Grid);
        default:
            return {};
        }
    }
    if (role == Qt::CheckStateRole && column == Bureau)
        return row.Bureau ? Qt::Checked : Qt::Unchecked;
    return {};
}

QVariant LogHostCallbookModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    static const char* const titles[ColumnCount] = {"Call", "DXCC", "Name", "QTH", "Grid", "Bureau"};
    if (section < 0 || section >= static_cast<int>(FShown.size()))
        return {};
    return QString(titles[FShown[static_cast<std::size_t>(section)]]);
}
