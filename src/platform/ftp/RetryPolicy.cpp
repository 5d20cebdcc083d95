#include "RetryPolicy.h"

#include <QLocale>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <random>

RetryPolicy::RetryPolicy(int budgetSeconds, Random random, Clock clock)
    : m_budgetMs(std::max(0, budgetSeconds) * qint64(1000))
    , m_random(std::move(random))
    , m_clock(std::move(clock))
{
    if (!m_random) {
        auto engine = std::make_shared<std::mt19937_64>(std::random_device{}());
        m_random = [engine] { return std::uniform_real_distribution<double>(0.0, 1.0)(*engine); };
    }
    if (!m_clock)
        m_clock = [] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                .count();
        };
}

bool RetryPolicy::transientReply(int code)
{
    return code == 421 || code == 425 || code == 426 || code == 450 || code == 451 || code == 452;
}

std::optional<qint64> RetryPolicy::waitBefore(int k)
{
    if (!enabled() || m_spent)
        return std::nullopt;
    const qint64 now = m_clock();
    if (m_startMs < 0)
        m_startMs = now;
    const qint64 left = m_startMs + m_budgetMs - now;
    if (left <= 0)
        return std::nullopt;
    const qint64 ceiling = k >= 5 ? CapMs : std::min(CapMs, BaseMs << std::max(0, k));
    const double draw = std::clamp(m_random(), 0.0, 1.0);
    const auto wait = static_cast<qint64>(std::floor(draw * static_cast<double>(ceiling)));
    return std::min(wait, left);
}

RetryPolicy RetryPolicy::companion() const
{
    // A random draw of its own: the engine is not shared across threads.
    RetryPolicy other(0, {}, m_clock);
    other.m_budgetMs = m_budgetMs;
    other.m_spent = m_spent;
    other.m_startMs = m_startMs >= 0 || !enabled() ? m_startMs : m_clock();
    return other;
}

QString RetryPolicy::seconds(qint64 ms)
{
    return QLocale(QLocale::French).toString(static_cast<double>(ms) / 1000.0, 'f', 1) + QStringLiteral(" s");
}
