#include "common/FakeProcessControl.h"
#include "common/ScriptedDialogs.h"
#include "ftpmanager/DirListBox.h"
#include "ftpmanager/FileListBox.h"
#include "launcher/Form1.h"
#include "login/FPLASH.h"
#include "platform/QtFtpClient.h"
#include "profiles/Form2.h"
#include "profiles/Form3.h"
#include "profiles/ProfileFile.h"

#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>

namespace {

// The keyboard's and the screen's view of the windows, without a server behind them.
struct Windows {
    Windows()
        : ftp(1000)
        , profiles(app.path())
    {
        Form1Context c(ftp, processes, dialogs, operatorContext);
        c.appDir = app.path();
        c.managerMode = true;
        main = std::make_unique<Form1>(std::move(c));
        profiles.EcrireFin(QStringLiteral("\\Profil.ini"), QStringLiteral("$h¤l£p|Nordµ"));
        profiles.EcrireFin(QStringLiteral("\\Profil.ini"), LongName.arg(QStringLiteral("$h¤l£p|")) + u'µ');
        profiles.Lire(QStringLiteral("\\Profil.ini"));
    }
    static inline const QString LongName =
        QStringLiteral("%1Un nom bien plus long que la place que la liste peut lui donner, même en plein écran");

    QTemporaryDir app;
    QtFtpClient ftp;
    FakeProcessControl processes;
    ScriptedDialogs dialogs;
    OperatorContext operatorContext;
    ProfileFile profiles;
    std::unique_ptr<Form1> main;
};

// Where Tab stops, in order, read from the window's focus chain.
QStringList tabStops(QWidget* window)
{
    QStringList names;
    for (QWidget* w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(window))
            names << w->objectName();
    return names;
}

} // namespace

class TestWindowErgonomics : public QObject {
    Q_OBJECT

private slots:
    void tabFollowsTheScreen()
    {
        Windows w;
        Form2 list(w.profiles, w.dialogs, {});
        Form3 editor(w.profiles, w.dialogs, *list.List1);
        FPLASH splash(w.operatorContext, w.dialogs, w.app.path(), QVersionNumber(1, 0, 0), [] {});
        const QString B = QStringLiteral("Option1");
        const QList<std::pair<QWidget*, QStringList>> windows{
            {w.main.get(),
             {"Text4", "Text2", "Text3", "Command1", B, B, B, "CommandProfils", "List1", "Command4", "Command2",
              "Command6", "Command7", "Drive1", "Dir1", "File1", "Command5", "Text1"}},
            {&splash, {"TLOGIN", "TPW", "COK", "CNON"}},
            {&list, {"List1", "Command1", "Command3", "Command2"}},
            {&editor, {"Text1", "Text2", "Text3", "Text4", "Text5", "Command1", "Command2"}}};
        for (const auto& [window, stops] : windows) {
            QCOMPARE(tabStops(window), stops);
            QVERIFY2(!window->windowIcon().isNull(), qPrintable(window->objectName()));
        }
        QVERIFY(QApplication::windowIcon().isNull()); // the windows' own, not inherited

        // Every password box masks with "*".
        for (QLineEdit* box : {w.main->Text3, editor.Text3, splash.findChild<QLineEdit*>(QStringLiteral("TPW"))}) {
            box->setText(QStringLiteral("abc"));
            QCOMPARE(box->displayText(), QStringLiteral("***"));
        }
    }

    void longNamesElidedWithFullTooltip()
    {
        Windows w;
        QDir(w.app.path()).mkdir(Windows::LongName.arg(QString()));
        QFile(QDir(w.app.path()).filePath(Windows::LongName.arg(QString()) + ".txt")).open(QIODevice::WriteOnly);
        Form1& f = *w.main;
        f.Dir1->refresh();
        f.File1->refresh();
        f.List1->addItems({QStringLiteral("../"), Windows::LongName.arg(QString()) + ".zip"});
        Form2 list(w.profiles, w.dialogs, {});
        f.show();
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));

        for (QListWidget* view : std::initializer_list<QListWidget*>{f.List1, f.File1, f.Dir1, list.List1}) {
            QListWidgetItem* longest = view->findItems(QStringLiteral("plein écran"), Qt::MatchContains).value(0);
            QVERIFY(longest);
            const QRect line = view->visualItemRect(longest);
            QVERIFY2(line.right() <= view->viewport()->width(), qPrintable(view->objectName()));
            QCOMPARE(view->horizontalScrollBar()->maximum(), 0);

            auto tipAt = [view](const QRect& r) {
                QHelpEvent tip(QEvent::ToolTip, r.center(), view->viewport()->mapToGlobal(r.center()));
                QApplication::sendEvent(view->viewport(), &tip);
                return QToolTip::text();
            };
            QCOMPARE(tipAt(line), longest->text());
            // A line that fits keeps the list's own tooltip.
            if (!view->toolTip().isEmpty())
                QCOMPARE(tipAt(view->visualItemRect(view->item(0))), view->toolTip());
            QToolTip::hideText();
        }
    }

    void managerFitsA1280By720Screen()
    {
        Windows w;
        const QSize least = w.main->minimumSizeHint();
        QVERIFY2(least.width() <= 1280 && least.height() <= 720 - 48, // room left for a title bar
                 qPrintable(QStringLiteral("%1x%2").arg(least.width()).arg(least.height())));
        QVERIFY(w.main->width() >= least.width() && w.main->height() >= least.height());
    }

    // Run again by CTest at 200 %.
    void drawnPicturesFollowThePixelRatio()
    {
        Windows w;
        const QList<std::pair<const QLabel*, QSize>> pictures{
            {w.main->Image2, {80, 80}}, {w.main->Image1, {32, 32}}, {w.main->Picture1[3], {32, 32}}};
        for (const auto& [picture, size] : pictures) {
            QCOMPARE(picture->pixmap().devicePixelRatio(), qApp->devicePixelRatio());
            QCOMPARE(picture->pixmap().deviceIndependentSize().toSize(), size);
        }
    }
};

QTEST_MAIN(TestWindowErgonomics)
#include "tst_windowergonomics.moc"
