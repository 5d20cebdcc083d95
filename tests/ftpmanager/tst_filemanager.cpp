#include "common/Controls.h"
#include "common/FakeProcessControl.h"
#include "common/FtpTestServer.h"
#include "common/ModalAnswer.h"
#include "common/ScriptedDialogs.h"
#include "ftpmanager/SelectionConfirmation.h"
#include "ftpmanager/gui/DirListBox.h"
#include "ftpmanager/gui/DriveListBox.h"
#include "ftpmanager/gui/FileListBox.h"
#include "ftpsession/FtpConnection.h"
#include "ftpsession/RunLog.h"
#include "launcher/gui/Form1.h"
#include "login/OperatorContext.h"
#include "platform/ftp/QtFtpClient.h"

#include "platform/dialogs/QtDialogs.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace {

const QString DownloadSingular =
    QStringLiteral("Etes vous sur de vouloir transférer le fichier distant suivant vers le disque dur :");
const QString DownloadPlural =
    QStringLiteral("Etes vous sur de vouloir transférer les fichiers distant suivant vers le disque dur :");

// A connected file manager over a served tree: the version folder holds two files, the root a few
// folders to walk through.
struct Manager {
    Manager()
        : ftp(5000)
        , session(ftp)
    {}

    bool start()
    {
        return server.start() && server.put(QStringLiteral("www/DOWN/VERSIONVORN/a.txt"), "A\nA\n") &&
               server.put(QStringLiteral("www/DOWN/VERSIONVORN/b.txt"), "B") &&
               server.put(QStringLiteral("docs/guide.txt"), "guide") && server.makeDir(QStringLiteral("docs/2024")) &&
               server.makeDir(QStringLiteral("docs/2024/q1")) && server.makeDir(QStringLiteral("2024"));
    }

    Form1& connect()
    {
        open();
        control<QPushButton>(*window, "Command1")->click();
        return *window;
    }

    Form1& open()
    {
        Form1Context c(session, processes, dialogs, context);
        c.config.host = server.host();
        c.config.user = FtpTestServer::user();
        c.config.password = FtpTestServer::password();
        c.config.versionRoot = QStringLiteral("www");
        c.config.webspace = QStringLiteral("docs");
        c.appDir = local.path();
        c.managerMode = true;
        c.endProgram = [](int) {};
        window = std::make_unique<Form1>(std::move(c));
        return *window;
    }

    QStringList remote() const
    {
        QStringList out;
        for (int i = 0; i < control<QListWidget>(*window, "List1")->count(); ++i)
            out << control<QListWidget>(*window, "List1")->item(i)->text();
        out.sort();
        return out;
    }

    void select(QListWidget* list, const QStringList& names) const
    {
        list->clearSelection();
        for (const QString& n : names) {
            const auto items = list->findItems(n, Qt::MatchExactly);
            QVERIFY2(!items.isEmpty(), qPrintable(n));
            items.first()->setSelected(true);
            list->setCurrentItem(items.first(), QItemSelectionModel::Select);
        }
    }

    void doubleClick(const QString& line) const
    {
        QListWidget* list = control<QListWidget>(*window, "List1");
        const auto items = list->findItems(line, Qt::MatchExactly);
        QVERIFY2(!items.isEmpty(), qPrintable(line));
        list->setCurrentItem(items.first());
        emit list->itemDoubleClicked(items.first());
    }

    // The selected lines, each after a line feed, in the order the list shows them.
    static QString selectedInOrder(const QListWidget* list)
    {
        QString out;
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->isSelected())
                out += QLatin1Char('\n') + list->item(i)->text();
        return out;
    }

    QString lastLogLine() const { return session.log().section(QLatin1Char('\n'), -1); }

    FtpTestServer server;
    QtFtpClient ftp;
    FtpConnection session;
    FakeProcessControl processes;
    ScriptedDialogs dialogs;
    OperatorContext context;
    QTemporaryDir local;
    std::unique_ptr<Form1> window;
};

