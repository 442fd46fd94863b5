// How the batch grid draws and explains its cells: a cell too narrow for its text tells
// the whole text in a tooltip, and a highlighted obsolete row stays red.
#pragma once
#include <QStyledItemDelegate>

namespace batchui {

class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

}  // namespace batchui
