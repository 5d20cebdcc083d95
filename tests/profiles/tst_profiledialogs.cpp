#include "common/Controls.h"
#include "common/ModalAnswer.h"
#include "common/ScriptedDialogs.h"
#include "common/TabStops.h"
#include "platform/text/Windows1252.h"
#include "profiles/ProfileFile.h"
#include "profiles/ProfileLine.h"
#include "profiles/gui/Form2.h"
#include "profiles/gui/Form3.h"
#include "profiles/gui/ProfileDialogs.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolTip>
#include <QtTest>

namespace {

const QString Profil = QStringLiteral("\\Profil.ini");
const QByteArray NordBytes = "$192.0.2.15\xA4operateur\xA3s3cret|Depot Nord\xB5";
const QByteArray SiegeBytes = "$ftp.example.org\xA4vorn\xA3Q7\xE9|Si\xE8ge\xB5";
const QString ServerMessage = QStringLiteral("L'adresse du serveur n'est pas valide.\n"
                                             "Elle doit être de la forme «www.serveur.com» ou\n"
                                             "l'adresse IP du serveur.");

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QStringList texts(const QListWidget& list)
{
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out << list.item(i)->text();
    return out;
}

void select(QListWidget& list, const QString& text)
{
    const QList<QListWidgetItem*> found = list.findItems(text, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(text));
    list.setCurrentItem(found.first());
    QVERIFY(found.first()->isSelected());
}

QString separator(const QString& c)
{
    return "Le caractère « " + c + " » ne peut pas être utilisé : il sépare les champs du fichier des profils.";
}

void fill(Form3& editor, const QString& server, const QString& login, const QString& password,
          const QString& confirmation, const QString& name)
{
    control<QLineEdit>(editor, "Text1")->setText(server);
    control<QLineEdit>(editor, "Text2")->setText(login);
    control<QLineEdit>(editor, "Text3")->setText(password);
    control<QLineEdit>(editor, "Text4")->setText(confirmation);
    control<QLineEdit>(editor, "Text5")->setText(name);
}

} // namespace

