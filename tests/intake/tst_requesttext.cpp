#include "intake/AttachmentName.h"
#include "intake/RequestLoader.h"
#include "intake/RequestRecord.h"
#include "intake/RequestText.h"
#include "platform/text/Windows1252.h"

#include <QTest>

class TestRequestText : public QObject {
    Q_OBJECT
private slots:
    void repair_data();
    void repair();
    void upperCase();
    void lines();
    void fields_data();
    void fields();
    void sixteenFields();
    void codesAndNames();
    void attachmentName_data();
    void attachmentName();
};

void TestRequestText::repair_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("separator") << QByteArray("A//B") << QByteArray("A;B");
    QTest::newRow("no rescan of a replaced separator") << QByteArray("A///B") << QByteArray("A;/B");
    QTest::newRow("sender's semicolon removed, separator kept") << QByteArray("A;B//C") << QByteArray("AB;C");
    QTest::newRow("mu is a separator") << QByteArray("A\xB5"
                                                     "B")
                                       << QByteArray("A;B");
    QTest::newRow("line break ends as two blanks") << QByteArray("a<br />b") << QByteArray("a  b");
    QTest::newRow("quote entity") << QByteArray("&quot;x&quot;") << QByteArray("''x''");
    QTest::newRow("hyphens removed") << QByteArray("01-02-03") << QByteArray("010203");
    QTest::newRow("E acute") << QByteArray("caf&Atilde;\x89") << QByteArray("caf\xE9");
    QTest::newRow("U grave becomes a blank") << QByteArray("o&Atilde;\x99") << QByteArray("o ");
    QTest::newRow("E grave") << QByteArray("&Atilde;\x88") << QByteArray("\xE8");
    QTest::newRow("C cedilla") << QByteArray("&Atilde;\x87") << QByteArray("\xE7");
    QTest::newRow("A grave") << QByteArray("&Atilde;\x80") << QByteArray("\xE0");
    QTest::newRow("O circumflex") << QByteArray("&Atilde;\x94") << QByteArray("\xF4");
    QTest::newRow("O diaeresis") << QByteArray("&Atilde;\x96") << QByteArray("\xF6");
    QTest::newRow("E circumflex") << QByteArray("&Atilde;\x8A") << QByteArray("\xEA");
    QTest::newRow("E diaeresis") << QByteArray("&Atilde;\x8B") << QByteArray("\xEB");
    QTest::newRow("I circumflex") << QByteArray("&Atilde;\x8E") << QByteArray("\xEE");
    // Every ";" goes at step 16, also the one closing the second entity.
    QTest::newRow("escaped small e acute") << QByteArray("&Atilde;&copy;") << QByteArray(" &copy");
    QTest::newRow("lead entity without semicolon") << QByteArray("x&Atilde y") << QByteArray("x  y");
    QTest::newRow("lower case entity untouched") << QByteArray("&atilde;\x89") << QByteArray("&atilde\x89");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestRequestText::repair()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(RequestText::repair(input), expected);
}

void TestRequestText::upperCase()
{
    const QByteArray lower("abz\xE9\xE0\xFE\xFF\x9A\x9C\x9E\xDF\xB5\xF7\x83"
                           "09;");
    const QByteArray upper("ABZ\xC9\xC0\xDE\x9F\x8A\x8C\x8E\xDF\xB5\xF7\x83"
                           "09;");
    QCOMPARE(Windows1252::toUpper(lower), upper);
    QCOMPARE(Windows1252::toUpper(upper), upper);
    QCOMPARE(Windows1252::toUpper(QStringLiteral("éÿßaā")), QStringLiteral("ÉŸßAā"));

    // After repair and upper case the text decodes to what the table will hold.
    QCOMPARE(RequestText::prepare("caf&Atilde;\x89 \xE9t\xE9 &Atilde;&copy; \x80"),
             QStringLiteral("CAFÉ ÉTÉ  &COPY €"));
    QCOMPARE(Windows1252::encode(QStringLiteral("é€Ÿ中")), QByteArray("\xE9\x80\x9F?"));
}

