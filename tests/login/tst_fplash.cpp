#include "LoginFixtures.h"
#include "common/ScriptedDialogs.h"
#include "common/TabStops.h"
#include "common/TestDatabases.h"
#include "login/gui/FPLASH.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

template <typename T>
T* child(QWidget& w, const char* name)
{
    return w.findChild<T*>(QString::fromLatin1(name));
}

} // namespace

class TestFPLASH : public QObject {
    Q_OBJECT

private slots:
    void controlsAndTimerSequence();
    void enterAloneLogsIn();
    void COK_data();
    void COK();
    void serviceCodeNeedsNoDatabase();
    void unreachableDatabaseSaysSoOnce();
    void CNONEndsTheApplication();
};

void TestFPLASH::controlsAndTimerSequence()
{
    OperatorContext context;
    ScriptedDialogs dialogs;
    FPLASH w(context, dialogs, QString(), QVersionNumber(1, 0, 3), [] {});
    QCOMPARE(w.windowTitle(), QStringLiteral("NOVAL"));
    QCOMPARE(child<QLabel>(w, "LINFO")->text(), QStringLiteral("V: 1.0.3"));
    QCOMPARE(child<QLabel>(w, "Label1")->text(), QStringLiteral("Gestion de flux"));
    QCOMPARE(child<QLabel>(w, "Label2")->text(), QStringLiteral("User"));
    QCOMPARE(child<QLabel>(w, "Label3")->text(), QStringLiteral("Mot de passe"));
    QCOMPARE(child<QPushButton>(w, "COK")->text(), QStringLiteral("Login"));
    QCOMPARE(child<QPushButton>(w, "CNON")->text(), QStringLiteral("Abandonner"));
    QCOMPARE(child<QLineEdit>(w, "TPW")->echoMode(), QLineEdit::Password);
    QVERIFY(child<QLineEdit>(w, "TLOGIN"));
    QCOMPARE(tabStops(&w), (QStringList{"TLOGIN", "TPW", "COK", "CNON"}));
    for (const char* name : {"Image1", "Image2", "Image3", "Image4", "Line1", "LTITRE"})
        QVERIFY2(w.findChild<QWidget*>(QString::fromLatin1(name)), name);

    auto* LTITRE = child<QLabel>(w, "LTITRE");
    auto* Image1 = child<QLabel>(w, "Image1");
    auto* Label1 = child<QLabel>(w, "Label1");
    auto* Timer1 = w.findChild<QTimer*>(QStringLiteral("Timer1"));
    auto* Timer2 = w.findChild<QTimer*>(QStringLiteral("Timer2"));
    auto* Timer3 = w.findChild<QTimer*>(QStringLiteral("Timer3"));
    QVERIFY(Timer1 && Timer2 && Timer3);
    QVERIFY(Timer1->isActive());
    QCOMPARE(Timer1->interval(), 400);
    QVERIFY(!Timer2->isActive() && !Timer3->isActive());
    w.show();
    QVERIFY(LTITRE->isHidden() && Image1->isHidden() && Label1->isHidden());
    const QPoint form = child<QLineEdit>(w, "TLOGIN")->pos();

    QTRY_VERIFY_WITH_TIMEOUT(!LTITRE->isHidden(), 2000);
    QVERIFY(!Image1->isHidden());
    QVERIFY(Label1->isHidden());
    QVERIFY(!Timer1->isActive());
    QVERIFY(Timer2->isActive());
    QCOMPARE(Timer2->interval(), 1000);

    QTRY_VERIFY_WITH_TIMEOUT(!Label1->isHidden(), 3000);
    QCOMPARE(child<QLineEdit>(w, "TLOGIN")->pos(), form); // the titles took no room from the form
    QVERIFY(!Timer2->isActive());
    QVERIFY(Timer3->isActive());
    QCOMPARE(Timer3->interval(), 2000);
    QVERIFY(dialogs.shown().isEmpty());
}

