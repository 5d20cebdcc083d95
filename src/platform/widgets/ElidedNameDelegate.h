#pragma once

#include <QStyledItemDelegate>

class QAbstractItemView;

// Names too long for their list end in "…" at the list's edge instead of pushing a sideways scroll
// bar, and show in full as the tooltip of their line. Lines that fit keep the list's own tooltip.
class ElidedNameDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    // Installs itself on `view` (which owns it), eliding at `mode`.
    explicit ElidedNameDelegate(QAbstractItemView* view, Qt::TextElideMode mode = Qt::ElideRight);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

private:
    // Whether the line's text is cut where the view shows it (`option` as the view gives it).
    bool isElided(const QStyleOptionViewItem& option, const QModelIndex& index, const QWidget* view) const;
};
