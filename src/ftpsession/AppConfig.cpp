#include "AppConfig.h"

#include <QFileInfo>
#include <QSettings>

QString AppConfig::versionFolder() const
{
    QString root = versionRoot;
    while (root.endsWith(QLatin1Char('/')))
        root.chop(1);
    return root.isEmpty() ? QStringLiteral("DOWN/VERSIONVORN") : root + QStringLiteral("/DOWN/VERSIONVORN");
}

AppConfig AppConfig::load(const QString& iniPath)
{
    AppConfig c;
    if (iniPath.isEmpty() || !QFileInfo::exists(iniPath))
        return c;
    QSettings s(iniPath, QSettings::IniFormat);
    auto read = [&s](const char* key, QString& into) {
        const QVariant v = s.value(QLatin1String(key));
        if (v.isValid())
            into = v.toString();
    };
    read("server/host", c.host);
    read("server/user", c.user);
    read("server/password", c.password);
    read("server/version_root", c.versionRoot);
    read("server/webspace", c.webspace);
    bool ok = false;
    const int timeout = s.value(QStringLiteral("server/timeout")).toInt(&ok);
    if (ok && timeout > 0)
        c.timeoutSeconds = timeout;
    read("intake/remote_dir", c.intakeRemoteDir);
    read("printing/pdf_dir", c.pdfDir);
    return c;
}
