#include "common/Controls.h"
#include "common/FakeProcessControl.h"
#include "common/FtpTestServer.h"
#include "common/ScriptedDialogs.h"
#include "ftpsession/FtpConnection.h"
#include "launcher/gui/Form1.h"
#include "login/OperatorContext.h"
#include "platform/ftp/QtFtpClient.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <optional>

namespace {

// An update run's window with its fakes, against `server`.
struct PanelRun {
    PanelRun(const FtpTestServer& server, QtFtpClient& ftp)
        : session(ftp)
    {
        Form1Context c(session, processes, dialogs, operatorContext);
        c.config.host = server.host();
        c.config.user = FtpTestServer::user();
        c.config.password = FtpTestServer::password();
        c.appDir = app.path();
        c.startApplication = false;
        c.endProgram = [this](int code) { exitCode = code; };
        form = std::make_unique<Form1>(std::move(c));
    }
    FtpConnection session;
    QTemporaryDir app;
    FakeProcessControl processes;
    ScriptedDialogs dialogs;
    OperatorContext operatorContext;
    std::optional<int> exitCode;
    std::unique_ptr<Form1> form;
};

} // namespace

class TestWaitPanel : public QObject {
    Q_OBJECT

private slots:
    // A transfer that stalls up to the timeout: the window's events run (the animation keeps
    // turning), and the wait panel already names the file being fetched with its bar moved on.
    void windowLivesThroughAStalledTransfer()
    {
        FtpTestServer server({QStringLiteral("--stall"), QStringLiteral("RETR:stalled.bin")});
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY(server.put(QStringLiteral("www/DOWN/VERSIONVORN/a.bin"), "a"));
        QVERIFY(server.put(QStringLiteral("www/DOWN/VERSIONVORN/stalled.bin"), "x"));
        QtFtpClient ftp(2000);
        PanelRun run(server, ftp);
        Form1& f = *run.form;
        std::optional<int>& exitCode = run.exitCode;

        int ticksOnStalledFile = 0;
        QObject::connect(control<QTimer>(f, "Timer1"), &QTimer::timeout, [&] {
            const auto rows =
                control<QListWidget>(f, "List1")->findItems(QStringLiteral("stalled.bin"), Qt::MatchExactly);
            if (control<QLabel>(f, "LDI")->text() == QLatin1String("stalled.bin") && rows.size() == 1 &&
                control<QProgressBar>(f, "RB1")->value() == control<QListWidget>(f, "List1")->row(rows.first()))
                ++ticksOnStalledFile;
        });
        f.show();
        QTRY_VERIFY_WITH_TIMEOUT(exitCode.has_value(), 15000);
        QVERIFY2(ticksOnStalledFile >= 8, qPrintable(QString::number(ticksOnStalledFile)));
    }

    // A busy server's wait: said in the panel while the animation turns, then the run goes on.
    void panelSaysTheRetryWait()
    {
        FtpTestServer server({QStringLiteral("--max-sessions"), QStringLiteral("1")});
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY(server.put(QStringLiteral("www/DOWN/VERSIONVORN/a.bin"), "a"));
        QtFtpClient other(2000);
        FtpHandle held =
            other.connect(other.open(QStringLiteral("t")), server.host(), 21, server.user(), server.password(), true);
        QVERIFY(held);
        QtFtpClient ftp(2000);
        ftp.setRetryPolicy(RetryPolicy(60, [] { return 0.99; }));
        PanelRun run(server, ftp);
        Form1& f = *run.form;
        std::optional<int>& exitCode = run.exitCode;
        int ticksWaiting = 0;
        QObject::connect(control<QTimer>(f, "Timer1"), &QTimer::timeout, [&] {
            if (control<QLabel>(f, "LDI")->text().startsWith(QStringLiteral("Serveur occupé, nouvel essai dans ")) &&
                ++ticksWaiting == 2)
                other.closeHandle(std::exchange(held, 0));
        });
        f.show();
        QTRY_VERIFY_WITH_TIMEOUT(exitCode.has_value(), 15000);
        QCOMPARE(*exitCode, 0);
        QVERIFY2(ticksWaiting >= 2, qPrintable(QString::number(ticksWaiting)));
        QVERIFY(run.session.log().contains(QStringLiteral("Serveur occupé, nouvel essai dans ")));
    }

    // A dead server: Escape ends the wait at once, and the refusal stands as when the budget is
    // spent (the run ends without a login, long before the minute of retries it was given).
    void escapeEndsTheRetryWait()
    {
        FtpTestServer server({QStringLiteral("--max-sessions"), QStringLiteral("1")});
        QVERIFY2(server.start(), qPrintable(server.error()));
        QtFtpClient other(2000);
        const FtpHandle held =
            other.connect(other.open(QStringLiteral("t")), server.host(), 21, server.user(), server.password(), true);
        QVERIFY(held);
        QtFtpClient ftp(2000);
        ftp.setRetryPolicy(RetryPolicy(60, [] { return 0.99; }));
        PanelRun run(server, ftp);
        Form1& f = *run.form;
        // Escape in a wait of several seconds (the fourth), which then ends at once.
        QElapsedTimer sinceEscape;
        QObject::connect(control<QTimer>(f, "Timer1"), &QTimer::timeout, [&] {
            static const QRegularExpression wait(QStringLiteral("^Serveur occupé, nouvel essai dans (\\d+) s"));
            const QRegularExpressionMatch m = wait.match(control<QLabel>(f, "LDI")->text());
            if (m.hasMatch() && m.captured(1).toInt() >= 5 && !sinceEscape.isValid()) {
                sinceEscape.start();
                QTest::keyClick(&f, Qt::Key_Escape);
            }
        });
        // The case's own bound: the wait runs inside the window's event handling, where no QTRY can
        // look. Escape not heard within 15 s, the wait is ended from here and the case fails saying
        // so, instead of holding until ctest stops the program.
        bool escapeUnheard = false;
        QTimer bound;
        bound.setSingleShot(true);
        QObject::connect(&bound, &QTimer::timeout, [&] {
            escapeUnheard = true;
            ftp.cancelRetryWait();
        });
        bound.start(15000);
        QElapsedTimer clock;
        clock.start();
        f.show();
        // The window waits for the operator after a failed login; its run log says what happened.
        const auto runLog = [&run] {
            QFile file(QDir(run.app.path()).filePath(QStringLiteral("VORN_UPDATE_VERSION.log")));
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        };
        QTRY_VERIFY_WITH_TIMEOUT(runLog().contains(QStringLiteral("Attente interrompue (Échap)")) &&
                                     !control<QLabel>(f, "LDI")->text().startsWith(QStringLiteral("Serveur occupé")),
                                 30000);
        QVERIFY2(!escapeUnheard, "Échap n'a pas interrompu l'attente du serveur occupé en 15 s");
        QVERIFY2(sinceEscape.isValid() && sinceEscape.elapsed() < 2000,
                 qPrintable(QString::number(sinceEscape.elapsed())));
        QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(runLog().contains(QStringLiteral("Échec de la connexion au serveur")));
    }
};

QTEST_MAIN(TestWaitPanel)
#include "tst_waitpanel.moc"