void TestFPLASH::enterAloneLogsIn()
{
    OperatorContext context;
    ScriptedDialogs dialogs;
    FPLASH w(context, dialogs, QString(), QVersionNumber(1, 0, 3), [] {});
    QSignalSpy spy(&w, &FPLASH::loggedIn);
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto* TLOGIN = child<QLineEdit>(w, "TLOGIN");
    auto* TPW = child<QLineEdit>(w, "TPW");
    auto* COK = child<QPushButton>(w, "COK");

    TLOGIN->setFocus();
    QTest::keyClicks(TLOGIN, QStringLiteral("Q7MAZ"));
    QTest::keyClick(TLOGIN, Qt::Key_Return);
    QTRY_VERIFY(TPW->hasFocus());
    QTest::keyClicks(TPW, QStringLiteral("x"));
    QTest::keyClick(TPW, Qt::Key_Enter);
    QTRY_VERIFY(COK->hasFocus());
    // Reaching COK does not press it, even with the service code typed.
    QCOMPARE(spy.count(), 0);
    QVERIFY(w.isVisible());
    QCOMPARE(TLOGIN->text(), QStringLiteral("Q7MAZ"));
    QCOMPARE(TPW->text(), QStringLiteral("x"));
    QVERIFY(w.testAttribute(Qt::WA_KeyboardFocusChange)); // COK's focus ring shows, as after Tab
    QTest::keyClick(COK, Qt::Key_Return);
    QCOMPARE(spy.count(), 1);
}

void TestFPLASH::COK_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("in");
    QTest::addColumn<QStringList>("messages");

    const QStringList sorry{QStringLiteral("Désolé...")};
    const QStringList noGroup{QStringLiteral("Désolé... pas de groupe défini pour ce user."),
                              QStringLiteral("Désolé...")};
    for (const QString& b : TestDatabases::backends()) {
        auto row = [&b](const char* name) { return &QTest::newRow(qPrintable(b + QStringLiteral(" ") + name)); };
        *row("found") << b << "DUPONT"
                      << "secret" << true << QStringList();
        *row("unknown") << b << "DURAND"
                        << "secret" << false << sorry;
        *row("no group") << b << "NOGROUP"
                         << "pw" << false << noGroup;
        *row("percent password") << b << "DUPONT"
                                 << "%" << false << sorry;
        *row("service code with a space") << b << " Q7MAZ"
                                          << "" << false << sorry;
        *row("service code in lower case") << b << "q7maz"
                                           << "" << false << sorry;
    }
}

void TestFPLASH::COK()
{
    QFETCH(QString, backend);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, in);
    QFETCH(QStringList, messages);
    TestDatabases env(backend);
    VORN_PREPARE_DATABASES(env);
    QVERIFY2(seedLogins(env), qPrintable(env.error()));

    OperatorContext context;
    ScriptedDialogs dialogs;
    FPLASH w(context, dialogs, env.appDir(), QVersionNumber(2, 10, 0), [] {});
    QSignalSpy spy(&w, &FPLASH::loggedIn);
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto* TLOGIN = child<QLineEdit>(w, "TLOGIN");
    auto* TPW = child<QLineEdit>(w, "TPW");
    TLOGIN->setText(user);
    TPW->setText(password);
    QTest::mouseClick(child<QPushButton>(w, "COK"), Qt::LeftButton);

    QCOMPARE(dialogs.texts(), messages);
    QCOMPARE(spy.count(), in ? 1 : 0);
    QCOMPARE(w.isHidden(), in);
    QCOMPARE(context.loginResult.toInt(), in ? 1 : 0);
    if (!in) {
        QCOMPARE(dialogs.shown().last().request.icon, DialogIcon::None);
        QCOMPARE(dialogs.shown().last().request.buttons, DialogButtons::Ok);
        QTRY_VERIFY(TLOGIN->hasFocus());
        QCOMPARE(TLOGIN->text(), user);
        QCOMPARE(TPW->text(), password);
    } else {
        QCOMPARE(OperatorContext::text(context.userName), user);
        QCOMPARE(OperatorContext::text(context.groupCode), QStringLiteral("G1"));
    }
}