void TestRequestText::lines()
{
    QCOMPARE(RequestText::joinLines("a\r\nb\rc\nd\r"), QByteArray("abc\nd"));
    QCOMPARE(RequestText::joinLines("\r\r\n\n"), QByteArray("\n"));

    QByteArray line("untouched");
    QVERIFY(!RequestText::firstLine(QByteArray(), line));
    QCOMPARE(line, QByteArray("untouched"));
    QVERIFY(RequestText::firstLine("DI1 \r\nDI2\r\n", line));
    QCOMPARE(line, QByteArray("DI1 "));
    QVERIFY(RequestText::firstLine("DI1\nDI2", line));
    QCOMPARE(line, QByteArray("DI1\nDI2"));
    QVERIFY(RequestText::firstLine("\r\nDI2", line));
    QCOMPARE(line, QByteArray());
}

void TestRequestText::fields_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("two") << "A;B" << QStringList{"A", "B"};
    QTest::newRow("empty between") << "A;;B" << QStringList{"A", "", "B"};
    QTest::newRow("trailing") << "A;" << QStringList{"A", ""};
    QTest::newRow("leading") << ";A" << QStringList{"", "A"};
    QTest::newRow("empty text") << "" << QStringList{""};
    QTest::newRow("one") << "ABC" << QStringList{"ABC"};
}

void TestRequestText::fields()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(RequestLoader::fields(text), expected);
}

void TestRequestText::sixteenFields()
{
    const QByteArray raw = "Dupont//RH//2//1//K123//05//03//2021//matin//B12//A001//C002//Carton: 3//RAS//"
                           "01-02-03-04-05//jean-luc";
    const QStringList f = RequestLoader::fields(RequestText::prepare(raw));
    QCOMPARE(f.size(), 16);
    const RequestRecord r = RequestRecord::fromFields("DI20201116093000.txt", f, QDate(2021, 3, 5));
    const QStringList order{"DI_NO_DI",
                            "DI_STATUT",
                            "DI_DATE_DEMANDE",
                            "DI_DATE_RECEPTION",
                            "DI_DEMANDEUR",
                            "DI_DIRECTION",
                            "DI_TYPE_DEMANDE",
                            "DI_A_REFACTURER",
                            "DI_VENTILATION_SAP",
                            "DI_DATE_SOUHAITEE",
                            "DI_HORAIRE_SOUHAITE",
                            "DI_NO_BATIMENT",
                            "DI_CODE_LOCAL_DEPART",
                            "DI_CODE_DEPART_DETINATION",
                            "DI_OBJET",
                            "DI_OBSERVATIONS",
                            "DI_TELEPH",
                            "DI_EMAIL"};
    const QStringList values{"DI20201116093000",
                             "DEMANDE",
                             "20201116",
                             "20210305",
                             "DUPONT",
                             "RH",
                             "MANUTENTION",
                             "OUI",
                             "K123",
                             "20210305",
                             "MATIN",
                             "B12",
                             "A001",
                             "C002",
                             "CARTON: 3",
                             "RAS",
                             "0102030405",
                             "JEANLUC"};
    QCOMPARE(r.columns().size(), order.size());
    for (int i = 0; i < order.size(); ++i) {
        QCOMPARE(r.columns().at(i).first, order.at(i));
        QCOMPARE(r.columns().at(i).second, values.at(i));
    }

    // A "//" inside a field shifts every later field by one.
    const QStringList shifted =
        RequestLoader::fields(RequestText::prepare("A//B//3//2//SAP//1//2//2022//h//b//l//d//http://x//obs"));
    const RequestRecord s = RequestRecord::fromFields("DI1.txt", shifted, QDate(2021, 3, 5));
    QCOMPARE(s.value("DI_OBJET"), QStringLiteral("HTTP:"));
    QCOMPARE(s.value("DI_OBSERVATIONS"), QStringLiteral("X"));
    QCOMPARE(s.value("DI_TELEPH"), QStringLiteral("OBS"));
    QCOMPARE(s.value("DI_EMAIL"), QString());
}

