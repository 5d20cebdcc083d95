// Hashes one large file with the program's SHA-256 (the one that checks a release as it arrives)
// and with sha256sum, alternately, and prints the medians and the speed ratio (target: >= 0.8).
//
//   build/bench/release/bench_release [--mib 1024] [--rounds 5] [--qt]
//
// --qt also times QCryptographicHash, for comparison. Then compares an unchanged folder of 500
// files (1 to 64 KiB) with their digests twice: without the hash cache, and with it.

#include "platform/hash/Sha256Stream.h"
#include "release/HashCache.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <sys/resource.h>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// CPU seconds used so far by this process and by its finished children (sha256sum): on a machine
// shared with other work they vary far less than elapsed times.
double cpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double timed(const std::function<QByteArray()>& run, QByteArray& digest, double* cpu = nullptr, int who = 0)
{
    const double cpuBefore = cpuSeconds(who);
    QElapsedTimer t;
    t.start();
    digest = run();
    const double elapsed = static_cast<double>(t.nsecsElapsed()) / 1e9;
    if (cpu)
        *cpu = cpuSeconds(who) - cpuBefore;
    return elapsed;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&args](const char* name, int fallback) {
        const qsizetype i = args.indexOf(QLatin1String(name));
        return i >= 0 && i + 1 < args.size() ? args.at(i + 1).toInt() : fallback;
    };
    const int mib = option("--mib", 1024);
    const int rounds = std::max(1, option("--rounds", 5));
    const bool withQt = args.contains(QLatin1String("--qt"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("release.bin"));
    {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly))
            return 1;
        std::vector<quint32> block(256 * 1024);
        QRandomGenerator random(20261209);
        for (int i = 0; i < mib; ++i) {
            random.fillRange(block.data(), block.size());
            out.write(reinterpret_cast<const char*>(block.data()), static_cast<qint64>(block.size() * 4));
        }
    }

    auto sha256sum = [&path]() {
        QProcess p;
        p.start(QStringLiteral("sha256sum"), {path});
        p.waitForFinished(-1);
        return QByteArray::fromHex(p.readAllStandardOutput().left(64));
    };
    auto ours = [&path]() {
        QString error;
        return Sha256Stream::ofFile(path, error).value_or(QByteArray());
    };
    auto qt = [&path]() {
        QFile f(path);
        QCryptographicHash h(QCryptographicHash::Sha256);
        if (!f.open(QIODevice::ReadOnly) || !h.addData(&f))
            return QByteArray();
        return h.result();
    };

    QByteArray expected;
    QByteArray got;
    timed(sha256sum, expected); // warms the page cache: both read from memory
    std::vector<double> theirs, mine, qts, theirsCpu, mineCpu;
    for (int r = 0; r < rounds; ++r) {
        double cpu = 0;
        theirs.push_back(timed(sha256sum, got, &cpu, RUSAGE_CHILDREN));
        theirsCpu.push_back(cpu);
        mine.push_back(timed(ours, got, &cpu, RUSAGE_SELF));
        mineCpu.push_back(cpu);
        if (got != expected) {
            std::fprintf(stderr, "digest differs from sha256sum's\n");
            return 1;
        }
        if (withQt)
            qts.push_back(timed(qt, got));
    }
    const double mbs = mib * 1.048576;
    std::printf("SHA-256 of %d MiB, median of %d rounds\n", mib, rounds);
    std::printf("  sha256sum           %6.2f s  %6.0f MB/s\n", median(theirs), mbs / median(theirs));
    std::printf("  ours (Sha256Stream) %6.2f s  %6.0f MB/s\n", median(mine), mbs / median(mine));
    if (withQt)
        std::printf("  QCryptographicHash  %6.2f s  %6.0f MB/s\n", median(qts), mbs / median(qts));
    std::printf("speed ratio ours / sha256sum: %.2f elapsed, %.2f in CPU time (%.2f s / %.2f s) (target >= 0.80)\n",
                median(theirs) / median(mine), median(theirsCpu) / median(mineCpu), median(mineCpu), median(theirsCpu));

    QFile::remove(path);
    QList<std::pair<QString, QByteArray>> files;
    QRandomGenerator random(500);
    for (int i = 0; i < 500; ++i) {
        QByteArray bytes(1024 + static_cast<int>(random.bounded(63 * 1024)), Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        const QString name = QStringLiteral("file%1.bin").arg(i);
        QFile out(dir.filePath(name));
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
            return 1;
        files.append({name, QCryptographicHash::hash(bytes, QCryptographicHash::Sha256)});
    }
    auto compare = [&]() {
        QElapsedTimer t;
        t.start();
        HashCache cache(dir.path());
        cache.load();
        for (const auto& [name, sha] : files)
            if (!cache.matches(name, QFileInfo(dir.filePath(name)).size(), sha))
                return -1.0;
        QString error;
        if (!cache.save(error))
            return -1.0;
        return static_cast<double>(t.nsecsElapsed()) / 1e6;
    };
    const double cold = compare();
    const double warm = compare();
    if (cold < 0 || warm < 0) {
        std::fprintf(stderr, "the unchanged folder did not compare equal\n");
        return 1;
    }
    std::printf("500 unchanged files compared with their SHA-256: %.0f ms reading them, %.0f ms from the cache\n", cold,
                warm);
    return 0;
}
