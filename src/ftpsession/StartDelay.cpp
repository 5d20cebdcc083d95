#include "StartDelay.h"

#include "RunLog.h"
#include "platform/ftp/RetryPolicy.h"

#include <QThread>

#include <algorithm>
#include <cmath>
#include <random>

qint64 StartDelay::draw(int maxSeconds, double random)
{
    return static_cast<qint64>(std::floor(std::clamp(random, 0.0, 1.0) * std::max(0, maxSeconds) * 1000.0));
}

void StartDelay::wait(int maxSeconds, RunLog& log, const std::function<double()>& random)
{
    if (maxSeconds <= 0)
        return;
    double r = 0;
    if (random) {
        r = random();
    } else {
        std::mt19937_64 engine(std::random_device{}());
        r = std::uniform_real_distribution<double>(0.0, 1.0)(engine);
    }
    const qint64 ms = draw(maxSeconds, r);
    log.write(QStringLiteral("Départ différé de %1 (start_delay=%2) pour étaler les connexions au serveur.")
                  .arg(RetryPolicy::seconds(ms))
                  .arg(maxSeconds));
    QThread::msleep(static_cast<unsigned long>(ms));
}
