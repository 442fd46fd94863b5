#include "ui/batch/grid_delegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QBrush>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

#include "ui/batch/batch_model.h"

namespace batchui {

namespace {

// The red the model gives the row, read from a text column: the check column has none.
QBrush RowColour(const QModelIndex& index) {
    return index.siblingAtColumn(BatchModel::kGroupName).data(Qt::ForegroundRole).value<QBrush>();
}

}  // namespace

void GridDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (!(option->state & QStyle::State_Selected)) return;
    const QBrush colour = RowColour(index);
    if (colour.style() == Qt::NoBrush) return;
    // The highlight would paint over the red text; the row's red becomes its highlight.
    option->palette.setBrush(QPalette::Highlight, colour.color().darker(140));
    option->palette.setColor(QPalette::HighlightedText, Qt::white);
}

bool GridDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                             const QModelIndex& index) {
    if (event == nullptr || event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QStyleOptionViewItem shown = option;
    initStyleOption(&shown, index);
    QStringList tip;
    const QStyle* style = view->style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &shown, view) + 1;
    const int room = style->subElementRect(QStyle::SE_ItemViewItemText, &shown, view).width() - 2 * margin;
    if (!shown.text.isEmpty() && shown.fontMetrics.horizontalAdvance(shown.text) > room) tip << shown.text;
    const QString own = index.data(Qt::ToolTipRole).toString();
    if (!own.isEmpty() && own != shown.text) tip << own;
    if (tip.isEmpty()) {
        QToolTip::hideText();
        return false;
    }
    QToolTip::showText(event->globalPos(), tip.join(QLatin1Char('\n')), view, option.rect);
    return true;
}

}  // namespace batchui
