#include "LoginFixtures.h"
#include "common/ScriptedDialogs.h"
#include "common/TestDatabases.h"
#include "database/DatabaseConnection.h"
#include "login/UserLogin.h"

#include <QTest>

class TestUserLogin : public QObject {
    Q_OBJECT

private slots:
    void XLogin_data();
    void XLogin();
    void failedCheckKeepsEarlierUser_data();
    void failedCheckKeepsEarlierUser();
    void unreachableDatabase();
    void groupQueryFails();
};

void TestUserLogin::XLogin_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("thirdValue"); // the first matching row's, or empty when none matched
    QTest::addColumn<QString>("groupCode");
    QTest::addColumn<QString>("admin");

    const QStringList none;
    const QStringList noGroup{UserLogin::noGroupMessage()};
    for (const QString& b : TestDatabases::backends()) {
        auto row = [&b](const char* name) { return &QTest::newRow(qPrintable(b + QStringLiteral(" ") + name)); };
        *row("user with group, first of two rows") << b << "DUPONT"
                                                   << "secret" << 1 << none << "atelier"
                                                   << "G1"
                                                   << "1";
        *row("apostrophes") << b << "O'BRIEN"
                            << "p'w" << 1 << none << ""
                            << "G1"
                            << "1";
        *row("empty name and password") << b << ""
                                        << "" << 1 << none << ""
                                        << "G2"
                                        << "0";
        *row("wrong password") << b << "DUPONT"
                               << "SECRET" << 0 << none << ""
                               << ""
                               << "";
        *row("percent password") << b << "DUPONT"
                                 << "%" << 0 << none << ""
                                 << ""
                                 << "";
        *row("percent name and password") << b << "%"
                                          << "%" << 0 << none << ""
                                          << ""
                                          << "";
        *row("underscore wildcard") << b << "DUPON_"
                                    << "secret" << 0 << none << ""
                                    << ""
                                    << "";
        *row("trailing space") << b << "DUPONT "
                               << "secret" << 0 << none << ""
                               << ""
                               << "";
        *row("not a user domain") << b << "ADMINX"
                                  << "pw" << 0 << none << ""
                                  << ""
                                  << "";
        *row("no group") << b << "NOGROUP"
                         << "pw" << 0 << noGroup << "x"
                         << "G9"
                         << "";
        *row("statement breaker") << b << "x') or ('1'='1"
                                  << "x') or ('1'='1" << 0 << none << ""
                                  << ""
                                  << "";
    }
}

void TestUserLogin::XLogin()
{
    QFETCH(QString, backend);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(int, result);
    QFETCH(QStringList, messages);
    QFETCH(QString, thirdValue);
    QFETCH(QString, groupCode);
    QFETCH(QString, admin);
    TestDatabases env(backend);
    VORN_PREPARE_DATABASES(env);
    QVERIFY2(seedLogins(env), qPrintable(env.error()));

    OperatorContext context;
    ScriptedDialogs dialogs;
    UserLogin login(context, dialogs, env.appDir());
    QVERIFY(login.XLogin(user, password));

    QCOMPARE(context.loginResult.toInt(), result);
    QVERIFY(context.loginResult.isValid());
    QCOMPARE(dialogs.texts(), messages);
    for (const ScriptedDialogs::Shown& s : dialogs.shown()) {
        QCOMPARE(s.request.buttons, DialogButtons::Ok);
        QCOMPARE(s.request.icon, DialogIcon::None);
    }
    QCOMPARE(OperatorContext::text(context.thirdValue), thirdValue);
    QCOMPARE(OperatorContext::text(context.groupCode), groupCode);
    QCOMPARE(OperatorContext::text(context.ADMIN), admin);
    if (result == 1) {
        QCOMPARE(OperatorContext::text(context.userName), user);
        QCOMPARE(OperatorContext::text(context.userPassword), password);
        QVERIFY(context.GED.isValid());
    } else if (groupCode.isEmpty()) {
        QVERIFY(!context.userName.isValid()); // nothing read for an unknown user
    } else {
        QCOMPARE(OperatorContext::text(context.userName), user); // kept without a group
        QVERIFY(!context.ADMIN.isValid());
    }
}

void TestUserLogin::failedCheckKeepsEarlierUser_data()
{
    TestDatabases::addBackendRows();
}

void TestUserLogin::failedCheckKeepsEarlierUser()
{
    QFETCH(QString, backend);
    TestDatabases env(backend);
    VORN_PREPARE_DATABASES(env);
    QVERIFY2(seedLogins(env), qPrintable(env.error()));

    OperatorContext context;
    ScriptedDialogs dialogs;
    UserLogin login(context, dialogs, env.appDir());
    QVERIFY(login.XLogin(QStringLiteral("DUPONT"), QStringLiteral("secret")));
    QVERIFY(login.XLogin(QStringLiteral("DUPONT"), QStringLiteral("%")));
    QCOMPARE(context.loginResult.toInt(), 0);
    QCOMPARE(OperatorContext::text(context.userName), QStringLiteral("DUPONT"));
    QCOMPARE(OperatorContext::text(context.fifthValue), QStringLiteral("Quai 3"));
    QCOMPARE(OperatorContext::text(context.groupCode), QStringLiteral("G1"));
}

void TestUserLogin::unreachableDatabase()
{
    TestDatabases env(QStringLiteral("sqlite"));
    VORN_PREPARE_DATABASES(env);
    VORN_MAKE_UNREACHABLE(env, {QStringLiteral("KESTRAVO2019")});

    OperatorContext context;
    context.loginResult = 1; // an earlier login must not stand
    ScriptedDialogs dialogs;
    UserLogin login(context, dialogs, env.appDir());
    QVERIFY(!login.XLogin(QStringLiteral("DUPONT"), QStringLiteral("secret")));
    QCOMPARE(context.loginResult.toInt(), 0);
    QCOMPARE(dialogs.shown().size(), 1);
    QCOMPARE(dialogs.shown().first().request.icon, DialogIcon::Critical);
    QCOMPARE(dialogs.shown().first().request.title, QStringLiteral("VORN_UPDATE_VERSION"));
    QVERIFY2(dialogs.texts().first().startsWith(
                 QStringLiteral("Impossible d'ouvrir la source de données « KESTRAVO2019 » :\n")),
             qPrintable(dialogs.texts().first()));
}

void TestUserLogin::groupQueryFails()
{
    // The user is found, then the group table cannot be read: no login, user entries kept.
    TestDatabases env(QStringLiteral("sqlite"));
    VORN_PREPARE_DATABASES(env);
    QVERIFY2(seedLogins(env), qPrintable(env.error()));
    QVERIFY(env.exec(QStringLiteral("KESTRAVO2019"), QStringLiteral("drop table KESTRAVO_GROUP")));

    OperatorContext context;
    ScriptedDialogs dialogs;
    UserLogin login(context, dialogs, env.appDir());
    QVERIFY(!login.XLogin(QStringLiteral("DUPONT"), QStringLiteral("secret")));
    QCOMPARE(context.loginResult.toInt(), 0);
    QCOMPARE(OperatorContext::text(context.userName), QStringLiteral("DUPONT"));
    QCOMPARE(dialogs.shown().size(), 1);
    QVERIFY2(dialogs.texts().first().startsWith(QStringLiteral("Erreur de la base de données « KESTRAVO2019 » :\n")),
             qPrintable(dialogs.texts().first()));
}

QTEST_GUILESS_MAIN(TestUserLogin)
#include "tst_userlogin.moc"
