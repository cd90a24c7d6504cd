#include "Host/LogHostCallbookModel.h"

void LogHostCallbookModel::Reload(const Callbook* callbook, const QString& prefix,
                                  std::optional<bool> bureau) {
    beginResetModel();
    rows_.clear();
    if (callbook != nullptr)
        rows_ = callbook->Rows(prefix.trimmed().toStdString(), bureau, kRowLimit);
    endResetModel();
}

int LogHostCallbookModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int LogHostCallbookModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LogHostCallbookModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size()))
        return {};
    const CallbookRow& row = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
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
    if (role == Qt::CheckStateRole && index.column() == Bureau)
        return row.Bureau ? Qt::Checked : Qt::Unchecked;
    return {};
}

QVariant LogHostCallbookModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    static const char* const titles[ColumnCount] = {"Call", "DXCC", "Name", "QTH", "Grid", "Bureau"};
    return section >= 0 && section < ColumnCount ? QString(titles[section]) : QVariant();
}
