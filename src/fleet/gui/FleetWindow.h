#pragma once

#include "fleet/FleetTable.h"

#include <QDialog>

#include <functional>

class FleetBars;
class QCheckBox;
class QComboBox;
class QLabel;
class QTableWidget;

// "Parc des postes": the whole fleet as its reports folder tells it. Above, a bar per release;
// below, one row per station, sortable, filtered to the failures or to one release; the stations
// not heard of for too long are marked. Reading is the caller's (the folder on the server).
class FleetWindow final : public QDialog {
    Q_OBJECT
public:
    // Fills the table from the server; false with a French error when the folder cannot be read.
    using Reader = std::function<bool(FleetTable& table, QString& error)>;

    explicit FleetWindow(Reader reader, QWidget* parent = nullptr);

    // Reads the folder again and shows it.
    void refresh();

private:
    void build();
    void showTable();
    void fillRow(int row, const FleetTable::Row& station);
    void applyFilters();
    static bool isFailure(const FleetRecord& record);

    Reader m_reader;
    FleetTable m_table;
    FleetBars* m_bars = nullptr;
    QLabel* m_headline = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_error = nullptr;
    QComboBox* m_release = nullptr;
    QCheckBox* m_failuresOnly = nullptr;
    QTableWidget* m_rows = nullptr;
};