void TestRequestText::codesAndNames()
{
    const QStringList types{"ACCOMPAGNEMENT", "MANUTENTION", "COURSE", "DEMENAGEMENT", "MISE EN PLACE", "AUTRE"};
    for (int i = 0; i < types.size(); ++i)
        QCOMPARE(RequestRecord::typeText(QString::number(i + 1)), types.at(i));
    for (const char* code : {"0", "7", " 1", "01", "1 ", "", "A"})
        QVERIFY2(RequestRecord::typeText(QString::fromLatin1(code)).isEmpty(), code);
    QCOMPARE(RequestRecord::reinvoicingText("1"), QStringLiteral("OUI"));
    QCOMPARE(RequestRecord::reinvoicingText("2"), QStringLiteral("NON"));
    QVERIFY(RequestRecord::reinvoicingText("3").isEmpty());

    // Fewer fields than the table: the rest is empty, unknown codes leave their column out.
    const RequestRecord few = RequestRecord::fromFields("DI7.txt", {"A", "B", "7", "3"}, QDate(2021, 3, 5));
    QVERIFY(!few.has("DI_TYPE_DEMANDE"));
    QVERIFY(!few.has("DI_A_REFACTURER"));
    QVERIFY(few.has("DI_EMAIL"));
    QCOMPARE(few.value("DI_DATE_SOUHAITEE"), QString());
    QCOMPARE(few.columns().size(), 16);

    const QString longText(300, QLatin1Char('X'));
    QStringList many(16);
    many[12] = longText;
    many[13] = longText;
    const RequestRecord longOnes = RequestRecord::fromFields("DI8.txt", many, QDate(2021, 3, 5));
    QCOMPARE(longOnes.value("DI_OBJET").size(), 255);
    QCOMPARE(longOnes.value("DI_OBSERVATIONS").size(), 255);

    QCOMPARE(RequestRecord::requestNumber("DI20201116093000.txt"), QStringLiteral("DI20201116093000"));
    QCOMPARE(RequestRecord::requestNumber("DI1.TXT"), QStringLiteral("DI1.TXT"));
    QCOMPARE(RequestRecord::requestNumber("DI5.doc"), QStringLiteral("DI5.doc"));
    QCOMPARE(RequestRecord::requestNumber("DI1.txt.txt"), QStringLiteral("DI1"));
    QCOMPARE(RequestRecord::requestDate("DI20201116093000.txt"), QStringLiteral("20201116"));
    QCOMPARE(RequestRecord::requestDate("DI5.doc"), QStringLiteral("5.doc"));
}

void TestRequestText::attachmentName_data()
{
    QTest::addColumn<QString>("remote");
    QTest::addColumn<QString>("expected");
    QTest::newRow("example") << "IMGDI20201116093000.jpg"
                             << "DI20201116093000_20201116104512.jpg";
    QTest::newRow("extension case kept") << "IMGDIab.Jpg"
                                         << "DIAB_20201116104512.Jpg";
    QTest::newRow("first dot starts the extension") << "IMGDI1.a.jpg"
                                                    << "DI1_20201116104512.a.jpg";
    QTest::newRow("every IMGDI shortened") << "IMGDIimgdi.png"
                                           << "DIDI_20201116104512.png";
    QTest::newRow("accented stem") << "IMGDIété.pdf"
                                   << "DIÉTÉ_20201116104512.pdf";
    QTest::newRow("no extension") << "IMGDI42"
                                  << "";
}

void TestRequestText::attachmentName()
{
    QFETCH(QString, remote);
    QFETCH(QString, expected);
    QString name = QStringLiteral("unset");
    const bool ok = AttachmentName::localName(remote, QDateTime(QDate(2020, 11, 16), QTime(10, 45, 12)), name);
    QCOMPARE(ok, !expected.isEmpty());
    QCOMPARE(name, ok ? expected : QStringLiteral("unset"));
}

QTEST_GUILESS_MAIN(TestRequestText)
#include "tst_requesttext.moc"
