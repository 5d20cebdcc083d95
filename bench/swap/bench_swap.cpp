// Times the step that puts a staged release in place: 500 files replacing 500 others (journal,
// renames, previous release kept, folder synced), median of the rounds.
//
//   build/bench/swap/bench_swap [FILES] [ROUNDS]     (default 500 files, 7 rounds)

#include "launcher/ReleaseSwap.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

bool lay(const QString& folder, const QStringList& names, const QByteArray& content)
{
    for (const QString& name : names) {
        QFile f(QDir(folder).filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    QStringList names;
    for (int i = 0; i < files; ++i)
        names << QStringLiteral("f%1.bin").arg(i, 4, 10, QLatin1Char('0'));

    std::vector<double> ms;
    for (int r = 0; r < rounds; ++r) {
        QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-swap-XXXXXX"));
        ReleaseSwap swap(dir.path());
        QString error;
        if (!lay(dir.path(), names, QByteArray(4096, 'o')) || !swap.prepareStaging(error) ||
            !lay(swap.stagingFolder(), names, QByteArray(4096, 'n'))) {
            std::fprintf(stderr, "setup failed: %s\n", qPrintable(error));
            return 1;
        }
        QElapsedTimer t;
        t.start();
        if (!swap.install(names, {}, error)) {
            std::fprintf(stderr, "install failed: %s\n", qPrintable(error));
            return 1;
        }
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("swap of %d files: median %.1f ms, min %.1f ms, max %.1f ms over %d rounds (target < 100 ms)\n",
                files, ms[ms.size() / 2], ms.front(), ms.back(), rounds);
    return 0;
}
