#pragma once

#include <QAbstractTableModel>

namespace vnk::db {
class ResultSet;
}

namespace vnk::ui {

// A read-only table over a held result: one column per field, the rows in the result's
// current order. Nothing is cached per row, so a million-row result costs nothing here;
// each cell's text is read from the result when the view asks for it.
class ResultModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit ResultModel(QObject* parent = nullptr);

    // The result is not owned; nullptr empties the model. Call again (or with nullptr)
    // before the result goes away.
    void setResult(db::ResultSet* result);
    db::ResultSet* result() const { return result_; }

    // The held rows were put in another order: every cell changed, rows and columns stay.
    void rowsReordered();

    // The display text of a cell, without a QVariant in between.
    QString cellText(int row, int col) const;
    Qt::Alignment alignment(int col) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Editable only so that the current cell can open its read-only editor.
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    db::ResultSet* result_ = nullptr;
    int rows_ = 0;
    int cols_ = 0;
};

}  // namespace vnk::ui
