#include "ui/batch/batch_model.h"

#include <QBrush>
#include <QColor>
#include <QFont>

#include "ui/common/device_check_line.h"
#include "ui/common/error_message.h"
#include "settings/settings.h"
#include "platform/text.h"

namespace batchui {

namespace {

constexpr int kTwipsPerPixel = 15;

// clang-format off
// Widths of the visible columns in twips; 0 for the hidden ones.
constexpr int kWidthTwips[batch::kColumnCount] = {
    315, 510, 3135, 540, 615, 615, 615, 615, 615, 645, 660, 750,
    0, 0, 0, 0, 0,
    2700, 0, 0, 0,
};
// clang-format on

QString Text(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

BatchModel::BatchModel(const settings::Settings& settings, QObject* parent)
    : QAbstractTableModel(parent), settings_(settings) {
    RebuildValueList();
}

void BatchModel::SetTable(batch::BatchTable* table) {
    beginResetModel();
    table_ = table;
    RebuildValueList();
    endResetModel();
}

void BatchModel::Reset() { SetTable(table_); }

int BatchModel::DesignWidth(int column) {
    if (column == kDeviceColumn) return 1500 / kTwipsPerPixel;
    if (column < 0 || column >= batch::kColumnCount) return 0;
    return kWidthTwips[column] / kTwipsPerPixel;
}

bool BatchModel::Hidden(int column) { return DesignWidth(column) == 0; }

QString BatchModel::ColumnCaption(int column) {
    switch (column) {
        case 0: return QStringLiteral(" ");
        case 1: return tr("Group");
        case 2: return tr("Group Name");
        case 3: return tr("Levels");
        case 4: case 5: case 6: case 7: case 8: return tr("Zoom %1").arg(column - 3);
        case 9: return tr("NumTiles");
        case 10: return tr("Version");
        case 11: return tr("DrawOrd");
        case 17: return tr("Filename");
        case kDeviceColumn: return tr("Device");
        default: return QString();
    }
}

void BatchModel::RebuildValueList() {
    valueList_.clear();
    valueListTip_.clear();
    for (int n = 1;; ++n) {
        const std::string v = settings_.ReadSetting("ZoomLevels", "Level" + std::to_string(n));
        if (platform::Trim(v).empty()) break;
        const auto slash = v.find('/');
        if (slash == std::string::npos) continue;  // malformed entries never break the grid
        valueList_.emplace_back(Text(platform::Trim(v.substr(0, slash))), Text(platform::Trim(v.substr(slash + 1))));
        if (!valueListTip_.isEmpty()) valueListTip_ += QLatin1Char('\n');
        valueListTip_ += valueList_.back().first + QStringLiteral(": ") + valueList_.back().second;
    }
}

int BatchModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !table_) return 0;
    return static_cast<int>(table_->rows.size());
}

int BatchModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kModelColumns; }

QVariant BatchModel::data(const QModelIndex& index, int role) const {
    if (!table_ || !index.isValid() || index.row() >= rowCount()) return {};
    const batch::BatchRow& row = table_->rows[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            if (column == batch::kSelected) return {};
            // A file the scan could not read is no map for the device: never blank, never OK.
            if (column == kDeviceColumn) return row.Erroneous() ? tr("cannot be read") : ui::DeviceCheckLine::Counts(row.device);
            // The core marks an unreadable file in one language; the grid speaks the window's.
            if (column == batch::kGroupName && row.Erroneous()) return tr("ERROR LOADING");
            return Text(row[column]);
        case Qt::CheckStateRole:
            if (column == batch::kSelected) return row.Checked() ? Qt::Checked : Qt::Unchecked;
            return {};
        case Qt::ForegroundRole:
            if (column != batch::kSelected && row.Obsolete()) return QBrush(QColor(255, 0, 0));
            return {};
        case Qt::FontRole:
            if (column >= batch::kZoomLevel1 && column < batch::kZoomLevel1 + jnx::device::kMaxLevels &&
                row.Prioritised(column - batch::kZoomLevel1)) {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            return {};
        case Qt::ToolTipRole:
            if (column == batch::kFilename || column == batch::kGroupName) return Text(row.FullFileName());
            if (column == kDeviceColumn && row.Erroneous())
                return tr("%1 cannot be read:").arg(Text(row.FullFileName())) + QLatin1Char('\n') +
                       ui::ErrorMessage(row.readError);
            if (column == kDeviceColumn && !row.device.empty()) return ui::DeviceCheckLine::Details(row.device);
            return {};
        default:
            return {};
    }
}

bool BatchModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!table_ || !index.isValid() || index.row() >= rowCount()) return false;
    batch::BatchRow& row = table_->rows[static_cast<std::size_t>(index.row())];
    if (index.column() == batch::kSelected && role == Qt::CheckStateRole) {
        row.SetChecked(value.toInt() == Qt::Checked);
    } else if (index.column() == batch::kFilename && role == Qt::EditRole) {
        row[batch::kFilename] = value.toString().toStdString();
    } else {
        return false;
    }
    emit dataChanged(index, index, {role});
    return true;
}

Qt::ItemFlags BatchModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == batch::kSelected) f |= Qt::ItemIsUserCheckable;
    if (index.column() == batch::kFilename) f |= Qt::ItemIsEditable;
    return f;
}

QVariant BatchModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole) return ColumnCaption(section);
    if (role == Qt::ToolTipRole && section >= batch::kZoomLevel1 && section < batch::kZoomLevel1 + jnx::device::kMaxLevels)
        return valueListTip_;
    return {};
}

void BatchModel::ChecksChanged() {
    if (rowCount() == 0) return;
    emit dataChanged(index(0, batch::kSelected), index(rowCount() - 1, batch::kSelected), {Qt::CheckStateRole});
}

}  // namespace batchui