class TestProfileDialogs : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ProfileFile> m_profiles;
    ScriptedDialogs m_dialogs;

    QString path() const { return m_dir->filePath(QStringLiteral("Profil.ini")); }

    // The main window's open procedure, without the modal wait.
    std::unique_ptr<Form2> openList(ProfileActivation activate = {})
    {
        m_profiles->Lire(Profil);
        auto form = std::make_unique<Form2>(*m_profiles, m_dialogs, std::move(activate));
        form->show();
        return form;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_profiles = std::make_unique<ProfileFile>(m_dir->path());
        m_dialogs.clear();
        writeBytes(path(), NordBytes + "\r\n\r\n" + SiegeBytes + "\r\n");
    }

    void listDialog()
    {
        auto form = openList();
        QCOMPARE(form->objectName(), QStringLiteral("Form2"));
        QCOMPARE(form->windowTitle(), QStringLiteral("Profil FTP"));
        QVERIFY(form->isModal());
        QCOMPARE(control<QGroupBox>(*form, "Frame1")->title(), QStringLiteral("Liste des profils"));
        QCOMPARE(control<QListWidget>(*form, "List1")->toolTip(),
                 QStringLiteral("Double Click pour activer un profil"));
        QCOMPARE(control<QGroupBox>(*form, "Frame2")->title(), QString());
        QCOMPARE(control<QPushButton>(*form, "Command1")->text(), QStringLiteral("&Nouveau"));
        QCOMPARE(control<QPushButton>(*form, "Command3")->text(), QStringLiteral("&Modifier"));
        QCOMPARE(control<QPushButton>(*form, "Command2")->text(), QStringLiteral("&Supprimer"));
        QVERIFY(!control<QLabel>(*form, "Picture1")->pixmap().isNull());
        for (const char* name : {"Frame1", "List1", "Frame2", "Command1", "Command3", "Command2", "Picture1"})
            QVERIFY2(form->findChild<QWidget*>(QLatin1String(name)), name);
        QCOMPARE(tabStops(form.get()), (QStringList{"List1", "Command1", "Command3", "Command2"}));

        // Filled from the file when it opens, one entry per profile, blank lines skipped.
        QCOMPARE(texts(*control<QListWidget>(*form, "List1")),
                 QStringList({QStringLiteral("Depot Nord"), QStringLiteral("Siège")}));
        QCOMPARE(Form2::lineOf(*control<QListWidget>(*form, "List1")->item(1)), Windows1252::decode(SiegeBytes));

        // Modify and delete need a chosen profile.
        QVERIFY(!control<QPushButton>(*form, "Command3")->isEnabled());
        QVERIFY(!control<QPushButton>(*form, "Command2")->isEnabled());
        select(*control<QListWidget>(*form, "List1"), QStringLiteral("Siège"));
        QVERIFY(control<QPushButton>(*form, "Command3")->isEnabled());
        QVERIFY(control<QPushButton>(*form, "Command2")->isEnabled());

        // A name too long for the list ends in "…" and shows in full as its tooltip; one that fits
        // keeps the list's own.
        const QString name = QStringLiteral("Dépôt dont le nom est bien plus long que la liste ne peut le montrer");
        Form2::addEntry(*control<QListWidget>(*form, "List1"), name, QString());
        auto tipAt = [lines = control<QListWidget>(*form, "List1")->viewport(), &form](int row) {
            const QPoint at = control<QListWidget>(*form, "List1")
                                  ->visualItemRect(control<QListWidget>(*form, "List1")->item(row))
                                  .center();
            QHelpEvent tip(QEvent::ToolTip, at, lines->mapToGlobal(at));
            QApplication::sendEvent(lines, &tip);
            return QToolTip::text();
        };
        QVERIFY(control<QListWidget>(*form, "List1")
                    ->visualItemRect(control<QListWidget>(*form, "List1")->item(2))
                    .right() <= control<QListWidget>(*form, "List1")->viewport()->width());
        QCOMPARE(tipAt(2), name);
        QCOMPARE(tipAt(0), control<QListWidget>(*form, "List1")->toolTip());
    }

    void editorDialog()
    {
        QListWidget list;
        Form3 editor(*m_profiles, m_dialogs, list);
        editor.show();
        QCOMPARE(editor.objectName(), QStringLiteral("Form3"));
        QVERIFY(editor.isModal());
        QCOMPARE(control<QGroupBox>(editor, "Frame2")->title(), QStringLiteral("Adresse du Serveur"));
        QCOMPARE(control<QGroupBox>(editor, "Frame3")->title(), QStringLiteral("Login"));
        QCOMPARE(control<QGroupBox>(editor, "Frame4")->title(), QStringLiteral("PassWord"));
        QCOMPARE(control<QLabel>(editor, "Label1")->text(), QStringLiteral("Mot de passe"));
        QCOMPARE(control<QLabel>(editor, "Label2")->text(), QStringLiteral("Confirmation du mot de passe"));
        QCOMPARE(control<QLabel>(editor, "Label3")->text(), QStringLiteral("Nom du profil"));
        QCOMPARE(control<QGroupBox>(editor, "Frame1")->title(), QString());
        QCOMPARE(control<QPushButton>(editor, "Command1")->text(), QStringLiteral("&Valider"));
        QCOMPARE(control<QPushButton>(editor, "Command2")->text(), QStringLiteral("&Annuler"));
        for (QLineEdit* box : {control<QLineEdit>(editor, "Text1"), control<QLineEdit>(editor, "Text2"),
                               control<QLineEdit>(editor, "Text3"), control<QLineEdit>(editor, "Text4"),
                               control<QLineEdit>(editor, "Text5")})
            QVERIFY(box->text().isEmpty());
        for (const char* name : {"Frame1", "Frame2", "Frame3", "Frame4", "Label1", "Label2", "Label3", "Text1", "Text2",
                                 "Text3", "Text4", "Text5", "Command1", "Command2"})
            QVERIFY2(editor.findChild<QWidget*>(QLatin1String(name)), name);
        QCOMPARE(control<QLineEdit>(editor, "Text5")->parentWidget(), control<QGroupBox>(editor, "Frame1"));
        QCOMPARE(tabStops(&editor), (QStringList{"Text1", "Text2", "Text3", "Text4", "Text5", "Command1", "Command2"}));

        // Passwords show as "*".
        control<QLineEdit>(editor, "Text3")->setText(QStringLiteral("abc"));
        QCOMPARE(control<QLineEdit>(editor, "Text3")->displayText(), QStringLiteral("***"));
        control<QLineEdit>(editor, "Text4")->setText(QStringLiteral("ab"));
        QCOMPARE(control<QLineEdit>(editor, "Text4")->displayText(), QStringLiteral("**"));

        // A character the file cannot hold cannot be typed.
        control<QLineEdit>(editor, "Text5")->clear();
        for (const QChar c : QStringLiteral("D\u0142\u00e9p\u20ac"))
            QTest::sendKeyEvent(QTest::Click, control<QLineEdit>(editor, "Text5"), Qt::Key_unknown, QString(c),
                                Qt::NoModifier);
        QCOMPARE(control<QLineEdit>(editor, "Text5")->text(), QStringLiteral("Dép€"));
    }

    void roundedOutline()
    {
        QListWidget list;
        Form3 editor(*m_profiles, m_dialogs, list);
        editor.show();
        QVERIFY(editor.windowFlags() & Qt::FramelessWindowHint);
        // Within its screen, buttons included, also at 200 % (the scaled run).
        QVERIFY(editor.height() <= editor.screen()->availableGeometry().height());
        QVERIFY(editor.rect().contains(QRect(control<QPushButton>(editor, "Command2")->mapTo(&editor, QPoint()),
                                             control<QPushButton>(editor, "Command2")->size())));

        auto check = [&](const QSize& size) {
            const QRegion mask = editor.mask();
            const int w = size.width();
            const int h = size.height();
            QCOMPARE(mask.boundingRect(), QRect(0, 0, w, h));
            for (const QPoint corner : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1),
                                        QPoint(2, 2), QPoint(w - 3, h - 3)})
                QVERIFY2(!mask.contains(corner), qPrintable(QStringLiteral("%1,%2").arg(corner.x()).arg(corner.y())));
            for (const QPoint inside : {QPoint(10, 0), QPoint(0, 10), QPoint(w / 2, h / 2), QPoint(w - 1, h / 2),
                                        QPoint(w / 2, h - 1), QPoint(10, 10), QPoint(w - 11, h - 11)})
                QVERIFY2(mask.contains(inside), qPrintable(QStringLiteral("%1,%2").arg(inside.x()).arg(inside.y())));
        };
        check(editor.size());
        editor.resize(editor.width() + 90, editor.height() + 40);
        QTRY_COMPARE(editor.mask().boundingRect().size(), editor.size());
        check(editor.size());
    }

    void editorChecksInOrder()
    {
        QListWidget list;
        Form2::addEntry(list, QStringLiteral("Depot Nord"), Windows1252::decode(NordBytes));
        Form3 editor(*m_profiles, m_dialogs, list);
        editor.show();
        const QByteArray before = readBytes(path());

        struct Step {
            const char* what;
            QString server, login, password, confirmation, name;
            QString message;
            DialogIcon icon;
            QLineEdit* focus;
        };
        const QList<Step> steps = {
            {"a name of spaces is invalid, never a duplicate", QString(), QString(), QString(), QString(),
             QStringLiteral("   "), QStringLiteral("Le nom du profil est invalide"), DialogIcon::Information,
             control<QLineEdit>(editor, "Text5")},
            {"the duplicate check comes before the server check", QString(), QString(), QString(), QString(),
             QStringLiteral("  Depot Nord "), QStringLiteral("Le nom du profil existe deja !!!"),
             DialogIcon::Exclamation, control<QLineEdit>(editor, "Text5")},
            {"an empty server (spaces only)", QStringLiteral("   "), QString(), QStringLiteral("a"),
             QStringLiteral("b"), QStringLiteral("Depot Sud"), ServerMessage, DialogIcon::Exclamation,
             control<QLineEdit>(editor, "Text1")},
            {"passwords differing by a trailing space", QStringLiteral("srv"), QString(), QStringLiteral("abc"),
             QStringLiteral("abc "), QStringLiteral("Depot Sud"), QStringLiteral("Le mot de passe est différent !"),
             DialogIcon::Exclamation, control<QLineEdit>(editor, "Text3")},
            // A separator in a value would cut its field when the line is read back.
            {"a | in the password", "srv", "", "ab|cd", "ab|cd", "Depot Sud", separator("|"), DialogIcon::Exclamation,
             control<QLineEdit>(editor, "Text3")},
            {"a £ in the login", "srv", "a£", "", "", "Depot Sud", separator("£"), DialogIcon::Exclamation,
             control<QLineEdit>(editor, "Text2")},
            {"a µ in the name", "srv", "", "", "", "Sud µ", separator("µ"), DialogIcon::Exclamation,
             control<QLineEdit>(editor, "Text5")},
            {"a line break in the server", "s\nrv", "", "", "", "Depot Sud",
             "Un profil ne peut pas contenir de saut de ligne.", DialogIcon::Exclamation,
             control<QLineEdit>(editor, "Text1")},
        };
        for (const Step& step : steps) {
            m_dialogs.clear();
            fill(editor, step.server, step.login, step.password, step.confirmation, step.name);
            control<QPushButton>(editor, "Command2")->setFocus(); // the refusal must move it
            control<QPushButton>(editor, "Command1")->click();
            QVERIFY2(m_dialogs.shown().size() == 1, step.what);
            const MessageRequest& shown = m_dialogs.shown().first().request;
            QCOMPARE(shown.text, step.message);
            QCOMPARE(shown.icon, step.icon);
            QCOMPARE(shown.buttons, DialogButtons::Ok);
            QCOMPARE(shown.title, QStringLiteral("VORN_UPDATE_VERSION"));
            QVERIFY2(editor.focusWidget() == step.focus, step.what);
            QVERIFY2(editor.isVisible(), step.what); // the editor stays open with its contents
            QCOMPARE(control<QLineEdit>(editor, "Text5")->text(), step.name);
            QCOMPARE(readBytes(path()), before);
            QCOMPARE(texts(list), QStringList({QStringLiteral("Depot Nord")}));
        }

        // Both passwords empty, an empty login, a name with spaces: accepted.
        m_dialogs.clear();
        fill(editor, QStringLiteral(" 10.1.2.3 "), QString(), QString(), QString(), QStringLiteral(" Dépôt Sud "));
        control<QPushButton>(editor, "Command1")->click();
        QVERIFY(m_dialogs.shown().isEmpty());
        QVERIFY(!editor.isVisible());
        QCOMPARE(editor.result(), int(QDialog::Accepted));
        QCOMPARE(readBytes(path()), before + "$10.1.2.3\xA4\xA3|D\xE9p\xF4t Sud\xB5\r\n");
        // Listed as typed; the next duplicate check compares against the list as it stands.
        QCOMPARE(texts(list), QStringList({QStringLiteral("Depot Nord"), QStringLiteral(" Dépôt Sud ")}));
        QCOMPARE(Form2::lineOf(*list.item(1)), QStringLiteral("$10.1.2.3¤£|Dépôt Sudµ"));

        Form3 next(*m_profiles, m_dialogs, list);
        fill(next, QStringLiteral("srv"), QString(), QString(), QString(), QStringLiteral("Dépôt Sud"));
        control<QPushButton>(next, "Command1")->click();
        QVERIFY(m_dialogs.shown().isEmpty());
        QCOMPARE(list.count(), 3); // " Dépôt Sud " is no duplicate of "Dépôt Sud"
    }

    void cancelWritesNothing()
    {
        QListWidget list;
        Form3 editor(*m_profiles, m_dialogs, list);
        editor.show();
        const QByteArray before = readBytes(path());
        fill(editor, QString(), QString(), QString(), QString(), QStringLiteral("X"));
        control<QPushButton>(editor, "Command1")->click(); // refused: no server
        QCOMPARE(m_dialogs.texts(), QStringList({ServerMessage}));
        control<QPushButton>(editor, "Command2")->click();
        QVERIFY(!editor.isVisible());
        QCOMPARE(editor.result(), int(QDialog::Rejected));
        QCOMPARE(readBytes(path()), before);
        QCOMPARE(list.count(), 0);
    }

    void newProfileFromTheList()
    {
        auto form = openList();
        form->setEditorRunner([](Form3& editor) {
            QCOMPARE(control<QPushButton>(editor, "Command1")->text(), QStringLiteral("&Valider"));
            fill(editor, QStringLiteral("ftp.nord.fr"), QStringLiteral("moi"), QStringLiteral("pw"),
                 QStringLiteral("pw"), QStringLiteral("Nord 2"));
            control<QPushButton>(editor, "Command1")->click();
        });
        control<QPushButton>(*form, "Command1")->click();
        QCOMPARE(readBytes(path()),
                 NordBytes + "\r\n\r\n" + SiegeBytes + "\r\n$ftp.nord.fr\xA4moi\xA3pw|Nord 2\xB5\r\n");
        QCOMPARE(texts(*control<QListWidget>(*form, "List1")),
                 QStringList({QStringLiteral("Depot Nord"), QStringLiteral("Siège"), QStringLiteral("Nord 2")}));

        // The new entry can be edited at once, though the table was not reloaded.
        select(*control<QListWidget>(*form, "List1"), QStringLiteral("Nord 2"));
        form->setEditorRunner([](Form3& editor) {
            QCOMPARE(editor.editedLine(), QStringLiteral("$ftp.nord.fr¤moi£pw|Nord 2µ"));
            control<QLineEdit>(editor, "Text2")->setText(QStringLiteral("lui"));
            control<QPushButton>(editor, "Command1")->click();
        });
        control<QPushButton>(*form, "Command3")->click();
        QCOMPARE(readBytes(path()),
                 NordBytes + "\r\n\r\n" + SiegeBytes + "\r\n$ftp.nord.fr\xA4lui\xA3pw|Nord 2\xB5\r\n");
    }

    void modifyFromTheList()
    {
        auto form = openList();
        select(*control<QListWidget>(*form, "List1"), QStringLiteral("Depot Nord"));
        bool ran = false;
        form->setEditorRunner([&](Form3& editor) {
            ran = true;
            QCOMPARE(control<QPushButton>(editor, "Command1")->text(), Form3::modifyModeCaption());
            QVERIFY(control<QPushButton>(editor, "Command1")->text() != QStringLiteral("&Valider"));
            QCOMPARE(control<QGroupBox>(editor, "Frame1")->title(), QStringLiteral("Depot Nord"));
            QCOMPARE(editor.editedLine(), Windows1252::decode(NordBytes));
            QCOMPARE(control<QLineEdit>(editor, "Text1")->text(), QStringLiteral("192.0.2.15"));
            QCOMPARE(control<QLineEdit>(editor, "Text2")->text(), QStringLiteral("operateur"));
            QCOMPARE(control<QLineEdit>(editor, "Text3")->text(), QStringLiteral("s3cret"));
            QCOMPARE(control<QLineEdit>(editor, "Text4")->text(), QStringLiteral("s3cret"));
            QCOMPARE(control<QLineEdit>(editor, "Text5")->text(), QStringLiteral("Depot Nord"));

            // A name already listed is no obstacle in modify mode.
            control<QLineEdit>(editor, "Text3")->setText(QStringLiteral("n€uf"));
            control<QLineEdit>(editor, "Text4")->setText(QStringLiteral("n€uf"));
            control<QLineEdit>(editor, "Text5")->setText(QStringLiteral("Siège"));
            control<QPushButton>(editor, "Command1")->click();
            QVERIFY(!editor.isVisible());
        });
        control<QPushButton>(*form, "Command3")->click();
        QVERIFY(ran);
        QVERIFY(m_dialogs.shown().isEmpty());
        // Replaced in place, the empty line kept.
        QCOMPARE(readBytes(path()), "$192.0.2.15\xA4operateur\xA3n\x80uf|Si\xE8ge\xB5\r\n\r\n" + SiegeBytes + "\r\n");
        // The old entry makes way for the new name at the end; the table holds the new file.
        QCOMPARE(texts(*control<QListWidget>(*form, "List1")),
                 QStringList({QStringLiteral("Siège"), QStringLiteral("Siège")}));
        QCOMPARE(Form2::lineOf(*control<QListWidget>(*form, "List1")->item(0)), Windows1252::decode(SiegeBytes));
        QCOMPARE(int(m_profiles->table().count), 2);
        QCOMPARE(m_profiles->table().lines.value(0), QStringLiteral("$192.0.2.15¤operateur£n€uf|Siègeµ"));

        // Of the two "Siège", the one chosen is the one edited.
        control<QListWidget>(*form, "List1")->setCurrentRow(1);
        form->setEditorRunner([](Form3& editor) {
            QCOMPARE(control<QLineEdit>(editor, "Text3")->text(), QStringLiteral("n€uf"));
            control<QLineEdit>(editor, "Text5")->setText(QStringLiteral("Nord"));
            control<QPushButton>(editor, "Command1")->click();
        });
        control<QPushButton>(*form, "Command3")->click();
        QCOMPARE(texts(*control<QListWidget>(*form, "List1")),
                 QStringList({QStringLiteral("Siège"), QStringLiteral("Nord")}));
        QCOMPARE(Form2::lineOf(*control<QListWidget>(*form, "List1")->item(0)), Windows1252::decode(SiegeBytes));
        QCOMPARE(readBytes(path()), "$192.0.2.15\xA4operateur\xA3n\x80uf|Nord\xB5\r\n\r\n" + SiegeBytes + "\r\n");
    }

    void deleteFromTheList()
    {
        writeBytes(path(), NordBytes + "\r\n\r\n" + SiegeBytes + "\r\n" + NordBytes + "\r\n");
        auto form = openList();
        QCOMPARE(texts(*control<QListWidget>(*form, "List1")),
                 QStringList({QStringLiteral("Depot Nord"), QStringLiteral("Siège"), QStringLiteral("Depot Nord")}));
        const QByteArray before = readBytes(path());
        select(*control<QListWidget>(*form, "List1"), QStringLiteral("Depot Nord"));

        m_dialogs.answerNext(AnswerNo);
        control<QPushButton>(*form, "Command2")->click();
        QCOMPARE(m_dialogs.shown().size(), 1);
        const MessageRequest& question = m_dialogs.shown().first().request;
        QCOMPARE(question.text, QStringLiteral("Voulez-vous supprimer le profil « Depot Nord » ?"));
        QCOMPARE(question.buttons, DialogButtons::YesNo);
        QCOMPARE(question.defaultAnswer, int(AnswerNo));
        QCOMPARE(question.icon, DialogIcon::Question);
        QCOMPARE(question.title, QStringLiteral("VORN_UPDATE_VERSION"));
        QCOMPARE(readBytes(path()), before);
        QCOMPARE(control<QListWidget>(*form, "List1")->count(), 3);

        // Both copies of the line leave the file, and their entries the list.
        m_dialogs.answerNext(AnswerYes);
        control<QPushButton>(*form, "Command2")->click();
        QCOMPARE(readBytes(path()), "\r\n" + SiegeBytes + "\r\n");
        QCOMPARE(texts(*control<QListWidget>(*form, "List1")), QStringList({QStringLiteral("Siège")}));
        QCOMPARE(int(m_profiles->table().count), 1);
        QCOMPARE(m_profiles->table().lines.value(0), Windows1252::decode(SiegeBytes));
    }

    void failedDeleteKeepsTheEntry()
    {
        auto form = openList();
        QVERIFY(QFile::remove(path())); // gone behind the dialog's back
        select(*control<QListWidget>(*form, "List1"), QStringLiteral("Siège"));
        m_dialogs.answerNext(AnswerYes);
        control<QPushButton>(*form, "Command2")->click();
        QCOMPARE(m_dialogs.shown().size(), 2);
        const MessageRequest& error = m_dialogs.shown().at(1).request;
        QVERIFY2(error.text.contains(QStringLiteral("introuvable")), qPrintable(error.text));
        QCOMPARE(error.icon, DialogIcon::Critical);
        QCOMPARE(texts(*control<QListWidget>(*form, "List1")),
                 QStringList({QStringLiteral("Depot Nord"), QStringLiteral("Siège")}));
        QVERIFY(!QFile::exists(path()));

        // A save that fails keeps the editor open, with a message.
        m_dialogs.clear();
        select(*control<QListWidget>(*form, "List1"), QStringLiteral("Depot Nord"));
        bool stayedOpen = false;
        form->setEditorRunner([&](Form3& editor) {
            editor.show();
            control<QPushButton>(editor, "Command1")->click();
            stayedOpen = editor.isVisible();
        });
        control<QPushButton>(*form, "Command3")->click();
        QVERIFY(stayedOpen);
        QCOMPARE(m_dialogs.shown().size(), 1);
        QCOMPARE(m_dialogs.shown().first().request.icon, DialogIcon::Critical);
        QCOMPARE(texts(*control<QListWidget>(*form, "List1")),
                 QStringList({QStringLiteral("Depot Nord"), QStringLiteral("Siège")}));
        QVERIFY(!QFile::exists(path()));
    }

    void doubleClickActivates()
    {
        QStringList activated;
        auto form = openList([&](const QString& server, const QString& login, const QString& password) {
            activated << server << login << password;
        });
        QListWidgetItem* siege = control<QListWidget>(*form, "List1")->item(1);
        const QRect rect = control<QListWidget>(*form, "List1")->visualItemRect(siege);
        QTest::mouseClick(control<QListWidget>(*form, "List1")->viewport(), Qt::LeftButton, {}, rect.center());
        QVERIFY(form->isVisible()); // a single click only chooses
        QTest::mouseDClick(control<QListWidget>(*form, "List1")->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(activated,
                 QStringList({QStringLiteral("ftp.example.org"), QStringLiteral("vorn"), QStringLiteral("Q7é")}));
        QVERIFY(!form->isVisible());
        QCOMPARE(form->result(), int(QDialog::Accepted));
    }

    void enterActivatesTheChosenProfile()
    {
        QString server;
        auto form = openList([&](const QString& s, const QString&, const QString&) { server = s; });
        form->setEditorRunner([](Form3&) { QFAIL("Enter on a chosen profile opened the editor"); });
        QApplication::setActiveWindow(form.get());
        control<QListWidget>(*form, "List1")->setFocus();
        QTest::keyClick(control<QListWidget>(*form, "List1"), Qt::Key_Down);
        QTest::keyClick(control<QListWidget>(*form, "List1"), Qt::Key_Down);
        QTest::keyClick(control<QListWidget>(*form, "List1"), Qt::Key_Enter);
        QCOMPARE(server, QStringLiteral("ftp.example.org"));
        QCOMPARE(form->result(), int(QDialog::Accepted));
    }

    void openProfileListEntryPoint()
    {
        QStringList names;
        ModalAnswer answer([&](QWidget* window) {
            auto* list = qobject_cast<Form2*>(window);
            QVERIFY(list);
            names = texts(*control<QListWidget>(*list, "List1"));
            list->List1_DblClick(control<QListWidget>(*list, "List1")->item(0));
        });
        QString server;
        openProfileList(m_dir->path(), m_dialogs,
                        [&](const QString& s, const QString&, const QString&) { server = s; });
        QVERIFY2(answer.failure().isEmpty(), qPrintable(answer.failure()));
        QCOMPARE(names, QStringList({QStringLiteral("Depot Nord"), QStringLiteral("Siège")}));
        QCOMPARE(server, QStringLiteral("192.0.2.15"));
    }
};

QTEST_MAIN(TestProfileDialogs)
#include "tst_profiledialogs.moc"
