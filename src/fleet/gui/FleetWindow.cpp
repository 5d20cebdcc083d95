#include "FleetWindow.h"

#include "FleetBars.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

namespace {
// Columns whose cells sort as numbers.
enum Column { ColVersion = 3, ColOffered = 4, ColStatus = 7, ColDuration = 8, ColSilent = 9 };
} // namespace

FleetWindow::FleetWindow(Reader reader, QWidget* parent)
    : QDialog(parent)
    , m_reader(std::move(reader))
{
    setObjectName(QStringLiteral("FleetWindow"));
    setWindowTitle(QStringLiteral("Parc des postes"));
    build();
    resize(980, 620);
}

void FleetWindow::build()
{
    auto* layout = new QVBoxLayout(this);
    m_headline = new QLabel(this);
    m_headline->setObjectName(QStringLiteral("fleetHeadline"));
    QFont bold = m_headline->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    m_headline->setFont(bold);
    layout->addWidget(m_headline);
    m_bars = new FleetBars(this);
    layout->addWidget(m_bars);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("fleetSummary"));
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("fleetError"));
    m_error->setStyleSheet(QStringLiteral("color: #b71c1c;"));
    m_error->setWordWrap(true);
    m_error->hide();
    layout->addWidget(m_error);

    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QStringLiteral("Version :"), this));
    m_release = new QComboBox(this);
    m_release->setObjectName(QStringLiteral("fleetRelease"));
    filters->addWidget(m_release);
    m_failuresOnly = new QCheckBox(QStringLiteral("Échecs seulement"), this);
    m_failuresOnly->setObjectName(QStringLiteral("fleetFailuresOnly"));
    filters->addWidget(m_failuresOnly);
    filters->addStretch();
    layout->addLayout(filters);
    connect(m_release, &QComboBox::currentIndexChanged, this, &FleetWindow::applyFilters);
    connect(m_failuresOnly, &QCheckBox::toggled, this, &FleetWindow::applyFilters);

    m_rows = new QTableWidget(this);
    m_rows->setObjectName(QStringLiteral("fleetTable"));
    m_rows->setColumnCount(static_cast<int>(FleetTable::headers().size()));
    m_rows->setHorizontalHeaderLabels(FleetTable::headers());
    m_rows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_rows->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_rows->verticalHeader()->hide();
    m_rows->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_rows, 1);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* again = buttons->addButton(QStringLiteral("Actualiser"), QDialogButtonBox::ActionRole);
    again->setObjectName(QStringLiteral("fleetRefresh"));
    QPushButton* close = buttons->addButton(QStringLiteral("Fermer"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("fleetClose"));
    connect(again, &QPushButton::clicked, this, &FleetWindow::refresh);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void FleetWindow::refresh()
{
    FleetTable table;
    QString error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool read = m_reader && m_reader(table, error);
    QApplication::restoreOverrideCursor();
    if (!read) {
        // What was shown stays: an administrator keeps the last view of a folder gone for a moment.
        m_error->setText(error.isEmpty() ? QStringLiteral("Le dossier des rapports ne peut pas être lu.") : error);
        m_error->show();
        return;
    }
    m_error->hide();
    m_table = std::move(table);
    showTable();
}

void FleetWindow::showTable()
{
    const QList<FleetTable::Tally> tallies = m_table.tallies();
    m_bars->setFleet(tallies, static_cast<int>(m_table.rows().size()));
    m_headline->setText(m_bars->headline());

    const auto& rows = m_table.rows();
    const qsizetype silent = std::count_if(rows.cbegin(), rows.cend(), [](const auto& r) { return r.silent; });
    QString summary = QStringLiteral("%1 poste(s), %2 silencieux, %3 rapport(s) illisible(s).")
                          .arg(rows.size())
                          .arg(silent)
                          .arg(m_table.unreadable().size());
    QStringList unreadable;
    for (const FleetTable::Unreadable& u : m_table.unreadable())
        unreadable << QStringLiteral("%1 (%2)").arg(u.name, u.why);
    if (!unreadable.isEmpty())
        summary += QStringLiteral(" Illisibles : ") + unreadable.join(QStringLiteral(", ")) + QLatin1Char('.');
    m_summary->setText(summary);

    const qint64 chosen = m_release->currentData().toLongLong();
    std::set<qint64, std::greater<>> releases;
    for (const auto& row : rows) {
        if (row.record.installed)
            releases.insert(*row.record.installed);
        if (row.record.offered > 0)
            releases.insert(row.record.offered);
    }
    const QSignalBlocker quiet(m_release);
    m_release->clear();
    m_release->addItem(QStringLiteral("Toutes"), qint64(0));
    for (const qint64 release : releases)
        m_release->addItem(QString::number(release), release);
    m_release->setCurrentIndex(std::max(0, m_release->findData(chosen)));

    m_rows->setSortingEnabled(false);
    m_rows->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < rows.size(); ++i)
        fillRow(i, rows.at(i));
    m_rows->setSortingEnabled(true);
    m_rows->resizeColumnsToContents();
    applyFilters();
}

void FleetWindow::fillRow(int row, const FleetTable::Row& station)
{
    const QStringList cells = FleetTable::cells(station);
    const FleetRecord& r = station.record;
    const bool failure = isFailure(r);
    for (int column = 0; column < cells.size(); ++column) {
        auto* item = new QTableWidgetItem;
        switch (column) {
        case ColVersion:
            item->setData(Qt::DisplayRole, r.installed ? QVariant(*r.installed) : QVariant(cells.at(column)));
            break;
        case ColOffered:
            item->setData(Qt::DisplayRole, r.offered > 0 ? QVariant(r.offered) : QVariant(cells.at(column)));
            break;
        case ColStatus:
            item->setData(Qt::DisplayRole, r.exitStatus);
            break;
        case ColDuration:
            item->setData(Qt::DisplayRole, static_cast<double>(r.durationMs / 100) / 10.0);
            break;
        default:
            item->setText(cells.at(column));
        }
        // The row keeps what the filters need, whatever the sort did to its place.
        item->setData(Qt::UserRole, QVariant::fromValue(QList<qint64>{r.installed.value_or(-1), r.offered}));
        item->setData(Qt::UserRole + 1, failure);
        if (station.silent) {
            QFont italic = item->font();
            italic.setItalic(true);
            item->setFont(italic);
            item->setForeground(QColor(110, 110, 110));
            if (column == ColSilent)
                item->setToolTip(QStringLiteral("Aucun rapport depuis plus de jours que [fleet] silent_days."));
        }
        if (failure)
            item->setBackground(QColor(255, 235, 238));
        m_rows->setItem(row, column, item);
    }
}

void FleetWindow::applyFilters()
{
    const qint64 release = m_release->currentData().toLongLong();
    const bool failuresOnly = m_failuresOnly->isChecked();
    for (int row = 0; row < m_rows->rowCount(); ++row) {
        const QTableWidgetItem* first = m_rows->item(row, 0);
        if (!first)
            continue;
        const QList<qint64> versions = first->data(Qt::UserRole).value<QList<qint64>>();
        const bool ofRelease = release == 0 || versions.contains(release);
        const bool shown = ofRelease && (!failuresOnly || first->data(Qt::UserRole + 1).toBool());
        m_rows->setRowHidden(row, !shown);
    }
}

bool FleetWindow::isFailure(const FleetRecord& record)
{
    using Result = FleetRecord::Result;
    return record.verdict == FleetRecord::Verdict::Failed || record.exitStatus != 0 ||
           record.result == Result::Incomplete || record.result == Result::Refused ||
           record.result == Result::Withdrawn || record.result == Result::Halted;
}
