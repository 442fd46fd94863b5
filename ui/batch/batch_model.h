// The grid's model: serves the rows of a BatchTable on demand (no widget per cell), worded
// for the batch grid, and keeps which rows are checked. The check column writes the check
// mark, the file-name column the row's file name; every other cell is read-only.
#pragma once
#include <QAbstractTableModel>
#include <QString>
#include <vector>

#include "batch/batch_table.h"

namespace settings {
struct SettingsTables;
}

namespace batchui {

class BatchModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column : int {
        kCheck = 0,
        kGroup,
        kGroupName,
        kLevels,
        kZoom1,  // .. kZoom1 + 4
        kTiles = kZoom1 + jnx::device::kMaxLevels,
        kVersion,
        kDrawOrder,
        kFilename,
        kDevice,  // what the device makes of the map
        kColumnCount
    };

    // The zoom headers' tooltip lists the rows of tables' zoom table, as the window holds it.
    BatchModel(const settings::SettingsTables& tables, QObject* parent = nullptr);

    // The table stays owned by the caller; call Reset after rebuilding it. A reset leaves
    // the rows of checked (indices into the new rows) checked and no other.
    void SetTable(batch::BatchTable* table);
    void Reset(const batch::Selection& checked = {});
    batch::BatchTable* Table() const { return table_; }

    batch::Selection Checked() const;
    std::size_t CheckedCount() const;
    bool IsChecked(int row) const;
    // Checks exactly the rows given (a selection command) and tells the view.
    void SetChecked(const batch::Selection& rows);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    static bool IsZoomColumn(int column) { return column >= kZoom1 && column < kZoom1 + jnx::device::kMaxLevels; }

private:
    QString Display(const batch::MapRow& row, int column) const;
    QString ToolTip(const batch::MapRow& row, int column) const;
    static QString ColumnCaption(int column);

    const settings::SettingsTables& tables_;
    batch::BatchTable* table_ = nullptr;
    std::vector<bool> checked_;  // one per row of table_
};

}  // namespace batchui
