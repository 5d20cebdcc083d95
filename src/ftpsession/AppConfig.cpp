#include "AppConfig.h"

#include "release/MinisignSignature.h"
#include "release/ReleasePolicy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace {

constexpr int MinTimeout = 1;
constexpr int MaxTimeout = 3600;
constexpr int MaxSessions = 16; // as many as a download may open
constexpr int MaxSilentDays = 3650;

// "section/key" to the value as written.
QHash<QString, QString> parse(const QByteArray& bytes)
{
    QHash<QString, QString> values;
    QString section;
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        values.insert(section.isEmpty() ? key : section + QLatin1Char('/') + key, line.mid(equals + 1).trimmed());
    }
    return values;
}

// Every key the program reads, as "section/key".
const QStringList KnownKeys{
    QStringLiteral("server/host"),           QStringLiteral("server/user"),
    QStringLiteral("server/password"),       QStringLiteral("server/version_root"),
    QStringLiteral("server/webspace"),       QStringLiteral("server/timeout"),
    QStringLiteral("server/retry_for"),      QStringLiteral("server/start_delay"),
    QStringLiteral("server/sessions"),       QStringLiteral("server/tls"),
    QStringLiteral("server/tls_ca"),         QStringLiteral("server/tls_verify"),
    QStringLiteral("server/skip_unchanged"), QStringLiteral("update/mode"),
    QStringLiteral("update/start_check"),    QStringLiteral("update/rollout"),
    QStringLiteral("update/public_key"),     QStringLiteral("update/public_key_next"),
    QStringLiteral("intake/remote_dir"),     QStringLiteral("printing/pdf_dir"),
    QStringLiteral("fleet/reports"),         QStringLiteral("fleet/silent_days"),
};

// A key the program does not read where it stands: named once, with the section where it belongs
// when the program knows it there (a key in the wrong section otherwise changes nothing, silently).
QStringList unknownKeys(const QHash<QString, QString>& values)
{
    QStringList keys = values.keys();
    keys.sort();
    QStringList said;
    for (const QString& key : std::as_const(keys)) {
        if (KnownKeys.contains(key))
            continue;
        const QString section = key.contains(QLatin1Char('/')) ? key.section(QLatin1Char('/'), 0, -2) : QString();
        const QString name = key.section(QLatin1Char('/'), -1);
        QStringList belongs;
        for (const QString& known : KnownKeys)
            if (known.section(QLatin1Char('/'), -1) == name)
                belongs << QLatin1Char('[') + known.section(QLatin1Char('/'), 0, 0) + QLatin1Char(']');
        QString line =
            QStringLiteral("Clé inconnue ignorée : %1%2")
                .arg(section.isEmpty() ? QString() : QLatin1Char('[') + section + QStringLiteral("] "), name);
        if (section.isEmpty())
            line += QStringLiteral(", hors de toute section");
        if (!belongs.isEmpty())
            line += QStringLiteral(" (elle se place dans %1)").arg(belongs.join(QStringLiteral(", ")));
        said << line;
    }
    return said;
}

} // namespace

QString AppConfig::versionFolder() const
{
    QString root = versionRoot;
    while (root.endsWith(QLatin1Char('/')))
        root.chop(1);
    return root.isEmpty() ? QStringLiteral("DOWN/VERSIONVORN") : root + QStringLiteral("/DOWN/VERSIONVORN");
}

QStringList AppConfig::releaseKeys() const
{
    QStringList keys;
    for (const QString& key : {publicKey, publicKeyNext})
        if (!key.isEmpty())
            keys << key;
    return keys;
}

