#pragma once

#include "fleet/FleetTable.h"

#include <QList>
#include <QWidget>

// The fleet at a glance: one bar per release, newest on top, its length the share of the fleet,
// cut into the stations that have it, wait for it, failed with it and were halted before it, each
// part with its number on it.
class FleetBars final : public QWidget {
    Q_OBJECT
public:
    explicit FleetBars(QWidget* parent = nullptr);

    void setFleet(const QList<FleetTable::Tally>& tallies, int stations);
    // The line above the bars: how the newest release goes.
    QString headline() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Part {
        int count;
        QColor colour;
    };
    QList<Part> parts(const FleetTable::Tally& tally) const;
    void paintLegend(QPainter& painter, int top) const;

    QList<FleetTable::Tally> m_tallies;
    int m_stations = 0;
    static constexpr int MaxReleases = 6;
};
