#pragma once

#include <QtGlobal>
#include <QtTest/QTest>

// A case that needs a service the test run starts (PostgreSQL, the CUPS PDF queue, the FTP servers)
// skips when that service is missing on a developer's machine, and fails under CI (CI=true), where
// the services are always started: a skipped service test there is a missing test.
inline bool vornServicesRequired()
{
    return qEnvironmentVariable("CI") == QLatin1String("true");
}

#define VORN_SKIP_WITHOUT_SERVICE(reason)                                                                              \
    do {                                                                                                               \
        if (vornServicesRequired())                                                                                    \
            QFAIL(qPrintable(QStringLiteral("CI=true and the service is missing: ") + (reason)));                      \
        QSKIP(qPrintable(reason));                                                                                     \
    } while (false)
