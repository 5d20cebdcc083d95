#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

// When the FTP client tries again what a busy server refused, and how long it waits first. Waits
// grow exponentially with full jitter (random between 0 and min(30 s, 1 s * 2^k) before retry k,
// the first being k = 0), so that stations refused together do not come back together; all the
// retries of a run share one budget of time, after which a refusal stands.
class RetryPolicy final {
public:
    using Random = std::function<double()>; // uniform in [0, 1)
    using Clock = std::function<qint64()>;  // milliseconds, never going back

    static constexpr qint64 BaseMs = 1000;
    static constexpr qint64 CapMs = 30000;
    // A transfer cut part-way is tried at most so many times, its first try included.
    static constexpr int MaxTries = 3;

    // `budgetSeconds` 0: nothing is ever retried. Without `random` or `clock` the system's are used.
    explicit RetryPolicy(int budgetSeconds = 0, Random random = {}, Clock clock = {});

    bool enabled() const { return m_budgetMs > 0; }

    // Reply codes that say "not now" rather than "no": a busy server (421), a data connection it
    // could not open or lost (425, 426), a file or disk busy for a moment (450, 451, 452).
    static bool transientReply(int code);

    // The wait before retry `k` (0 for the first) in milliseconds, or nothing when the run's budget
    // is spent. The budget runs from the first wait of the run; the last wait is cut to what is
    // left of it.
    std::optional<qint64> waitBefore(int k);
    // The same budget for a session that runs beside this one, on another thread: it ends when
    // this one's does, and counts from now at the latest.
    RetryPolicy companion() const;
    // The budget is spent now: no wait is granted any more.
    void spend() { m_spent = true; }

    // "3,2 s", as the log says a wait.
    static QString seconds(qint64 ms);

private:
    qint64 m_budgetMs;
    Random m_random;
    Clock m_clock;
    qint64 m_startMs = -1;
    bool m_spent = false;
};
