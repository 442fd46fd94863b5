// The grid's model: serves the rows of a BatchTable on demand (no widget per cell), with
// the captions, widths and colours of the batch grid. The check column writes Selected,
// the file-name column writes Filename; every other cell is read-only.
#pragma once
#include <QAbstractTableModel>
#include <QString>
#include <utility>
#include <vector>

#include "batch/batch_table.h"

namespace settings {
class Settings;
}

namespace batchui {

class BatchModel : public QAbstractTableModel {
    Q_OBJECT
public:
    BatchModel(const settings::Settings& settings, QObject* parent = nullptr);

    // The table stays owned by the caller; call Reset after rebuilding it.
    void SetTable(batch::BatchTable* table);
    void Reset();
    batch::BatchTable* Table() const { return table_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Tell the view that every check mark may have changed (after a selection command).
    void ChecksChanged();

    // Layout widths in pixels (15 twips to the pixel), and the columns the grid hides.
    // The table's fields, then one column of the model's own: what the device makes of the map.
    static constexpr int kDeviceColumn = batch::kColumnCount;
    static constexpr int kModelColumns = batch::kColumnCount + 1;
    static int DesignWidth(int column);
    static bool Hidden(int column);

    // "NivelesZoom": (MinScale text, "StandardScale/Name" text) per ZoomLevels entry of the
    // settings file, rebuilt at every reset; shown as the zoom headers' tooltip.
    const std::vector<std::pair<QString, QString>>& ZoomValueList() const { return valueList_; }

private:
    void RebuildValueList();
    // Grid column captions, by field position; "" for the hidden columns.
    static QString ColumnCaption(int column);

    const settings::Settings& settings_;
    batch::BatchTable* table_ = nullptr;
    std::vector<std::pair<QString, QString>> valueList_;
    QString valueListTip_;
};

}  // namespace batchui
