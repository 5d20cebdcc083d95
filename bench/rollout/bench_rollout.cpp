// A phased release over a simulated fleet: N stations (10,000 by default) each make their number
// as a station does (a fresh application folder each), and the share of stations whose day is each
// day of the release is compared with 1/D, for every D from 1 to 30. Prints the largest gap and
// whether every share lies within one percentage point of 1/D.
//
//   build/bench/rollout/bench_rollout [stations]

#include "release/PhasedRollout.h"
#include "release/StationId.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QVector>

#include <cmath>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int stations = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    QTemporaryDir root;
    QVector<quint64> ids;
    ids.reserve(stations);
    for (int i = 0; i < stations; ++i) {
        const QString folder = root.filePath(QString::number(i));
        QDir().mkpath(folder);
        QString problem;
        ids << StationId::get(folder, problem);
        if (!problem.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(problem));
            return 1;
        }
    }
    const QDate start(2026, 12, 9);
    double worstGap = 0;
    int worstDays = 0;
    bool allWithin = true;
    std::printf("%4s %10s %10s %10s\n", "D", "expected", "min share", "max share");
    for (int days = 1; days <= PhasedRollout::MaxDays; ++days) {
        QVector<int> perDay(days, 0);
        for (quint64 id : std::as_const(ids))
            ++perDay[static_cast<int>(start.daysTo(PhasedRollout::dayFor(start, days, id)))];
        double low = 1;
        double high = 0;
        for (int n : std::as_const(perDay)) {
            const double share = double(n) / stations;
            low = std::min(low, share);
            high = std::max(high, share);
            const double gap = std::abs(share - 1.0 / days);
            if (gap > worstGap) {
                worstGap = gap;
                worstDays = days;
            }
            allWithin = allWithin && gap <= 0.01;
        }
        std::printf("%4d %9.2f%% %9.2f%% %9.2f%%\n", days, 100.0 / days, 100 * low, 100 * high);
    }
    std::printf("rollout: %d stations, largest gap to 1/D %.2f points (D=%d), every day within 1 point: %s\n", stations,
                100 * worstGap, worstDays, allWithin ? "yes" : "no");
    return allWithin ? 0 : 1;
}
