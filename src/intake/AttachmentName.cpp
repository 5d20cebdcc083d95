#include "AttachmentName.h"

#include "platform/text/Windows1252.h"

bool AttachmentName::localName(const QString& remoteName, const QDateTime& now, QString& name)
{
    const qsizetype dot = remoteName.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    // Upper-cased the way the request files are, so names keep their length and stay in the set.
    QString stem = Windows1252::toUpper(remoteName.left(dot));
    stem.replace(QStringLiteral("IMGDI"), QStringLiteral("DI"));
    name = stem + QLatin1Char('_') + now.toString(QStringLiteral("yyyyMMddHHmmss")) + remoteName.mid(dot);
    return true;
}

QString AttachmentName::numbered(const QString& name, int n)
{
    // The stem and the time hold no dot: the first one starts the extension.
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return QString(name).insert(dot < 0 ? name.size() : dot, QStringLiteral("-%1").arg(n));
}