void TestFPLASH::serviceCodeNeedsNoDatabase()
{
    // An unreachable data source proves no database is consulted.
    TestDatabases env(QStringLiteral("sqlite"));
    VORN_PREPARE_DATABASES(env);
    VORN_MAKE_UNREACHABLE(env, {QStringLiteral("KESTRAVO2019")});

    OperatorContext context;
    context.userName = QStringLiteral("MARTIN"); // left by an earlier check
    ScriptedDialogs dialogs;
    FPLASH w(context, dialogs, env.appDir(), QVersionNumber(1, 0, 0), [] {});
    QSignalSpy spy(&w, &FPLASH::loggedIn);
    w.show();
    child<QLineEdit>(w, "TLOGIN")->setText(QStringLiteral("Q7MAZ"));
    QTest::mouseClick(child<QPushButton>(w, "COK"), Qt::LeftButton);

    QVERIFY(dialogs.shown().isEmpty());
    QCOMPARE(spy.count(), 1);
    QVERIFY(w.isHidden());
    for (const QVariant* v : {&context.groupCode, &context.ADMIN, &context.ETIQ, &context.FEUILLE, &context.LAD,
                              &context.NUM, &context.EXPORT, &context.VERIF, &context.STAT, &context.GED}) {
        QCOMPARE(v->typeId(), QMetaType::Short);
        QCOMPARE(OperatorContext::text(*v), QStringLiteral("1"));
    }
    QVERIFY(!context.loginResult.isValid());
    QCOMPARE(OperatorContext::text(context.userName), QStringLiteral("MARTIN"));
    QVERIFY(!context.fifthValue.isValid());
}

void TestFPLASH::unreachableDatabaseSaysSoOnce()
{
    TestDatabases env(QStringLiteral("sqlite"));
    VORN_PREPARE_DATABASES(env);
    VORN_MAKE_UNREACHABLE(env, {QStringLiteral("KESTRAVO2019")});

    OperatorContext context;
    ScriptedDialogs dialogs;
    FPLASH w(context, dialogs, env.appDir(), QVersionNumber(1, 0, 0), [] {});
    QSignalSpy spy(&w, &FPLASH::loggedIn);
    w.show();
    child<QLineEdit>(w, "TLOGIN")->setText(QStringLiteral("DUPONT"));
    QTest::mouseClick(child<QPushButton>(w, "COK"), Qt::LeftButton);

    QCOMPARE(dialogs.shown().size(), 1);
    QVERIFY(dialogs.texts().first().startsWith(
        QStringLiteral("Impossible d'ouvrir la source de données « KESTRAVO2019 »")));
    QCOMPARE(spy.count(), 0);
    QVERIFY(w.isVisible());
}

void TestFPLASH::CNONEndsTheApplication()
{
    OperatorContext context;
    ScriptedDialogs dialogs;
    int ended = 0;
    FPLASH w(context, dialogs, QString(), QVersionNumber(1, 0, 0), [&ended] { ++ended; });
    w.show();
    QTest::mouseClick(child<QPushButton>(w, "CNON"), Qt::LeftButton);
    QCOMPARE(ended, 1);
    QVERIFY(dialogs.shown().isEmpty());

    // Escape abandons too, from the box being typed in; the captions do not touch their edges.
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    child<QLineEdit>(w, "TLOGIN")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCOMPARE(ended, 2);
    for (const char* name : {"COK", "CNON"}) {
        const auto* b = child<QPushButton>(w, name);
        QVERIFY2(b->width() >= b->fontMetrics().horizontalAdvance(b->text()) + 2 * b->fontMetrics().height(), name);
    }
}

QTEST_MAIN(TestFPLASH)
#include "tst_fplash.moc"
