#include "ui/batch/batch_model.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <algorithm>

#include "settings/settings.h"
#include "ui/common/device_check_line.h"
#include "ui/common/error_message.h"
#include "ui/common/language.h"
#include "ui/common/request_controls.h"

namespace batchui {

namespace {

QString Text(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

BatchModel::BatchModel(const settings::SettingsTables& tables, QObject* parent)
    : QAbstractTableModel(parent), tables_(tables) {}

void BatchModel::SetTable(batch::BatchTable* table) {
    table_ = table;
    Reset();
}

void BatchModel::Reset(const batch::Selection& checked) {
    beginResetModel();
    checked_.assign(table_ ? table_->rows.size() : 0, false);
    for (const std::size_t row : checked)
        if (row < checked_.size()) checked_[row] = true;
    endResetModel();
}

batch::Selection BatchModel::Checked() const {
    batch::Selection rows;
    for (std::size_t i = 0; i < checked_.size(); ++i)
        if (checked_[i]) rows.push_back(i);
    return rows;
}

std::size_t BatchModel::CheckedCount() const {
    return static_cast<std::size_t>(std::count(checked_.begin(), checked_.end(), true));
}

bool BatchModel::IsChecked(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < checked_.size() && checked_[static_cast<std::size_t>(row)];
}

void BatchModel::SetChecked(const batch::Selection& rows) {
    std::fill(checked_.begin(), checked_.end(), false);
    for (const std::size_t row : rows)
        if (row < checked_.size()) checked_[row] = true;
    if (rowCount() > 0) emit dataChanged(index(0, kCheck), index(rowCount() - 1, kCheck), {Qt::CheckStateRole});
}

QString BatchModel::ColumnCaption(int column) {
    switch (column) {
        case kCheck:
            return QStringLiteral(" ");
        case kGroup:
            return tr("Group");
        case kGroupName:
            return tr("Group Name");
        case kLevels:
            return tr("Levels");
        case kTiles:
            return tr("NumTiles");
        case kVersion:
            return tr("Version");
        case kDrawOrder:
            return tr("DrawOrd");
        case kFilename:
            return tr("Filename");
        case kDevice:
            return tr("Device");
        default:
            return IsZoomColumn(column) ? tr("Zoom %1").arg(column - kZoom1 + 1) : QString();
    }
}

int BatchModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !table_) return 0;
    return static_cast<int>(table_->rows.size());
}

int BatchModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QString BatchModel::Display(const batch::MapRow& row, int column) const {
    // With subfolders, maps of one name in two folders must not look alike.
    if (column == kFilename) return Text(row.subfolder.empty() ? row.fileName : row.subfolder + "/" + row.fileName);
    // A file the scan could not read is no map for the device: never blank, never OK.
    if (column == kDevice) return row.Erroneous() ? tr("cannot be read") : ui::DeviceCheckLine::Counts(row.device);
    if (row.Erroneous()) {
        if (column == kGroup) return QStringLiteral("??");
        if (column == kGroupName) return tr("ERROR LOADING");
        return {};
    }
    if (IsZoomColumn(column)) {
        const auto k = static_cast<std::size_t>(column - kZoom1);
        return k < row.levels.size() ? Text(row.levels[k].zoomName) : QString();
    }
    switch (column) {
        case kGroup:
            return QString::number(row.productId);
        case kGroupName:
            return Text(row.groupName);
        case kLevels:
            return QString::number(row.levelCount);
        case kTiles:
            return ui::Number(row.totalTiles);
        case kVersion:
            return QString::number(row.version);
        case kDrawOrder:
            return row.drawOrder ? QString::number(*row.drawOrder) : QString();
        default:
            return {};
    }
}

QString BatchModel::ToolTip(const batch::MapRow& row, int column) const {
    const bool names = column == kFilename || column == kGroupName;
    // An unreadable file's name cells say why, as its device cell does.
    if (row.Erroneous() && (names || column == kDevice))
        return tr("%1 cannot be read:").arg(Text(row.path)) + QLatin1Char('\n') + ui::ErrorMessage(*row.readError);
    if (names) return Text(row.path);
    if (column == kDevice && !row.device.empty()) return ui::DeviceCheckLine::Details(row.device);
    return {};
}

QVariant BatchModel::data(const QModelIndex& index, int role) const {
    if (!table_ || !index.isValid() || index.row() >= rowCount()) return {};
    const batch::MapRow& row = table_->rows[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
            return column == kCheck ? QVariant() : QVariant(Display(row, column));
        case Qt::EditRole:
            // The name is edited alone: a save renames the file within its own folder.
            if (column == kFilename) return Text(row.fileName);
            return column == kCheck ? QVariant() : QVariant(Display(row, column));
        case Qt::CheckStateRole:
            if (column == kCheck) return IsChecked(index.row()) ? Qt::Checked : Qt::Unchecked;
            return {};
        case Qt::ForegroundRole:
            if (column != kCheck && row.Obsolete()) return QBrush(QColor(255, 0, 0));
            return {};
        case Qt::FontRole:
            if (IsZoomColumn(column)) {
                const auto k = static_cast<std::size_t>(column - kZoom1);
                if (k >= row.levels.size() || !row.levels[k].prioritised) return {};
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            return {};
        case Qt::ToolTipRole: {
            const QString tip = ToolTip(row, column);
            return tip.isEmpty() ? QVariant() : QVariant(tip);
        }
        default:
            return {};
    }
}

bool BatchModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!table_ || !index.isValid() || index.row() >= rowCount()) return false;
    const auto r = static_cast<std::size_t>(index.row());
    if (index.column() == kCheck && role == Qt::CheckStateRole) {
        checked_[r] = value.toInt() == Qt::Checked;
    } else if (index.column() == kFilename && role == Qt::EditRole) {
        table_->rows[r].fileName = value.toString().toStdString();
    } else {
        return false;
    }
    emit dataChanged(index, index, {role});
    return true;
}

Qt::ItemFlags BatchModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == kCheck) f |= Qt::ItemIsUserCheckable;
    if (index.column() == kFilename) f |= Qt::ItemIsEditable;
    return f;
}

QVariant BatchModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole) return ColumnCaption(section);
    // These captions are the same in both languages; the tooltip says them in the user's.
    if (role == Qt::ToolTipRole && section == kTiles) return tr("Number of tiles");
    if (role == Qt::ToolTipRole && section == kDrawOrder) return ui::DrawOrderTip();
    if (role != Qt::ToolTipRole || !IsZoomColumn(section) || tables_.ZoomTable.empty()) return {};
    QStringList lines;
    for (const auto& row : tables_.ZoomTable)
        lines << QStringLiteral("%1: %2/%3").arg(row.MinScale).arg(row.StandardScale).arg(Text(row.Name));
    return lines.join(QLatin1Char('\n'));
}

}  // namespace batchui
