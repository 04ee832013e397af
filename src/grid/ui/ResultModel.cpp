#include "ResultModel.h"

#include "db/ResultSet.h"

#include <limits>

namespace vnk::ui {

ResultModel::ResultModel(QObject* parent) : QAbstractTableModel(parent) {}

void ResultModel::setResult(db::ResultSet* result) {
    beginResetModel();
    result_ = result;
    if (result_) {
        // A view addresses rows with an int; a result beyond that shows its first rows.
        rows_ = static_cast<int>(std::min<std::int64_t>(result_->recordCount(),
                                                        std::numeric_limits<int>::max()));
        cols_ = result_->fieldCount();
    } else {
        rows_ = cols_ = 0;
    }
    endResetModel();
}

void ResultModel::rowsReordered() {
    if (rows_ > 0 && cols_ > 0)
        Q_EMIT dataChanged(index(0, 0), index(rows_ - 1, cols_ - 1), {Qt::DisplayRole});
}

QString ResultModel::cellText(int row, int col) const {
    if (!result_ || row < 0 || row >= rows_ || col < 0 || col >= cols_)
        return {};
    return result_->displayText(row, col);
}

Qt::Alignment ResultModel::alignment(int col) const {
    if (!result_ || col < 0 || col >= cols_)
        return Qt::AlignLeft;
    // Numbers line up on the right, as a data grid shows them.
    switch (result_->field(col).kind) {
    case db::FieldKind::SmallInt:
    case db::FieldKind::Integer:
    case db::FieldKind::Word:
    case db::FieldKind::LargeInt:
    case db::FieldKind::LargeUInt:
    case db::FieldKind::AutoInc:
    case db::FieldKind::Float:
    case db::FieldKind::Currency:
    case db::FieldKind::Decimal: return Qt::AlignRight;
    default: return Qt::AlignLeft;
    }
}

int ResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int ResultModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : cols_;
}

QVariant ResultModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return cellText(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(alignment(index.column()) | Qt::AlignVCenter);
    default: return {};
    }
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || !result_ || section < 0 ||
        section >= cols_)
        return {};
    return result_->field(section).name;
}

Qt::ItemFlags ResultModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

}  // namespace vnk::ui
