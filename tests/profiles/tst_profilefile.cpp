#include "platform/text/Windows1252.h"
#include "profiles/ProfileFile.h"
#include "profiles/ProfileLine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Profil = QStringLiteral("\\Profil.ini");

// "$" server "¤" login "£" password "|" name "µ", as earlier versions wrote them.
const QByteArray NordBytes = "$192.0.2.15\xA4operateur\xA3s3cret|Depot Nord\xB5";
const QByteArray SiegeBytes = "$ftp.example.org\xA4vorn\xA3Q7\xE9|Si\xE8ge\xB5";

QString text(const QByteArray& bytes)
{
    return Windows1252::decode(bytes);
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<missing>";
    return f.readAll();
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class TestProfileFile : public QObject {
    Q_OBJECT

private slots:
    void windows1252()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(static_cast<char>(b));
        const QString decoded = Windows1252::decode(all);
        QCOMPARE(decoded.size(), 256);
        QCOMPARE(Windows1252::encode(decoded), all); // any file reads back to its own bytes

        QCOMPARE(decoded.at(0xA4), QChar(0x00A4)); // ¤
        QCOMPARE(decoded.at(0xA3), QChar(0x00A3)); // £
        QCOMPARE(decoded.at(0xB5), QChar(0x00B5)); // µ
        QCOMPARE(decoded.at(0x80), QChar(0x20AC)); // €
        QCOMPARE(decoded.at(0x9C), QChar(0x0153)); // œ
        QCOMPARE(decoded.at(0x81), QChar(0x0081)); // unassigned: kept as the C1 control

        QCOMPARE(Windows1252::encode(QStringLiteral("Dépôt €uro Œuvre")), QByteArray("D\xE9p\xF4t \x80uro \x8Cuvre"));
        QCOMPARE(Windows1252::encode(QStringLiteral("a\u0142b")), QByteArray("a?b"));     // ł
        QCOMPARE(Windows1252::encode(QStringLiteral("a\U0001F600b")), QByteArray("a?b")); // one character, one "?"
        QVERIFY(Windows1252::canEncode(QStringLiteral("Siège ¤£µ€")));
        QVERIFY(!Windows1252::canEncode(QStringLiteral("\u0142")));
    }

    void nbrLigne_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("expected");

        QTest::newRow("empty") << QByteArray("") << -1;
        QTest::newRow("one line") << QByteArray("a\r\n") << 0;
        QTest::newRow("one line without CR LF") << QByteArray("a") << 0;
        QTest::newRow("one empty line") << QByteArray("\r\n") << 0;
        QTest::newRow("empty second line") << QByteArray("a\r\n\r\nb\r\n") << 2;
        QTest::newRow("last line without CR LF") << QByteArray("a\r\nb") << 1;
        QTest::newRow("trailing empty line") << QByteArray("a\r\n\r\n") << 1;
        QTest::newRow("lone CR and lone LF") << QByteArray("a\rb\nc") << 2;
        QTest::newRow("LF CR is two ends") << QByteArray("a\n\rb") << 2;
        QTest::newRow("separator bytes are not ends") << (NordBytes + "\r\n" + SiegeBytes) << 1;
    }

    void nbrLigne()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, expected);
        QTemporaryDir dir;
        ProfileFile file(dir.path());
        writeBytes(dir.filePath(QStringLiteral("Profil.ini")), bytes);
        QCOMPARE(int(file.NbrLigne(Profil)), expected);
    }

    void missingFileAndNames()
    {
        QTemporaryDir dir;
        ProfileFile file(dir.path());
        QCOMPARE(int(file.NbrLigne(Profil)), -1);

        const QString expected = dir.filePath(QStringLiteral("Profil.ini"));
        QCOMPARE(file.pathOf(QStringLiteral("\\Profil.ini")), expected);
        QCOMPARE(file.pathOf(QStringLiteral("/Profil.ini")), expected);
        QCOMPARE(file.pathOf(QStringLiteral("Profil.ini")), expected);
        QCOMPARE(file.pathOf(QStringLiteral("\\DOWN\\a.txt")), dir.filePath(QStringLiteral("DOWN/a.txt")));
    }

    void lirePacksNonEmptyLines()
    {
        QTemporaryDir dir;
        ProfileFile file(dir.path());
        writeBytes(dir.filePath(QStringLiteral("Profil.ini")), NordBytes + "\r\n\r\n" + SiegeBytes + "\r\n");
        file.Lire(Profil);
        const ProfileTable& t = file.table();
        QCOMPARE(int(t.count), 2);
        QCOMPARE(t.lines, QStringList({text(NordBytes), text(SiegeBytes), QString()}));
        QCOMPARE(int(t.cursor), 2);
        QCOMPARE(ProfileLine::name(t.lines.at(1)), QStringLiteral("Siège"));
    }

    void lireLeavesLinesOnMissingOrEmptyFile()
    {
        QTemporaryDir dir;
        ProfileFile file(dir.path());
        const QString path = dir.filePath(QStringLiteral("Profil.ini"));
        writeBytes(path, NordBytes);
        file.Lire(Profil);
        QCOMPARE(file.table().lines, QStringList({text(NordBytes)}));

        writeBytes(path, "");
        file.Lire(Profil);
        QCOMPARE(int(file.table().count), -1);
        QCOMPARE(file.table().lines, QStringList({text(NordBytes)}));

        QVERIFY(QFile::remove(path));
        file.Lire(Profil);
        QCOMPARE(int(file.table().count), -1);
        QCOMPARE(file.table().lines, QStringList({text(NordBytes)}));
    }

    void ecrireFin()
    {
        QTemporaryDir dir;
        ProfileFile file(dir.path());
        const QString path = dir.filePath(QStringLiteral("Profil.ini"));
        QString error;

        // A missing file is created.
        QVERIFY(file.EcrireFin(Profil, text(NordBytes), &error));
        QCOMPARE(readBytes(path), NordBytes + "\r\n");

        QVERIFY(file.EcrireFin(Profil, text(SiegeBytes), &error));
        QCOMPARE(readBytes(path), NordBytes + "\r\n" + SiegeBytes + "\r\n");

        // After a last line without CR LF the missing line end comes first; a lone LF is one already.
        writeBytes(path, "abc");
        QVERIFY(file.EcrireFin(Profil, QStringLiteral("déf"), &error));
        QCOMPARE(readBytes(path), QByteArray("abc\r\nd\xE9"
                                             "f\r\n"));
        QCOMPARE(int(file.NbrLigne(Profil)), 1);
        writeBytes(path, "abc\n");
        QVERIFY(file.EcrireFin(Profil, QStringLiteral("x"), &error));
        QCOMPARE(readBytes(path), QByteArray("abc\nx\r\n"));
        QCOMPARE(entries(dir.path()), QStringList({QStringLiteral("Profil.ini")}));
    }

    void modifReplacesAndDrops()
    {
        QTemporaryDir dir;
        ProfileFile file(dir.path());
        const QString path = dir.filePath(QStringLiteral("Profil.ini"));
        // Two copies of Nord, empty lines, a last line without CR LF.
        const QByteArray before = NordBytes + "\r\n\r\n" + SiegeBytes + "\r\n" + NordBytes + "\r\n\r\nfin";
        const QString nouveau = ProfileLine::make(QStringLiteral("10.0.0.1"), QStringLiteral("op"),
                                                  QStringLiteral("mötdepasse"), QStringLiteral("Nord"));
        QString error;

        writeBytes(path, before);
        QVERIFY2(file.Modif(Profil, text(NordBytes), nouveau, true, &error), qPrintable(error));
        const QByteArray nouveauBytes = "$10.0.0.1\xA4op\xA3m\xF6tdepasse|Nord\xB5";
        QCOMPARE(readBytes(path), nouveauBytes + "\r\n\r\n" + SiegeBytes + "\r\n" + nouveauBytes + "\r\n\r\nfin\r\n");
        // The table keeps the lines as they were, empty ones included.
        QCOMPARE(int(file.table().count), 5);
        QCOMPARE(file.table().lines, QStringList({text(NordBytes), QString(), text(SiegeBytes), text(NordBytes),
                                                  QString(), QStringLiteral("fin")}));

        writeBytes(path, before);
        QVERIFY(file.Modif(Profil, text(NordBytes), QString(), false, &error));
        QCOMPARE(readBytes(path), "\r\n" + SiegeBytes + "\r\n\r\nfin\r\n");

        // The comparison is exact: a line differing by case or a trailing space stays.
        writeBytes(path, before);
        QVERIFY(file.Modif(Profil, text(NordBytes).toLower(), QString(), false, &error));
        QVERIFY(file.Modif(Profil, text(NordBytes) + u' ', QString(), false, &error));
        QCOMPARE(readBytes(path), before + "\r\n");

        // An empty Avaleur stands for every empty line.
        writeBytes(path, before);
        QVERIFY(file.Modif(Profil, QString(), QString(), false, &error));
        QCOMPARE(readBytes(path), NordBytes + "\r\n" + SiegeBytes + "\r\n" + NordBytes + "\r\nfin\r\n");
        QCOMPARE(entries(dir.path()), QStringList({QStringLiteral("Profil.ini")}));
    }

    void modifOnMissingOrEmptyFile()
    {
        QTemporaryDir dir;
        ProfileFile file(dir.path());
        const QString path = dir.filePath(QStringLiteral("Profil.ini"));
        QString error;

        QVERIFY(!file.Modif(Profil, QStringLiteral("a"), QStringLiteral("b"), true, &error));
        QVERIFY2(error.contains(QStringLiteral("introuvable")), qPrintable(error));
        QVERIFY(entries(dir.path()).isEmpty()); // nothing created
        QCOMPARE(int(file.table().count), -1);

        error.clear();
        writeBytes(path, "");
        QVERIFY(file.Modif(Profil, QString(), QStringLiteral("b"), true, &error));
        QVERIFY(error.isEmpty());
        QCOMPARE(readBytes(path), QByteArray());
    }

    void interruptedChangeKeepsTheOldFile()
    {
        QTemporaryDir dir;
        ProfileFile file(dir.path());
        const QString path = dir.filePath(QStringLiteral("Profil.ini"));
        const QByteArray before = NordBytes + "\r\n" + SiegeBytes + "\r\n";
        writeBytes(path, before);

        // Stop where earlier versions had already deleted the file: the new content stands complete
        // in its temporary file (unnamed on Linux) and the old file is still whole.
        QByteArray oldAtStop;
        file.setBeforeReplace([&] {
            oldAtStop = readBytes(path);
            return false;
        });
        QString error;
        QVERIFY(!file.Modif(Profil, text(NordBytes), QString(), false, &error));
        QVERIFY2(error.contains(QStringLiteral("interrompu")), qPrintable(error));
        QCOMPARE(oldAtStop, before);
        QCOMPARE(readBytes(path), before);
        QCOMPARE(entries(dir.path()), QStringList({QStringLiteral("Profil.ini")}));

        oldAtStop.clear();
        QVERIFY(!file.EcrireFin(Profil, QStringLiteral("x"), &error));
        QCOMPARE(oldAtStop, before);
        QCOMPARE(readBytes(path), before);
        QCOMPARE(entries(dir.path()), QStringList({QStringLiteral("Profil.ini")}));

        file.setBeforeReplace({});
        QVERIFY(file.Modif(Profil, text(NordBytes), QString(), false, &error));
        QCOMPARE(readBytes(path), SiegeBytes + "\r\n");
    }

    void missingFolder()
    {
        QTemporaryDir dir;
        // A folder that does not exist: nothing can be created in it.
        ProfileFile absent(dir.filePath(QStringLiteral("absent")));
        QString error;
        QVERIFY(!absent.EcrireFin(Profil, QStringLiteral("x"), &error));
        QVERIFY2(error.contains(QStringLiteral("ne peut pas être créé")), qPrintable(error));
        QVERIFY(error.contains(QStringLiteral("rien n'a été modifié")));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("absent"))));
    }

    void readOnlyFolder()
    {
        QTemporaryDir dir;
        QString error;
        const QString locked = dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkdir(locked));
        const QByteArray before = NordBytes + "\r\n";
        writeBytes(locked + QStringLiteral("/Profil.ini"), before);
        QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
        const auto unlock =
            qScopeGuard([&] { QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
        {
            QFile probe(locked + QStringLiteral("/probe"));
            if (probe.open(QIODevice::WriteOnly)) {
                probe.remove();
                QSKIP("folder permissions are not enforced for this user (root)");
            }
        }
        ProfileFile file(locked);
        error.clear();
        QVERIFY(!file.Modif(Profil, text(NordBytes), QString(), false, &error));
        QVERIFY2(error.contains(QStringLiteral("ne peut pas être créé")), qPrintable(error));
        QVERIFY(!file.EcrireFin(Profil, QStringLiteral("x"), &error));
        QCOMPARE(readBytes(locked + QStringLiteral("/Profil.ini")), before);
        QCOMPARE(entries(locked), QStringList({QStringLiteral("Profil.ini")}));

        // A read-only file in a folder open to writing is left alone too.
        QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(QFile::setPermissions(locked + QStringLiteral("/Profil.ini"), QFile::ReadOwner));
        QVERIFY(!file.Modif(Profil, text(NordBytes), QString(), false, &error));
        QVERIFY2(error.contains(QStringLiteral("protégé en écriture")), qPrintable(error));
        QVERIFY(!file.EcrireFin(Profil, QStringLiteral("x"), &error));
        QCOMPARE(readBytes(locked + QStringLiteral("/Profil.ini")), before);
    }

    void sixteenBitLimit()
    {
        QTemporaryDir dir;
        ProfileFile file(dir.path());
        const QString path = dir.filePath(QStringLiteral("Profil.ini"));
        QString error;

        // 32,768 lines, indexes 0 to 32,767: the most a file may hold.
        QByteArray full = QByteArray("x\r\n").repeated(ProfileFile::MaxLines - 1) + "last\r\n";
        writeBytes(path, full);
        QCOMPARE(int(file.NbrLigne(Profil)), 32767);
        file.Lire(Profil);
        QCOMPARE(file.table().lines.size(), ProfileFile::MaxLines);
        QCOMPARE(file.table().lines.last(), QStringLiteral("last"));
        QVERIFY2(file.Modif(Profil, QStringLiteral("last"), QStringLiteral("fin"), true, &error), qPrintable(error));
        full.chop(6);
        QCOMPARE(readBytes(path), full + "fin\r\n");

        // One more: the count stops at 32,767 and a rewrite that would lose lines is refused.
        const QByteArray over = QByteArray("x\r\n").repeated(ProfileFile::MaxLines) + "y\r\n";
        writeBytes(path, over);
        QCOMPARE(int(file.NbrLigne(Profil)), 32767);
        file.Lire(Profil);
        QCOMPARE(int(file.table().count), 32767);
        QCOMPARE(file.table().lines.size(), ProfileFile::MaxLines);
        QVERIFY(!file.Modif(Profil, QStringLiteral("x"), QString(), false, &error));
        QVERIFY2(error.contains(QStringLiteral("32 768")), qPrintable(error));
        QCOMPARE(readBytes(path), over);
    }

    void rubriques_data()
    {
        QTest::addColumn<QString>("valeurs");
        QTest::addColumn<QString>("open");
        QTest::addColumn<QString>("close");
        QTest::addColumn<QString>("expected");

        const QString nord = text(NordBytes);
        QTest::newRow("server") << nord << "$" << QStringLiteral("¤") << "192.0.2.15";
        QTest::newRow("login") << nord << QStringLiteral("¤") << QStringLiteral("£") << "operateur";
        QTest::newRow("password") << nord << QStringLiteral("£") << "|"
                                  << "s3cret";
        QTest::newRow("name") << nord << "|" << QStringLiteral("µ") << "Depot Nord";
        QTest::newRow("empty text") << ""
                                    << "$"
                                    << "|"
                                    << "";
        QTest::newRow("empty field") << QStringLiteral("$a¤£|nµ") << QStringLiteral("¤") << QStringLiteral("£") << "";
        QTest::newRow("no closing") << "$abc"
                                    << "$"
                                    << "|"
                                    << "";
        QTest::newRow("closing first") << "|abc$"
                                       << "$"
                                       << "|"
                                       << "";
        QTest::newRow("same separator") << "a|b|c"
                                        << "|"
                                        << "|"
                                        << "";
        QTest::newRow("no opening: from the start") << "abc|def"
                                                    << "$"
                                                    << "|"
                                                    << "abc";
        QTest::newRow("first occurrences") << "$a$b|c|"
                                           << "$"
                                           << "|"
                                           << "a$b";
        QTest::newRow("exact case") << "XaYAbZ"
                                    << "A"
                                    << "Z"
                                    << "b";
        QTest::newRow("opening taken as one character") << "<<ab>>"
                                                        << "<<"
                                                        << ">>"
                                                        << "<ab";
        // A password holding "|" cuts the password short and spoils the name.
        const QString pipe = ProfileLine::make(QStringLiteral("srv"), QStringLiteral("op"), QStringLiteral("ab|cd"),
                                               QStringLiteral("Nom"));
        QTest::newRow("pipe in password: password") << pipe << QStringLiteral("£") << "|"
                                                    << "ab";
        QTest::newRow("pipe in password: name") << pipe << "|" << QStringLiteral("µ") << "cd|Nom";
    }

    void rubriques()
    {
        QFETCH(QString, valeurs);
        QFETCH(QString, open);
        QFETCH(QString, close);
        QFETCH(QString, expected);
        QCOMPARE(ProfileFile::Rubriques(valeurs, open, close), expected);
    }

    void accentedProfileRoundTrip()
    {
        QTemporaryDir dir;
        ProfileFile file(dir.path());
        const QString line = ProfileLine::make(QStringLiteral("  ftp.dépôt.fr "), QStringLiteral(" opérateur"),
                                               QStringLiteral(" mot€passe "), QStringLiteral("\tSiège  "));
        // Spaces trimmed from server, login and name (a tab is no space); the password as typed.
        QCOMPARE(line, QStringLiteral("$ftp.dépôt.fr¤opérateur£ mot€passe |\tSiègeµ"));
        QString error;
        QVERIFY(file.EcrireFin(Profil, line, &error));
        QCOMPARE(readBytes(dir.filePath(QStringLiteral("Profil.ini"))),
                 QByteArray("$ftp.d\xE9p\xF4t.fr\xA4op\xE9rateur\xA3 mot\x80passe |\tSi\xE8ge\xB5\r\n"));
        file.Lire(Profil);
        QCOMPARE(file.table().lines.value(0), line);
        const ProfileLine::Fields f = ProfileLine::fields(file.table().lines.value(0));
        QCOMPARE(f.server, QStringLiteral("ftp.dépôt.fr"));
        QCOMPARE(f.login, QStringLiteral("opérateur"));
        QCOMPARE(f.password, QStringLiteral(" mot€passe "));
        QCOMPARE(f.name, QStringLiteral("\tSiège"));
    }
};

QTEST_GUILESS_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
