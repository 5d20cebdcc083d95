#pragma once

#include <QtGlobal>

#include <functional>

class RunLog;

// The random wait of an unattended run before it starts: stations scheduled for the same minute
// then reach the server spread over `start_delay` seconds instead of all at once.
class StartDelay final {
public:
    // Between 0 and `maxSeconds`, in milliseconds; `random` is uniform in [0, 1).
    static qint64 draw(int maxSeconds, double random);
    // Draws the wait, says it in `log`, and waits. Nothing when `maxSeconds` is 0.
    static void wait(int maxSeconds, RunLog& log, const std::function<double()>& random = {});
};
