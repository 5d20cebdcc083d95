#include "../ProcessStartup.h"

#include <QString>

void prepareProcess()
{
    // The C library otherwise checks /etc/localtime again at every local time it computes (a log
    // line's date, say); named once, it is read once.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
}

QStringList commandLineArguments(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

bool sessionHasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}