QByteArray readLocal(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestFileManager : public QObject {
    Q_OBJECT

private slots:
    void confirmationTexts()
    {
        const QStringList two{QStringLiteral("../"), QStringLiteral("a.txt")};
        QCOMPARE(SelectionConfirmation::question(2, QStringLiteral("S"), QStringLiteral("P")), QStringLiteral("S"));
        QCOMPARE(SelectionConfirmation::question(3, QStringLiteral("S"), QStringLiteral("P")), QStringLiteral("P"));
        QCOMPARE(SelectionConfirmation::nameList(two, {1}), QStringLiteral("\na.txt"));
        QCOMPARE(SelectionConfirmation::nameList(two, {1, 0}), QStringLiteral("\n../\na.txt"));
        QCOMPARE(SelectionConfirmation::nameList(two, {}), QString());
    }

    // The real message box: French buttons, and 2,000 names that leave them on the screen.
    void longFrenchConfirmation()
    {
        QVERIFY(QtDialogs::installFrenchTranslations(nullptr));
        QStringList names;
        QList<int> rows;
        for (int i = 0; i < 2000; ++i) {
            names << QStringLiteral("fichier-%1.txt").arg(i);
            rows << i;
        }
        ModalAnswer answer(
            [](QWidget* box) {
                const auto* bar = box->findChild<QDialogButtonBox*>();
                const auto answer = qScopeGuard([bar] { bar->button(QDialogButtonBox::No)->click(); });
                QVERIFY(box->height() <= box->screen()->availableGeometry().height());
                QVERIFY(box->rect().contains(QRect(bar->mapTo(box, QPoint()), bar->size())));
                const auto* lines = box->findChild<QPlainTextEdit*>();
                QVERIFY(lines && lines->isVisible() && lines->verticalScrollBar()->maximum() > 0);
                QCOMPARE(lines->document()->blockCount(), 2000);
                QVERIFY(lines->height() > 10 * lines->fontMetrics().lineSpacing()); // readable
                QCOMPARE(bar->buttons().size(), 2);
                QCOMPARE(bar->button(QDialogButtonBox::Yes)->text(), QStringLiteral("&Oui"));
                QCOMPARE(bar->button(QDialogButtonBox::No)->text(), QStringLiteral("&Non"));
            },
            100);
        QtDialogs dialogs;
        QString list;
        QCOMPARE(SelectionConfirmation::ask(dialogs, names, rows, "un", "Etes vous sur ?", list), int(AnswerNo));
        QVERIFY2(answer.failure().isEmpty(), qPrintable(answer.failure()));
    }

    // The keyboard alone, on a window that fits its screen (at 100 % and 200 %): Enter presses
    // "Connexion" and opens the focused line; the frame keeps its place when "Déconnexion" takes
    // over; the log is scrolled into view; the close box ends the run log with its result.
    void keyboardAndClose()
    {
        Manager m;
        QVERIFY(m.start());
        Form1& f = m.open();
        f.show();
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        QCoreApplication::processEvents();
        QVERIFY(f.screen()->availableGeometry().contains(f.geometry()));
        // The disabled delete button is far fainter than the enabled one.
        const auto ink = [&f](QIcon::Mode mode) {
            const QImage im = control<QToolButton>(f, "Command2")
                                  ->icon()
                                  .pixmap(24, mode)
                                  .toImage()
                                  .convertToFormat(QImage::Format_ARGB32);
            qint64 sum = 0;
            for (int i = 0; i < im.width() * im.height(); ++i)
                sum += qAlpha(im.pixel(i % im.width(), i / im.width())) *
                       (255 - qGray(im.pixel(i % im.width(), i / im.width())));
            return sum;
        };
        QVERIFY(ink(QIcon::Disabled) * 2 < ink(QIcon::Normal));
        QWidget* body = control<QWidget>(f, "Frame3")->parentWidget();
        const QPoint typesAt = control<QWidget>(f, "Frame7")->mapTo(body, QPoint());
        control<QPushButton>(f, "Command1")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(control<QPushButton>(f, "Command3")->isVisible() && control<QToolButton>(f, "Command2")->isEnabled());
        QCoreApplication::processEvents();
        QCOMPARE(control<QWidget>(f, "Frame7")->mapTo(body, QPoint()), typesAt);

        control<QListWidget>(f, "List1")->setFocus();
        control<QListWidget>(f, "List1")->setCurrentRow(0); // "../"
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
        QVERIFY(m.session.targetDirectory() == QStringLiteral("/") && m.remote().contains(QStringLiteral("docs")));

        control<QPlainTextEdit>(f, "Text1")->setFocus();
        QCoreApplication::processEvents();
        const QWidget* view = f.findChild<QScrollArea*>()->viewport();
        QVERIFY(view->rect().contains(QRect(control<QPlainTextEdit>(f, "Text1")->mapTo(view, QPoint()),
                                            control<QPlainTextEdit>(f, "Text1")->size())));
        f.close();
        QFile log(QDir(m.local.path()).filePath(RunLog::fileName()));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString last = QString::fromUtf8(log.readAll()).trimmed().section(QLatin1Char('\n'), -1);
        QVERIFY2(last.contains(QStringLiteral("Résultat : gestionnaire de fichiers fermé")), qPrintable(last));
    }

    // A real confirmation over a window not yet active: centred on it unless that leaves the
    // screen, as wide as its title, its sentence one paragraph above the list of names.
    void confirmationBoxShape()
    {
        QWidget owner;
        const QRect screen = owner.screen()->availableGeometry();
        owner.setGeometry(screen.x() + 20, screen.y() + 20, screen.width() / 2, screen.height() / 2);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        QApplication::setActiveWindow(nullptr);
        ModalAnswer answer(
            [&owner, screen](QWidget* window) {
                auto* box = qobject_cast<QMessageBox*>(window);
                QVERIFY(box);
                const auto no = qScopeGuard([box] { box->button(QMessageBox::No)->click(); });
                QFont bold = QApplication::font("QMdiSubWindowTitleBar");
                bold.setBold(true);
                QVERIFY(box->width() >= QFontMetrics(bold).horizontalAdvance(box->windowTitle()));
                const QRect at = box->frameGeometry();
                const QPoint off = at.center() - owner.frameGeometry().center();
                QVERIFY(screen.contains(at) && (qAbs(off.x()) <= 2 || at.left() == screen.left()) &&
                        (qAbs(off.y()) <= 2 || at.top() == screen.top()));
                const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
                QVERIFY(label->text() == DownloadSingular && label->height() < 2 * label->fontMetrics().lineSpacing());
                QCOMPARE(box->findChild<QPlainTextEdit*>()->toPlainText(), QStringLiteral("a.txt"));
            },
            100);
        MessageRequest r;
        r.text = DownloadSingular + QStringLiteral("\na.txt");
        r.title = QStringLiteral("VORN_UPDATE_VERSION - TRANSFERT DES FICHIERS DISTANTS SÉLECTIONNÉS");
        r.buttons = DialogButtons::YesNo;
        QtDialogs dialogs;
        QCOMPARE(dialogs.message(r), int(AnswerNo));
        QVERIFY2(answer.failure().isEmpty(), qPrintable(answer.failure()));
    }

    void navigation()
    {
        Manager m;
        QVERIFY2(m.start(), qPrintable(m.server.error()));
        Form1& f = m.connect();
        QCOMPARE(m.remote(), (QStringList{QStringLiteral("../"), QStringLiteral("a.txt"), QStringLiteral("b.txt")}));

        // "../" returns to the login folder however deep we are.
        m.doubleClick(QStringLiteral("../"));
        QCOMPARE(m.session.targetDirectory(), QStringLiteral("/"));
        QVERIFY(m.remote().contains(QStringLiteral("docs")));

        // From the root, the first (absolute) request enters the folder.
        m.doubleClick(QStringLiteral("docs"));
        QCOMPARE(m.session.targetDirectory(), QStringLiteral("/docs"));
        QVERIFY(m.lastLogLine().startsWith(QLatin1String("250")));

        // One level down, "/2024" exists at the root too: the root folder wins.
        m.doubleClick(QStringLiteral("2024"));
        QCOMPARE(m.session.targetDirectory(), QStringLiteral("/2024"));
        QCOMPARE(m.remote(), QStringList{QStringLiteral("../")});

        // Without a root twin, the second (relative) request enters the sub-folder.
        m.doubleClick(QStringLiteral("../"));
        m.doubleClick(QStringLiteral("www"));
        m.doubleClick(QStringLiteral("DOWN"));
        QCOMPARE(m.session.targetDirectory(), QStringLiteral("DOWN"));
        QCOMPARE(m.remote(), (QStringList{QStringLiteral("../"), QStringLiteral("VERSIONVORN")}));
        m.doubleClick(QStringLiteral("VERSIONVORN"));

        // A file: both requests refused, only the second refusal logged, same listing again.
        const int logLines = static_cast<int>(m.session.log().count(QLatin1Char('\n')));
        m.doubleClick(QStringLiteral("a.txt"));
        QCOMPARE(m.session.targetDirectory(), QStringLiteral("a.txt"));
        QCOMPARE(m.session.log().count(QLatin1Char('\n')), logLines + 1);
        QVERIFY(m.lastLogLine().startsWith(QLatin1String("550")));
        QCOMPARE(m.remote(), (QStringList{QStringLiteral("../"), QStringLiteral("a.txt"), QStringLiteral("b.txt")}));

        // Two levels below the login folder, "../" goes straight back to it.
        m.doubleClick(QStringLiteral("../"));
        QCOMPARE(m.session.targetDirectory(), QStringLiteral("/"));

        // The web-space button.
        control<QPushButton>(f, "Command7")->click();
        QCOMPARE(m.session.targetDirectory(), QStringLiteral("/docs"));
        QVERIFY(m.remote().contains(QStringLiteral("guide.txt")));

        // Disconnected, the button leaves only the parent line.
        control<QPushButton>(f, "Command3")->click();
        control<QPushButton>(f, "Command7")->click();
        QCOMPARE(m.remote(), QStringList{QStringLiteral("../")});
    }

    void downloadAskFirstThenFetch()
    {
        Manager m;
        QVERIFY(m.start());
        Form1& f = m.connect();
        const QString folder = control<FileListBox>(f, "File1")->path();

        // Three lines in the list, one selected: the plural question with one name.
        m.select(control<QListWidget>(f, "List1"), {QStringLiteral("a.txt")});
        m.dialogs.answerNext(AnswerNo);
        control<QToolButton>(f, "Command4")->click();
        QCOMPARE(m.dialogs.texts().last(), DownloadPlural + QStringLiteral("\na.txt"));
        QCOMPARE(m.dialogs.shown().last().request.buttons, DialogButtons::YesNo);
        QVERIFY(!QFile::exists(folder + QStringLiteral("/a.txt")));
        QCOMPARE(control<QTimer>(f, "Timer1")->interval(), 400);

        // Yes: the file is written, in ASCII with the network's line ends; an old copy is replaced.
        QFile old(folder + QStringLiteral("/b.txt"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        element<QRadioButton>(f, "Option1", 1)->click();
        m.select(control<QListWidget>(f, "List1"),
                 {QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("../")});
        m.dialogs.answerNext(AnswerYes);
        control<QToolButton>(f, "Command4")->click();
        QCOMPARE(m.selectedInOrder(control<QListWidget>(f, "List1")).size(),
                 QStringLiteral("\n../\na.txt\nb.txt").size());
        QCOMPARE(m.dialogs.texts().last(), DownloadPlural + m.selectedInOrder(control<QListWidget>(f, "List1")));
        QCOMPARE(readLocal(folder + QStringLiteral("/a.txt")), QByteArray("A\r\nA\r\n"));
        QCOMPARE(readLocal(folder + QStringLiteral("/b.txt")), QByteArray("B"));
        QVERIFY(control<FileListBox>(f, "File1")->names().contains(QStringLiteral("a.txt"))); // refreshed
        QVERIFY(m.session.log().contains(QStringLiteral("\n550 "))); // "../" refused by the server

        element<QRadioButton>(f, "Option1", 0)->click();
        m.select(control<QListWidget>(f, "List1"), {QStringLiteral("a.txt")});
        m.dialogs.answerNext(AnswerYes);
        control<QToolButton>(f, "Command4")->click();
        QCOMPARE(readLocal(folder + QStringLiteral("/a.txt")), QByteArray("A\nA\n"));

        // Nothing selected: the question has no names; yes transfers nothing.
        control<QListWidget>(f, "List1")->clearSelection();
        m.dialogs.answerNext(AnswerYes);
        control<QToolButton>(f, "Command4")->click();
        QCOMPARE(m.dialogs.texts().last(), DownloadPlural);
    }

    void downloadSingularAndUnsafeNames()
    {
        Manager m;
        QVERIFY(m.start());
        QVERIFY(m.server.put(QStringLiteral("solo/..\\x.txt"), "x"));
        Form1& f = m.connect();
        m.doubleClick(QStringLiteral("../"));
        m.doubleClick(QStringLiteral("solo"));
        QCOMPARE(control<QListWidget>(f, "List1")->count(), 2);
        m.select(control<QListWidget>(f, "List1"), {QStringLiteral("..\\x.txt")});
        m.dialogs.answerNext(AnswerYes);
        control<QToolButton>(f, "Command4")->click();
        QCOMPARE(m.dialogs.texts().last(), DownloadSingular + QStringLiteral("\n..\\x.txt"));
        QVERIFY(m.lastLogLine().contains(QStringLiteral("refusé")));
        QCOMPARE(QDir(control<FileListBox>(f, "File1")->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("VORN_UPDATE_VERSION.log")}); // the run's trace only
    }

    void upload()
    {
        Manager m;
        QVERIFY(m.start());
        Form1& f = m.connect();
        const QString folder = control<FileListBox>(f, "File1")->path();

        // No current file: no question at all.
        control<QToolButton>(f, "Command5")->click();
        QVERIFY(m.dialogs.shown().isEmpty());
        QCOMPARE(control<QTimer>(f, "Timer1")->interval(), 400);

        for (const char* name : {"up1.txt", "up2.txt", "locked.txt"}) {
            QFile file(folder + QLatin1Char('/') + QLatin1String(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(name);
        }
        control<FileListBox>(f, "File1")->refresh();
        m.select(control<FileListBox>(f, "File1"),
                 {QStringLiteral("up1.txt"), QStringLiteral("locked.txt"), QStringLiteral("up2.txt")});
        // A file that disappears before it is sent: reported, and the others still go.
        QFile::remove(folder + QStringLiteral("/locked.txt"));
        m.dialogs.answerNext(AnswerYes);
        control<QToolButton>(f, "Command5")->click();
        QCOMPARE(
            m.dialogs.texts().first(),
            QStringLiteral("Etes vous sur de vouloir transférer les fichiers locaux suivant vers le site distant :") +
                m.selectedInOrder(control<FileListBox>(f, "File1")));
        QCOMPARE(m.dialogs.shown().size(), 2);
        QVERIFY(m.dialogs.texts()[1].contains(QStringLiteral("locked.txt")));
        QCOMPARE(m.dialogs.shown()[1].request.icon, DialogIcon::Exclamation);
        QCOMPARE(m.server.read(QStringLiteral("www/DOWN/VERSIONVORN/up1.txt")), QByteArray("up1.txt"));
        QCOMPARE(m.server.read(QStringLiteral("www/DOWN/VERSIONVORN/up2.txt")), QByteArray("up2.txt"));
        QVERIFY(m.remote().contains(QStringLiteral("up2.txt"))); // listing refreshed
    }

    void deleteAndCreateFolders()
    {
        Manager m;
        QVERIFY(m.start());
        QVERIFY(m.server.makeDir(QStringLiteral("www/DOWN/VERSIONVORN/empty")));
        QVERIFY(m.server.put(QStringLiteral("www/DOWN/VERSIONVORN/full/inner.txt"), "i"));
        Form1& f = m.connect();

        // No current line: no question.
        control<QListWidget>(f, "List1")->setCurrentItem(nullptr);
        control<QToolButton>(f, "Command2")->click();
        QVERIFY(m.dialogs.shown().isEmpty());

        // Answer no: nothing sent, list unchanged.
        m.select(control<QListWidget>(f, "List1"), {QStringLiteral("a.txt")});
        m.dialogs.answerNext(AnswerNo);
        const QString logBefore = m.session.log();
        control<QToolButton>(f, "Command2")->click();
        QCOMPARE(m.session.log(), logBefore);
        QVERIFY(m.server.exists(QStringLiteral("www/DOWN/VERSIONVORN/a.txt")));

        // A file, an empty folder and a full folder: one log line each, the last refusal only.
        m.select(control<QListWidget>(f, "List1"),
                 {QStringLiteral("a.txt"), QStringLiteral("empty"), QStringLiteral("full")});
        const QString names = m.selectedInOrder(control<QListWidget>(f, "List1"));
        const int linesBefore = static_cast<int>(m.session.log().count(QLatin1Char('\n')));
        m.dialogs.answerNext(AnswerYes);
        control<QToolButton>(f, "Command2")->click();
        QCOMPARE(m.dialogs.texts().last(),
                 QStringLiteral("Etes vous sur de vouloir supprimer les fichiers ou répertoires distant suivant :") +
                     names);
        QCOMPARE(m.session.log().count(QLatin1Char('\n')), linesBefore + 3);
        const QStringList tail = m.session.log().split(QLatin1Char('\n')).mid(linesBefore + 1);
        QCOMPARE(tail.filter(QRegularExpression(QStringLiteral("^250 "))).size(), 2);
        QCOMPARE(tail.filter(QRegularExpression(QStringLiteral("^550 "))).size(), 1); // the full folder's removal
        QVERIFY(!m.server.exists(QStringLiteral("www/DOWN/VERSIONVORN/a.txt")));
        QVERIFY(!m.server.exists(QStringLiteral("www/DOWN/VERSIONVORN/empty")));
        QVERIFY(m.server.exists(QStringLiteral("www/DOWN/VERSIONVORN/full/inner.txt")));
        QCOMPARE(m.remote(), (QStringList{QStringLiteral("../"), QStringLiteral("b.txt"), QStringLiteral("full")}));

        // Create: cancelled sends nothing; an existing name is refused and logged.
        const QString logNow = m.session.log();
        control<QToolButton>(f, "Command6")->click(); // nothing typed: the scripted box is cancelled
        QCOMPARE(m.dialogs.texts().last(), QStringLiteral("Veuillez entrer le nom du nouveau répertoire :"));
        QCOMPARE(m.dialogs.shown().last().request.title, QStringLiteral("Nouveau répertoire"));
        QCOMPARE(m.session.log(), logNow);
        m.dialogs.typeNext(QStringLiteral("nouveau dossier"));
        control<QToolButton>(f, "Command6")->click();
        QVERIFY(m.server.exists(QStringLiteral("www/DOWN/VERSIONVORN/nouveau dossier")));
        QVERIFY(m.remote().contains(QStringLiteral("nouveau dossier")));
        m.dialogs.typeNext(QStringLiteral("full"));
        control<QToolButton>(f, "Command6")->click();
        QVERIFY(m.lastLogLine().startsWith(QLatin1String("550")));
    }

    void localBrowser()
    {
        Manager m;
        QVERIFY(m.start());
        Form1& f = m.connect();
        QDir(m.local.path()).mkdir(QStringLiteral("sous-dossier"));
        QFile inner(m.local.filePath(QStringLiteral("sous-dossier/.cache")));
        QVERIFY(inner.open(QIODevice::WriteOnly));
        inner.close();

        QVERIFY(control<DirListBox>(f, "Dir1")->setPath(m.local.filePath(QStringLiteral("sous-dossier"))));
        QCOMPARE(control<FileListBox>(f, "File1")->path(),
                 QDir(m.local.filePath(QStringLiteral("sous-dossier"))).absolutePath());
        QCOMPARE(control<FileListBox>(f, "File1")->names(),
                 QStringList{QStringLiteral(".cache")}); // every file, hidden ones too
        QCOMPARE(control<FileListBox>(f, "File1")->selectionMode(), QAbstractItemView::ExtendedSelection);

        // A volume that cannot be read: the message, and the list back on the listed folder's volume.
        const int before = control<DriveListBox>(f, "Drive1")->currentIndex();
        control<DriveListBox>(f, "Drive1")
            ->addItem(QStringLiteral("/media/cdrom [Vide]"), QStringLiteral("/media/absent-volume"));
        control<DriveListBox>(f, "Drive1")->setCurrentIndex(control<DriveListBox>(f, "Drive1")->count() - 1);
        emit control<DriveListBox>(f, "Drive1")->activated(control<DriveListBox>(f, "Drive1")->currentIndex());
        QCOMPARE(m.dialogs.texts().last(), QStringLiteral("Lecteur /MEDIA/CDROM [VIDE] inaccessible"));
        QCOMPARE(m.dialogs.shown().last().request.title, QStringLiteral("Erreur"));
        QCOMPARE(m.dialogs.shown().last().request.icon, DialogIcon::Critical);
        QCOMPARE(control<DriveListBox>(f, "Drive1")->currentIndex(), before);
        QCOMPARE(control<FileListBox>(f, "File1")->path(),
                 QDir(m.local.filePath(QStringLiteral("sous-dossier"))).absolutePath());
    }
};

QTEST_MAIN(TestFileManager)
#include "tst_filemanager.moc"
