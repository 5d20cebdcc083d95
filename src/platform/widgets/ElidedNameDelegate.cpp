#include "ElidedNameDelegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

ElidedNameDelegate::ElidedNameDelegate(QAbstractItemView* view, Qt::TextElideMode mode)
    : QStyledItemDelegate(view)
{
    view->setItemDelegate(this);
    view->setTextElideMode(mode);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

QSize ElidedNameDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // A list view makes every line as wide as its widest one; a width of nothing lets the lines take
    // the viewport's width, where the style elides what does not fit.
    return {0, QStyledItemDelegate::sizeHint(option, index).height()};
}

bool ElidedNameDelegate::isElided(const QStyleOptionViewItem& viewOption, const QModelIndex& index,
                                  const QWidget* view) const
{
    QStyleOptionViewItem option(viewOption);
    initStyleOption(&option, index);
    const QStyle* style = view->style();
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &option, view);
    // The style keeps this margin on both sides of the text.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    return option.fontMetrics.horizontalAdvance(option.text) > textRect.width() - 2 * margin;
}

bool ElidedNameDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                   const QModelIndex& index)
{
    if (event->type() == QEvent::ToolTip && isElided(option, index, view)) {
        QToolTip::showText(event->globalPos(), index.data(Qt::DisplayRole).toString(), view->viewport(),
                           view->visualRect(index));
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}
