#include "common/ScriptedDialogs.h"
#include "profiles/Form3.h"
#include "profiles/ProfileFile.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

// The editor refuses what the profile line cannot hold, in any box, before anything is written.
class TestProfileSeparators : public QObject {
    Q_OBJECT

private slots:
    void separatorsRefused_data()
    {
        QTest::addColumn<int>("box"); // 1 to 5: Text1 ... Text5
        QTest::addColumn<QString>("character");
        QTest::newRow("| in the password") << 3 << "|";
        QTest::newRow("¤ in the server") << 1 << "¤";
        QTest::newRow("£ in the login") << 2 << "£";
        QTest::newRow("µ in the name") << 5 << "µ";
        QTest::newRow("line feed in the login") << 2 << "\n";
        QTest::newRow("carriage return in the name") << 5 << "\r";
    }

    void separatorsRefused()
    {
        QFETCH(int, box);
        QFETCH(QString, character);
        QTemporaryDir dir;
        ProfileFile profiles(dir.path());
        ScriptedDialogs dialogs;
        QListWidget list;
        Form3 editor(profiles, dialogs, list);
        editor.show();
        QLineEdit* boxes[] = {editor.Text1, editor.Text2, editor.Text3, editor.Text4, editor.Text5};
        const QString values[] = {"192.0.2.1", "op", "pw", "pw", "Nord"};
        for (int i = 0; i < 5; ++i)
            boxes[i]->setText(i + 1 == box || (box == 3 && i == 3) ? values[i] + character + "x" : values[i]);
        QCOMPARE(boxes[box - 1]->text(), values[box - 1] + character + "x"); // the box holds it

        editor.Command1->click();

        QCOMPARE(dialogs.texts().size(), 1);
        QVERIFY2(dialogs.texts().first().contains(character == "\n" || character == "\r" ? "saut de ligne"
                                                                                         : "« " + character + " »"),
                 qPrintable(dialogs.texts().first()));
        QCOMPARE(editor.focusWidget(), boxes[box - 1]);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("Profil.ini"))));
        QCOMPARE(list.count(), 0);
    }
};

QTEST_MAIN(TestProfileSeparators)
#include "tst_profileseparators.moc"