AppConfig AppConfig::load(const QString& iniPath, bool required)
{
    AppConfig c;
    if (iniPath.isEmpty())
        return c;
    const QString shown = QDir::toNativeSeparators(iniPath);
    const QFileInfo info(iniPath);
    if (!info.exists()) {
        if (required)
            c.problems << QStringLiteral("Le fichier de configuration « %1 » est introuvable : les valeurs par défaut "
                                         "sont utilisées.")
                              .arg(shown);
        return c;
    }
    QFile file(iniPath);
    QByteArray bytes;
    QString why;
    if (info.isDir())
        why = QStringLiteral("c'est un dossier");
    else if (!file.open(QIODevice::ReadOnly))
        why = file.errorString();
    else if (bytes = file.readAll(); file.error() != QFileDevice::NoError)
        why = file.errorString();
    if (!why.isEmpty()) {
        c.problems << QStringLiteral("Le fichier de configuration « %1 » ne peut pas être lu (%2) : les valeurs par "
                                     "défaut sont utilisées.")
                          .arg(shown, why);
        return c;
    }

    const QHash<QString, QString> values = parse(bytes);
    c.problems << unknownKeys(values);
    auto read = [&values](const char* key, QString& into) {
        const auto it = values.constFind(QLatin1String(key));
        if (it != values.constEnd())
            into = it.value();
    };
    read("server/host", c.host);
    read("server/user", c.user);
    read("server/password", c.password);
    read("server/version_root", c.versionRoot);
    read("server/webspace", c.webspace);
    read("intake/remote_dir", c.intakeRemoteDir);
    read("printing/pdf_dir", c.pdfDir);
    read("fleet/reports", c.fleetReports);

    // Whole numbers within bounds (of seconds, of sessions); anything else keeps the default and is
    // reported.
    enum class Unit { Seconds, Sessions, Days };
    auto number = [&values, &c, &shown](const char* key, int min, int max, int& into, Unit unit) {
        const auto it = values.constFind(QLatin1String(key));
        if (it == values.constEnd())
            return;
        bool ok = false;
        const int value = it.value().toInt(&ok);
        if (ok && value >= min && value <= max && !it.value().startsWith(QLatin1Char('+'))) {
            into = value;
            return;
        }
        const QString units = unit == Unit::Seconds    ? QStringLiteral("secondes")
                              : unit == Unit::Sessions ? QStringLiteral("sessions")
                                                       : QStringLiteral("jours");
        c.problems << QStringLiteral("%1=%2 ignoré dans « %3 » : un nombre de %4 de %5 à %6 est attendu ; %7 sont %8.")
                          .arg(QString::fromLatin1(key).section(QLatin1Char('/'), 1), it.value(), shown, units)
                          .arg(min)
                          .arg(max)
                          .arg(QString::number(into) + (unit == Unit::Seconds ? QStringLiteral(" s") : QString()),
                               unit == Unit::Days ? QStringLiteral("utilisés") : QStringLiteral("utilisées"));
    };
    number("server/timeout", MinTimeout, MaxTimeout, c.timeoutSeconds, Unit::Seconds);
    number("server/retry_for", 0, MaxTimeout, c.retryForSeconds, Unit::Seconds);
    number("server/start_delay", 0, MaxTimeout, c.startDelaySeconds, Unit::Seconds);
    number("server/sessions", 1, MaxSessions, c.sessions, Unit::Sessions);
    number("fleet/silent_days", 1, MaxSilentDays, c.silentDays, Unit::Days);

    // Yes/no values; anything else keeps the default and is reported.
    auto flag = [&values, &c, &shown](const char* key, bool& into) {
        const auto it = values.constFind(QLatin1String(key));
        if (it == values.constEnd())
            return;
        const QString v = it.value().toLower();
        if (v == QLatin1String("true") || v == QLatin1String("yes") || v == QLatin1String("1"))
            into = true;
        else if (v == QLatin1String("false") || v == QLatin1String("no") || v == QLatin1String("0"))
            into = false;
        else
            c.problems << QStringLiteral("%1=%2 ignoré dans « %3 » : true ou false est attendu ; %4 est utilisé.")
                              .arg(QString::fromLatin1(key).section(QLatin1Char('/'), 1), it.value(), shown,
                                   into ? QStringLiteral("true") : QStringLiteral("false"));
    };
    flag("server/tls_verify", c.tlsVerify);
    flag("server/skip_unchanged", c.skipUnchanged);
    read("server/tls_ca", c.tlsCaFile);
    const auto mode = values.constFind(QStringLiteral("update/mode"));
    if (mode != values.constEnd()) {
        const QString v = mode.value().toLower();
        if (v == QLatin1String("direct"))
            c.stagedUpdate = false;
        else if (v != QLatin1String("staged"))
            c.problems << QStringLiteral("mode=%1 ignoré dans « %2 » : staged ou direct est attendu ; staged est "
                                         "utilisé.")
                              .arg(mode.value(), shown);
    }
    const auto rollout = values.constFind(QStringLiteral("update/rollout"));
    if (rollout != values.constEnd()) {
        const QString v = rollout.value().toLower();
        if (v == QLatin1String("ignore"))
            c.rolloutIgnored = true;
        else if (v != QLatin1String("phased"))
            c.problems << QStringLiteral("rollout=%1 ignoré dans « %2 » : phased ou ignore est attendu ; phased est "
                                         "utilisé.")
                              .arg(rollout.value(), shown);
    }
    const auto check = values.constFind(QStringLiteral("update/start_check"));
    if (check != values.constEnd()) {
        bool ok = false;
        const int seconds = check.value().toInt(&ok);
        if (ok && seconds >= 0 && seconds <= MaxTimeout && !check.value().startsWith(QLatin1Char('+')))
            c.startCheckSeconds = seconds;
        else
            c.problems << QStringLiteral("start_check=%1 ignoré dans « %2 » : un nombre de secondes de 0 à %3 est "
                                         "attendu ; 0 est utilisé.")
                              .arg(check.value(), shown)
                              .arg(MaxTimeout);
    }
    const auto tls = values.constFind(QStringLiteral("server/tls"));
    if (tls != values.constEnd()) {
        const QString v = tls.value().toLower();
        if (v == QLatin1String("explicit")) {
            c.tlsExplicit = true;
        } else if (v != QLatin1String("off")) {
            c.tlsRefusal = QStringLiteral("tls=%1 n'est pas reconnu dans « %2 » (off ou explicit) : aucune connexion "
                                          "n'est ouverte plutôt qu'une connexion en clair.")
                               .arg(tls.value(), shown);
            c.problems << c.tlsRefusal;
        }
    }
    for (const char* key : {"update/public_key", "update/public_key_next"}) {
        const auto it = values.constFind(QLatin1String(key));
        if (it == values.constEnd() || it.value().isEmpty())
            continue;
        QString why;
        if (MinisignSignature::parsePublicKey(it.value(), why)) {
            (qstrcmp(key, "update/public_key") == 0 ? c.publicKey : c.publicKeyNext) = it.value();
        } else if (c.keyRefusal.isEmpty()) {
            c.keyRefusal = ReleasePolicy::keyRefusal(QString::fromLatin1(key).section(QLatin1Char('/'), 1), it.value(),
                                                     shown, why);
            c.problems << c.keyRefusal;
        }
    }
    return c;
}
