#include "FakePrintDevice.h"
#include "PdfReadback.h"
#include "common/FakeProcessControl.h"
#include "common/FixedClock.h"
#include "common/ScriptedDialogs.h"
#include "common/ServiceSkip.h"
#include "common/TestDatabases.h"
#include "login/gui/FPLASH.h"
#include "platform/print/PdfPrintDevice.h"
#include "platform/print/SystemPrintDevice.h"
#include "station/AvailableArticles.h"
#include "station/DataView.h"
#include "station/SingleInstance.h"
#include "station/StationDemoData.h"
#include "station/StationView.h"
#include "station/TrainDispatch.h"
#include "station/gui/FPRINCIPAL.h"
#include "station/gui/StationLauncher.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

namespace {
const QString Kestravo = QStringLiteral("KESTRAVO2019");
constexpr double PageMiddle = 595.28 / 2; // each label copy has its half of the sheet

// One station window over a test database, printing to a PDF folder.
struct Station {
    explicit Station(const QString& appDir, const QStringList& installed = {}, PrinterCatalog::Opener open = {})
    {
        w = std::make_unique<FPRINCIPAL>(
            context, dialogs, processes, clock, appDir, PrinterCatalog(installed, std::move(open), pdf.path()),
            SingleInstance::lockFileIn(lockDir.path()), [this](int code) { ended = code; });
    }
    template <typename T>
    T* get(const char* name) const
    {
        T* widget = w->findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qWarning("missing control %s", name);
        return widget;
    }
    void click(const char* name) const { get<QAbstractButton>(name)->click(); }
    void type(const char* name, const QString& text) const { get<QLineEdit>(name)->setText(text); }
    QString label(const char* name) const { return get<QLabel>(name)->text(); }
    // Clicks the PDF printer, the last entry of List4.
    void choosePdfPrinter() const
    {
        auto* list = get<QListWidget>("List4");
        list->setCurrentRow(list->count() - 1);
        emit list->itemClicked(list->currentItem());
    }

    OperatorContext context;
    ScriptedDialogs dialogs;
    FakeProcessControl processes;
    FixedClock clock{QDateTime(QDate(2024, 2, 9), QTime(8, 0))};
    QTemporaryDir lockDir;
    QTemporaryDir pdf;
    int ended = -1;
    std::unique_ptr<FPRINCIPAL> w;
};

bool addPallet(TestDatabases& env, const QString& code, const QVariant& weight = 500,
               const QVariant& status = QVariant())
{
    return env.exec(Kestravo,
                    QStringLiteral("insert into kestravo_palette (PAL_CAB, PAL_POIDS, PAL_LONGUEUR, PAL_LARGEUR, "
                                   "PAL_HAUTEUR, PAL_STATUT) values (?, ?, ?, ?, ?, ?)"),
                    {code, weight, 120, 80, 150, status});
}

bool addArticle(TestDatabases& env, const QVariant& palette, const QVariant& type, const QVariant& state,
                const QVariant& palletCode = QVariant())
{
    return env.exec(Kestravo,
                    QStringLiteral("insert into kestravo_global (G_NO_PALETTE, g_type_uc, G_WF_ETAT, "
                                   "G_LOCALISATION_PERMANENTE, G_WF_PAL_CAB) values (?, ?, ?, ?, ?)"),
                    {palette, type, state, QStringLiteral("A1"), palletCode});
}

struct QuietView final : StationView {
    void setWaitVisible(bool visible) override { waitVisible = visible; }
    void setWaitInfo(const QString&) override {}
    void setProgressVisible(bool) override {}
    void setProgressMaximum(int) override {}
    void setProgressValue(int value) override { progress = value; }
    void setBusy(bool b) override { busy = b; }
    void setArticleInfo(const QString&) override {}
    void processEvents() override { ++events; }
    bool waitVisible = false;
    bool busy = false;
    int progress = 0;
    int events = 0;
};

// Answers Yes to every question, after running `onQuestion`.
struct HookedDialogs final : Dialogs {
    int message(const MessageRequest& r) override
    {
        texts << r.text;
        if (r.buttons == DialogButtons::YesNo && onQuestion)
            onQuestion(r.text);
        return r.buttons == DialogButtons::YesNo ? AnswerYes : AnswerOk;
    }
    QString input(const QString&, const QString&, const QString&) override { return {}; }
    std::function<void(const QString&)> onQuestion;
    QStringList texts;
};

QString ut(int n)
{
    return QStringLiteral("UT%1").arg(n, 6, 10, QLatin1Char('0'));
}
} // namespace

class TestFPRINCIPAL : public QObject {
    Q_OBJECT

private slots:
    void backends_data() { TestDatabases::addBackendRows(); }

    // Start-up without a database: caption, printers, Frame1, total step, second instance, quit.
    void startUpAndWindowState()
    {
        QTemporaryDir appDir;
        Station s(appDir.path(), {QStringLiteral("Laser A"), QStringLiteral("Laser A")});
        QVERIFY(s.w->load());
        QCOMPARE(s.w->windowTitle(), QStringLiteral("Gestion de flux  - USER  -  - "));
        QCOMPARE(s.get<QGroupBox>("Frame1")->isVisibleTo(s.w.get()), false);
        QCOMPARE(s.get<QPushButton>("Command2")->isVisibleTo(s.w.get()), false); // administrators only
        QCOMPARE(s.get<QPushButton>("Command4")->isVisibleTo(s.w.get()), false);
        auto* list = s.get<QListWidget>("List4");
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(2)->text(), PdfPrintDevice::deviceName(s.pdf.path()));
        QCOMPARE(s.label("LTOTOARTICLES"), QStringLiteral("0"));
        QCOMPARE(s.label("Label1"), QStringLiteral("Generation des codes UT - Impression d'étiquettes d'UT"));
        QCOMPARE(s.get<QPushButton>("Command5")->text(), QStringLiteral("Imprimer des Etiquettes d'UT"));
        for (const char* name : {"FRWAIT",       "RBWAIT",   "LINFOWAIT1", "LINFOWAIT2", "FRIMP",
                                 "Label4",       "Tnbre",    "CQ",         "CMAJ",       "Text1",
                                 "Text2",        "Command2", "Command3",   "Command4",   "TUT",
                                 "TDAT",         "Frame2",   "Image1",     "Image2",     "Line1",
                                 "Line2",        "LIB",      "LUT",        "PAL_CABx",   "PAL_REF_LOCARCHIV",
                                 "PAL_NO_TRAIN1"})
            QVERIFY2(s.w->findChild<QWidget*>(QString::fromLatin1(name)), name);

        // Layout on resize: the logo keeps to the right edge, the wait frame spans the window.
        s.w->show();
        QVERIFY(QTest::qWaitForWindowExposed(s.w.get()));
        s.w->resize(1300, 800);
        QTRY_COMPARE(s.w->width(), 1300);
        QCOMPARE(s.get<QLabel>("Image2")->geometry().right() + 1, 1300 - 350 / 15);
        QCOMPARE(s.get<QWidget>("FRWAIT")->width(), 1300);
        QCOMPARE(s.get<QLabel>("Label1")->geometry().right() + 1, 1300 - (s.get<QLabel>("Image2")->width() + 500 / 15));

        // The layer step refuses to pass the 16-bit limit and keeps the total.
        s.click("OPTBO");
        QVERIFY(s.get<QPushButton>("CPLUS24")->isVisibleTo(s.w.get()));
        QVERIFY(!s.get<QLabel>("LDIMAB")->isVisibleTo(s.w.get()));
        s.dialogs.clear();
        for (int i = 0; i < 1365; ++i)
            s.click("CPLUS24");
        QCOMPARE(s.label("LTOTOARTICLES"), QStringLiteral("32760"));
        QVERIFY(s.dialogs.shown().isEmpty());
        s.click("CPLUS24");
        QCOMPARE(s.label("LTOTOARTICLES"), QStringLiteral("32760"));
        QCOMPARE(s.dialogs.shown().size(), 1);
        QVERIFY(s.dialogs.texts().first().contains(QStringLiteral("32767")));
        s.click("OPTDIMAB");
        QVERIFY(!s.get<QPushButton>("CPLUS24")->isVisibleTo(s.w.get()));
        QVERIFY(s.get<QLabel>("LDIMAB")->isVisibleTo(s.w.get()));

        // A second station on the same lock is refused before it shows anything.
        OperatorContext other;
        ScriptedDialogs otherDialogs;
        FakeProcessControl otherProcesses;
        FixedClock clock;
        int otherEnded = -1;
        FPRINCIPAL second(other, otherDialogs, otherProcesses, clock, appDir.path(), PrinterCatalog({}, {}, {}),
                          SingleInstance::lockFileIn(s.lockDir.path()), [&otherEnded](int c) { otherEnded = c; });
        QVERIFY(!second.load());
        QCOMPARE(otherDialogs.texts(), QStringList{QStringLiteral("Désolé, l'application est déjà lancée...")});
        QVERIFY(otherEnded >= 0);

        s.dialogs.clear();
        s.context.userName = QStringLiteral("DUPONT");
        s.click("CQ");
        QCOMPARE(s.dialogs.texts(), QStringList{QStringLiteral("A bientôt DUPONT")});
        QCOMPARE(s.processes.terminated, QStringList{QStringLiteral("KESTRAVO_MAJ_CODEPALETTE.exe")});
        QCOMPARE(s.ended, 0);
    }

    // Caption after a login, the administrator's Frame1, and the article counting rules.
    void articlesAndCaption_data() { backends_data(); }
    void articlesAndCaption()
    {
        QFETCH(QString, backend);
        TestDatabases env(backend);
        VORN_PREPARE_DATABASES(env);
        QVERIFY(addArticle(env, "", "bo1", QVariant()));              // empty pallet number: not palletised
        QVERIFY(addArticle(env, QVariant(), "bo2", ""));              // empty state: available
        QVERIFY(addArticle(env, QVariant(), QVariant(), QVariant())); // no type: never counted
        QVERIFY(addArticle(env, "P1", "bo", QVariant()));             // on a pallet
        QVERIFY(addArticle(env, QVariant(), "DIMAB1", QVariant()));
        QVERIFY(addArticle(env, QVariant(), "bo3", "TRAIN1_EXPEDIE"));
        QVERIFY(addArticle(env, QVariant(), "xbo", QVariant())); // "bo" inside, not at the start

        Station s(env.appDir());
        s.context.userName = QStringLiteral("DUPONT");
        s.context.fifthValue = QStringLiteral("Quai 3");
        s.context.groupCode = QStringLiteral("G1");
        s.context.ADMIN = QStringLiteral("1");
        QVERIFY(s.w->load());
        QCOMPARE(s.w->windowTitle(), QStringLiteral("Gestion de flux  - USER DUPONT - Quai 3 - G1"));
        QVERIFY(s.get<QGroupBox>("Frame1")->isVisibleTo(s.w.get()));
        QVERIFY(s.dialogs.shown().isEmpty());

        s.click("Command1");
        QCOMPARE(s.label("LINFO"), QStringLiteral("4 articles disponibles."));
        QCOMPARE(s.get<QTableView>("GRIDARTICLES")->model()->rowCount(), 4);
        // French headings; the two columns the query keeps empty are not shown.
        const auto* grid = s.get<QTableView>("GRIDARTICLES");
        QString headings;
        for (int c = 0; c < grid->model()->columnCount(); ++c)
            headings +=
                grid->isColumnHidden(c) ? QString() : grid->model()->headerData(c, Qt::Horizontal).toString() + '|';
        QCOMPARE(headings, QStringLiteral("Type|Emplacement|Code palette|Extraction|Modifié le|Modifié par|"));
        QVERIFY(!s.get<QWidget>("FRWAIT")->isVisibleTo(s.w.get()));
        s.click("OPTBO");
        QCOMPARE(s.label("LINFO"), QStringLiteral("2 articles disponibles."));
        s.click("OPTDIMAB");
        QCOMPARE(s.label("LINFO"), QStringLiteral("1 articles disponibles."));
        QVERIFY(s.dialogs.shown().isEmpty());
    }

    // A server that went away: one clear message, the window keeps its first caption.
    void unreachableDatabase()
    {
        TestDatabases env(QStringLiteral("sqlite"));
        VORN_PREPARE_DATABASES(env);
        VORN_MAKE_UNREACHABLE(env, {Kestravo});
        Station cut(env.appDir());
        QVERIFY(cut.w->load());
        QCOMPARE(cut.dialogs.shown().size(), 1);
        QVERIFY(cut.dialogs.texts().first().startsWith(QStringLiteral("La base de données KESTRAVO2019 est "
                                                                      "injoignable")));
        cut.dialogs.clear();
        cut.click("Command1");
        QCOMPARE(cut.dialogs.shown().size(), 1);
        QVERIFY(cut.dialogs.texts().first().startsWith(QStringLiteral("Impossible de lire les articles")));
        QCOMPARE(cut.label("LINFO"), QStringLiteral("Liste des articles disponibles"));
        QVERIFY(!cut.get<QWidget>("FRWAIT")->isVisibleTo(cut.w.get()));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // Code generation, archive numbering and extraction dates.
    void codes_data() { backends_data(); }
    void codes()
    {
        QFETCH(QString, backend);
        TestDatabases env(backend);
        VORN_PREPARE_DATABASES(env);
        Station s(env.appDir());
        s.context.ADMIN = QStringLiteral("1");
        QVERIFY(s.w->load());

        // Both generators ask first, No by default, naming the rows they write; No writes nothing.
        for (const char* generator : {"Command4", "Command2"}) {
            s.dialogs.clear();
            s.click(generator);
            QVERIFY(s.dialogs.shown().size() == 1 && s.dialogs.shown()[0].request.defaultAnswer == AnswerNo);
            QVERIFY(s.dialogs.texts()[0].contains(QLatin1String(generator[7] == '4' ? "1000" : "5000")));
        }
        QCOMPARE(env.count(Kestravo, "kestravo_palette"), 0);
        s.dialogs.clear();
        s.dialogs.answerNext(AnswerYes);
        s.click("Command4");
        QCOMPARE(s.dialogs.texts().mid(1), (QStringList{"nbre: 0", "OK"}));
        QCOMPARE(env.count(Kestravo, "kestravo_palette"), 1000);
        QCOMPARE(env.count(Kestravo, "kestravo_palette", "PAL_CAB in (?, ?)", {ut(1), ut(1000)}), 2);

        // After deletions the row count is below the highest code: numbering goes on after it.
        QVERIFY(env.exec(Kestravo, "delete from kestravo_palette where PAL_CAB < ?", {ut(301)}));
        s.dialogs.clear();
        s.dialogs.answerNext(AnswerYes);
        s.click("Command4");
        QCOMPARE(s.dialogs.texts().mid(1), (QStringList{"nbre: 1000", "OK"}));
        QCOMPARE(env.count(Kestravo, "kestravo_palette"), 1700);
        QCOMPARE(env.count(Kestravo, "kestravo_palette", "PAL_CAB = ?", {ut(2000)}), 1);
        QCOMPARE(env.count(Kestravo, "(select PAL_CAB from kestravo_palette group by PAL_CAB having count(*) > 1) d"),
                 0);

        // Archive numbers: fewer numbers than rows stops with "OK FINITO", the rest untouched.
        QVERIFY(env.exec(Kestravo, "delete from kestravo_palette"));
        for (int i = 1; i <= 5; ++i)
            QVERIFY(addPallet(env, ut(i)));
        s.dialogs.clear();
        s.type("Text1", "100");
        s.type("Text2", "102");
        s.click("CMAJ");
        QCOMPARE(s.dialogs.texts(), QStringList{"OK FINITO"});
        QCOMPARE(env.count(Kestravo, "kestravo_palette", "PAL_REF_LOCARCHIV in ('100', '101', '102')"), 3);
        QCOMPARE(env.count(Kestravo, "kestravo_palette", "PAL_REF_LOCARCHIV is null"), 2);
        // More numbers than rows: every row numbered, "OK".
        s.dialogs.clear();
        s.type("Text1", "7");
        s.type("Text2", "50");
        s.click("CMAJ");
        QCOMPARE(s.dialogs.texts(), QStringList{"OK"});
        QCOMPARE(env.count(Kestravo, "kestravo_palette", "PAL_REF_LOCARCHIV in ('7', '8', '9', '10', '11')"), 5);
        // Not numbers: told, nothing written.
        s.dialogs.clear();
        s.type("Text1", "12a");
        s.click("CMAJ");
        QCOMPARE(s.dialogs.shown().size(), 1);
        QVERIFY(s.dialogs.texts().first().contains(QStringLiteral("nombres entiers")));
        QCOMPARE(env.count(Kestravo, "kestravo_palette", "PAL_REF_LOCARCHIV in ('7', '8', '9', '10', '11')"), 5);

        // Extraction date: the code typed is taken literally, "%" and "_" included.
        QVERIFY(addArticle(env, QVariant(), "bo", QVariant(), ut(1)));
        QVERIFY(addArticle(env, QVariant(), "bo", QVariant(), ut(2)));
        QVERIFY(addArticle(env, QVariant(), "bo", QVariant(), "77137601"));
        s.type("TDAT", "20240209");
        for (const char* pattern : {"UT%", "UT00000_", "XX"}) {
            s.dialogs.clear();
            s.type("TUT", pattern);
            s.click("Command3");
            QCOMPARE(s.dialogs.texts(), QStringList{"NONy  A PAS!"});
        }
        s.dialogs.clear();
        s.type("TUT", ut(2));
        s.click("Command3");
        QCOMPARE(s.dialogs.texts(), QStringList{"OK il y est !"});
        QCOMPARE(env.count(Kestravo, "kestravo_global", "G_WF_DATE_EXTRACTION = ?", {"20240209"}), 1);

        // Old numeric codes get the "UT" prefix in the articles.
        s.dialogs.clear();
        s.click("CPREFIXE");
        QCOMPARE(s.dialogs.texts(), QStringList{"OK"});
        QCOMPARE(env.count(Kestravo, "kestravo_global", "G_WF_PAL_CAB = ?", {"UT77137601"}), 1);
        QCOMPARE(env.count(Kestravo, "kestravo_global", "G_WF_PAL_CAB = ?", {ut(1)}), 1);
    }

    // Labels end to end: five pallets without status, two pages read back and scanned.
    void labelRun_data() { backends_data(); }
    void labelRun()
    {
        QFETCH(QString, backend);
        TestDatabases env(backend);
        VORN_PREPARE_DATABASES(env);
        for (int i = 6; i >= 1; --i)
            QVERIFY(addPallet(env, ut(i)));
        QVERIFY(addPallet(env, ut(0), 500, "TRAIN1_EXPEDIE"));
        Station s(env.appDir());
        QVERIFY(s.w->load());

        // Refusals come before anything is printed.
        for (const QString& bad :
             {QStringLiteral("abc"), QStringLiteral("-1"), QStringLiteral("40000"), QStringLiteral("7")}) {
            s.dialogs.clear();
            s.type("Tnbre", bad);
            s.click("Command5");
            s.choosePdfPrinter();
            QCOMPARE(s.dialogs.shown().size(), 1);
            QVERIFY2(s.dialogs.texts().first().contains(QStringLiteral("Rien n'a été imprimé")),
                     qPrintable(s.dialogs.texts().first()));
            QVERIFY(PdfReadback::files(s.pdf.path()).isEmpty());
            QVERIFY(!s.get<QWidget>("FRWAIT")->isVisibleTo(s.w.get()));
        }

        s.dialogs.clear();
        s.type("Tnbre", "5");
        s.click("Command5");
        QVERIFY(s.get<QWidget>("FRIMP")->isVisibleTo(s.w.get()));
        s.choosePdfPrinter();
        QCOMPARE(s.dialogs.texts(), QStringList{"OK. Tout est bon."});
        QCOMPARE(s.label("LINFOWAIT2"), QStringLiteral("Impression de 5 étiquettes."));
        QVERIFY(s.get<QWidget>("FRIMP")->isVisibleTo(s.w.get()));
        const QStringList files = PdfReadback::files(s.pdf.path());
        QCOMPARE(files.size(), 2);
        QStringList first{ut(1), ut(2), ut(3), ut(4)};
        first += first;
        first.sort();
        QCOMPARE(PdfReadback::barcodes(files[0], 1, {PageMiddle}), first);
        QCOMPARE(PdfReadback::barcodes(files[1], 1, {PageMiddle}), (QStringList{ut(5), ut(5)}));
        QCOMPARE(env.count(Kestravo, "kestravo_palette", "PAL_STATUT is not null"), 1);
    }

    // A train of 25 pallets: refused once (nothing written), then accepted.
    void dispatch_data() { backends_data(); }
    void dispatch()
    {
        QFETCH(QString, backend);
        TestDatabases env(backend);
        VORN_PREPARE_DATABASES(env);
        for (int i = 1; i <= 25; ++i) {
            QVERIFY(addPallet(env, ut(i), i == 3 ? QVariant(12345.5) : QVariant(100)));
            QVERIFY(addArticle(env, ut(i), "bo", QVariant(), ut(i)));
        }
        QVERIFY(addPallet(env, ut(90), QVariant()));                // no weight
        QVERIFY(addPallet(env, ut(91), 100, "TRAIN1_EXPEDIE"));     // already gone
        QVERIFY(addArticle(env, ut(99), "bo", QVariant(), ut(99))); // another pallet's article
        Station s(env.appDir());
        s.context.userName = QStringLiteral("DUPONT");
        QVERIFY(s.w->load());

        // An empty train asks nothing.
        s.click("CDEPART");
        QVERIFY(s.dialogs.shown().isEmpty());
        QVERIFY(!s.w->dispatchPending());

        // Building the train: unknown, gone and duplicate codes are refused at once.
        for (const QString& bad : {QStringLiteral("UT999999"), ut(91), QStringLiteral("UT%")}) {
            s.dialogs.clear();
            s.type("TSAISIEPAL", bad);
            s.click("CAJOUTPAL");
            QCOMPARE(s.dialogs.shown().size(), 1);
        }
        for (int i = 1; i <= 25; ++i) {
            s.type("TSAISIEPAL", ut(i));
            s.click("CAJOUTPAL");
        }
        s.dialogs.clear();
        s.type("TSAISIEPAL", ut(1));
        s.click("CAJOUTPAL");
        QCOMPARE(s.dialogs.texts(), QStringList{QStringLiteral("La palette UT000001 est déjà dans le train.")});
        QCOMPARE(s.get<QListWidget>("LSTTRAIN")->count(), 25);
        QCOMPARE(s.get<QLineEdit>("TNBPALETTE")->text(), QStringLiteral("25"));
        s.type("TNOTRAIN", "T42");

        // Departure confirmed, note printed, answer No: nothing changes.
        s.dialogs.clear();
        s.dialogs.answerNext(AnswerYes);
        s.click("CDEPART");
        QVERIFY(s.w->dispatchPending());
        const MessageRequest question = s.dialogs.shown().first().request;
        QCOMPARE(question.text, QStringLiteral("DEPART DU TRAIN ?\r"));
        QCOMPARE(question.title, QStringLiteral("DEPART DU TRAIN"));
        QCOMPARE(question.buttons, DialogButtons::YesNo);
        QCOMPARE(question.icon, DialogIcon::Critical);
        QCOMPARE(question.defaultAnswer, int(AnswerNo));
        QCOMPARE(question.helpFile, QStringLiteral("DEMO.HLP"));
        QCOMPARE(question.helpContext, 1000);
        s.dialogs.answerNext(AnswerNo);
        s.choosePdfPrinter();
        QCOMPARE(s.dialogs.texts(),
                 (QStringList{"DEPART DU TRAIN ?\r", "L'impression est OK ?\r",
                              "LA BASE DE DONNEE N'A PAS ETE MISE A JOUR. REFAITES UNE DEMANDE ! "}));
        QCOMPARE(s.dialogs.shown()[1].request.title, QStringLiteral("Impression du carnet"));
        QCOMPARE(s.dialogs.shown()[1].request.defaultAnswer, int(AnswerNo));
        QCOMPARE(env.count(Kestravo, "kestravo_palette", "PAL_STATUT is not null"), 1);
        QCOMPARE(env.count(Kestravo, "kestravo_global", "G_WF_ETAT is not null"), 0);
        QVERIFY(!s.get<QWidget>("FRIMP")->isVisibleTo(s.w.get()));
        QVERIFY(!s.w->dispatchPending());
        QStringList files = PdfReadback::files(s.pdf.path());
        QCOMPARE(files.size(), 1);
        QCOMPARE(PdfReadback::pages(files[0]), 3); // cover, 24 pallets, the 25th
        const QStringList pages = PdfReadback::pageTexts(files[0]);
        QVERIFY(pages[0].contains(QStringLiteral("Nombre de palette: 25")));
        QVERIFY2(pages[0].contains(QStringLiteral("Poids Total      : 14745.5 Kg")), qPrintable(pages[0]));
        QVERIFY(pages[1].contains(QStringLiteral("09/02/2024")));
        QVERIFY(pages[1].contains(QStringLiteral("Page: 1")));
        // The weight is cut to 4 characters in the list and counted whole in the total.
        QVERIFY2(pages[1].contains(QRegularExpression(QStringLiteral("UT000003 +1234 +120 "))), qPrintable(pages[1]));
        QVERIFY(pages[2].contains(QStringLiteral("Page: 2")));
        QVERIFY(pages[2].contains(ut(25)));
        QVERIFY(PdfReadback::barcodes(files[0], 1).contains(QStringLiteral("T42")));

        // Again, answer Yes: pallets and their articles are marked, nothing else.
        s.dialogs.clear();
        s.dialogs.answerNext(AnswerYes);
        s.click("CDEPART");
        s.dialogs.answerNext(AnswerYes);
        s.choosePdfPrinter();
        QCOMPARE(s.dialogs.texts(),
                 (QStringList{"DEPART DU TRAIN ?\r", "L'impression est OK ?\r", "OK. Tout est bon."}));
        QCOMPARE(
            env.count(Kestravo, "kestravo_palette", "PAL_STATUT = ? and PAL_NO_TRAIN1 = ?", {"TRAIN1_EXPEDIE", "T42"}),
            25);
        QCOMPARE(env.count(Kestravo, "kestravo_global", "G_WF_ETAT = ? and G_WF_DATE_MODIF = ? and G_WF_USER_MODIF = ?",
                           {"TRAIN1_EXPEDIE", "20240209", "DUPONT"}),
                 25);
        QCOMPARE(env.count(Kestravo, "kestravo_global", "G_WF_PAL_CAB = ? and G_WF_ETAT is null", {ut(99)}), 1);
        QCOMPARE(s.get<QListWidget>("LSTTRAIN")->count(), 0);
        QCOMPARE(s.get<QLineEdit>("TNBPALETTE")->text(), QStringLiteral("0"));

        // The lookup finds the train's pallets.
        s.type("TRECHTRAIN", "T42");
        s.click("CRECHTRAIN");
        QCOMPARE(s.label("LNBTRAIN"), QStringLiteral("25"));

        // A pallet without a numeric weight stops the run before the note is printed.
        s.dialogs.clear();
        s.type("TSAISIEPAL", ut(90));
        s.click("CAJOUTPAL");
        s.type("TNOTRAIN", "T43");
        s.dialogs.answerNext(AnswerYes);
        s.click("CDEPART");
        s.choosePdfPrinter();
        QCOMPARE(s.dialogs.shown().size(), 2);
        QVERIFY2(s.dialogs.texts()[1].contains(QStringLiteral("poids")), qPrintable(s.dialogs.texts()[1]));
        QCOMPARE(PdfReadback::files(s.pdf.path()).size(), 2);
        QCOMPARE(env.count(Kestravo, "kestravo_palette", "PAL_NO_TRAIN1 = ?", {"T43"}), 0);
    }

    // The run alone: no pallets prints the cover and writes nothing; a count that does not match
    // and a printer that fails stop it before the question.
    void dispatchRunEdges()
    {
        TestDatabases env(QStringLiteral("sqlite"));
        VORN_PREPARE_DATABASES(env);
        QVERIFY(addPallet(env, ut(1)));
        QVERIFY(addArticle(env, ut(1), "bo", QVariant(), ut(1)));
        DataView pallets(Kestravo, QStringLiteral("kestravo_palette"), env.appDir());
        DataView articles(Kestravo, QStringLiteral("kestravo_global"), env.appDir());
        QuietView view;
        ScriptedDialogs dialogs;
        AvailableArticles available(articles, view, dialogs);
        TrainDispatch run(pallets, available, view, dialogs, env.appDir());
        QTemporaryDir pdf;
        Printer printer;
        printer.setDevice(std::make_unique<PdfPrintDevice>(pdf.path()));
        const QDate day(2024, 2, 9);

        dialogs.answerNext(AnswerYes);
        QCOMPARE(run.dispatch(printer, "T0", {}, "0", "DUPONT", day), TrainDispatch::Outcome::Dispatched);
        QCOMPARE(dialogs.texts(), (QStringList{"L'impression est OK ?\r", "OK. Tout est bon."}));
        QStringList files = PdfReadback::files(pdf.path());
        QCOMPARE(files.size(), 1);
        QCOMPARE(PdfReadback::pages(files[0]), 1);
        QVERIFY(PdfReadback::pageTexts(files[0]).value(0).contains(QStringLiteral("Poids Total      : 0 Kg")));
        QCOMPARE(env.count(Kestravo, "kestravo_palette", "PAL_STATUT is not null"), 0);
        QVERIFY(!view.waitVisible);

        dialogs.clear();
        QCOMPARE(run.dispatch(printer, "T1", {ut(1)}, "2", "DUPONT", day), TrainDispatch::Outcome::Failed);
        QCOMPARE(dialogs.shown().size(), 1);
        QVERIFY(dialogs.texts().first().contains(QStringLiteral("ne correspond pas")));
        QCOMPARE(PdfReadback::files(pdf.path()).size(), 1);

        auto failing = std::make_unique<FakePrintDevice>();
        failing->failFinish = true;
        printer.setDevice(std::move(failing));
        dialogs.clear();
        dialogs.answerNext(AnswerYes);
        QCOMPARE(run.dispatch(printer, "T1", {ut(1)}, "1", "DUPONT", day), TrainDispatch::Outcome::Failed);
        QCOMPARE(dialogs.shown().size(), 1);
        QVERIFY2(dialogs.texts().first().startsWith(QStringLiteral("L'impression du bordereau a échoué")),
                 qPrintable(dialogs.texts().first()));
        QCOMPARE(env.count(Kestravo, "kestravo_palette", "PAL_STATUT is not null"), 0);
        QCOMPARE(env.count(Kestravo, "kestravo_global", "G_WF_ETAT is not null"), 0);
        QVERIFY(!view.waitVisible);
        QVERIFY(!view.busy);
    }

    // The writes are one transaction matched with "=": a pallet gone before the Yes leaves
    // nothing written and is named; then the train leaves whole, with its own articles only,
    // the window getting events all along the writes. The lookup takes "%" literally.
    void dispatchAllOrNothing_data() { backends_data(); }
    void dispatchAllOrNothing()
    {
        QFETCH(QString, backend);
        TestDatabases env(backend);
        VORN_PREPARE_DATABASES(env);
        for (const char* code : {"UT%1", "UTX1", "UT000003", "UT000004"}) {
            QVERIFY(addPallet(env, code));
            QVERIFY(addArticle(env, code, "bo", QVariant(), code));
        }
        QVERIFY(addArticle(env, "UT%1", "bo", QVariant(), "UT%1"));
        DataView pallets(Kestravo, QStringLiteral("kestravo_palette"), env.appDir());
        DataView articles(Kestravo, QStringLiteral("kestravo_global"), env.appDir());
        QuietView view;
        HookedDialogs dialogs;
        AvailableArticles available(articles, view, dialogs);
        TrainDispatch run(pallets, available, view, dialogs, env.appDir());
        QTemporaryDir pdf;
        Printer printer;
        printer.setDevice(std::make_unique<PdfPrintDevice>(pdf.path()));
        const QDate day(2024, 2, 9);

        dialogs.onQuestion = [&env](const QString&) {
            QVERIFY(env.exec(Kestravo, "delete from kestravo_palette where PAL_CAB = ?", {"UT000004"}));
        };
        QCOMPARE(run.dispatch(printer, "T%1", {"UT%1", "UT000003", "UT000004"}, "3", "DUPONT", day),
                 TrainDispatch::Outcome::Failed);
        QVERIFY2(dialogs.texts.last().contains("UT000004 (3 sur 3)"), qPrintable(dialogs.texts.last()));
        QCOMPARE(env.count(Kestravo, "kestravo_palette", "PAL_STATUT is not null or PAL_NO_TRAIN1 is not null"), 0);
        QCOMPARE(env.count(Kestravo, "kestravo_global", "G_WF_ETAT is not null"), 0);

        // Longer than one write chunk, its last pallet gone: the chunks already written go too.
        QStringList longTrain;
        for (int i = 0; i < 250; ++i) {
            longTrain << QStringLiteral("UL%1").arg(i, 6, 10, QLatin1Char('0'));
            QVERIFY(addPallet(env, longTrain.last()));
        }
        dialogs.onQuestion = [&env, &longTrain](const QString&) {
            QVERIFY(env.exec(Kestravo, "delete from kestravo_palette where PAL_CAB = ?", {longTrain.last()}));
        };
        QCOMPARE(run.dispatch(printer, "T2", longTrain, "250", "DUPONT", day), TrainDispatch::Outcome::Failed);
        QCOMPARE(env.count(Kestravo, "kestravo_palette", "PAL_NO_TRAIN1 is not null"), 0);

        dialogs.onQuestion = [&view](const QString&) { view.events = 0; };
        QCOMPARE(run.dispatch(printer, "T%1", {"UT%1", "UT000003"}, "2", "DUPONT", day),
                 TrainDispatch::Outcome::Dispatched);
        QCOMPARE(env.count(Kestravo, "kestravo_global", "G_WF_ETAT = ?", {"TRAIN1_EXPEDIE"}), 3);
        QCOMPARE(env.count(Kestravo, "kestravo_global", "G_WF_PAL_CAB = ? and G_WF_ETAT is null", {"UTX1"}), 1);
        QVERIFY2(view.events >= 2, qPrintable(QString::number(view.events)));
        QCOMPARE(view.progress, 2);
        QCOMPARE(run.lookup("T%1"), 2);
        QCOMPARE(run.lookup("T%"), 0);
    }

    // A train from the keyboard alone: labels from "Nombre:" and two Enters; codes typed in any
    // case are listed once, upper-cased, the last one in sight; the number's rules are told
    // before the question; the armed departure shows, its cancel is said; Enter dispatches.
    void keyboardTrain_data() { backends_data(); }
    void keyboardTrain()
    {
        QFETCH(QString, backend);
        TestDatabases env(backend);
        VORN_PREPARE_DATABASES(env);
        for (int i = 1; i <= 12; ++i) {
            QVERIFY(addPallet(env, ut(i), 100));
            QVERIFY(addArticle(env, ut(i), "bo", QVariant(), ut(i)));
        }
        QVERIFY(env.exec(Kestravo, "insert into kestravo_palette (PAL_CAB, PAL_STATUT, PAL_NO_TRAIN1) values (?, ?, ?)",
                         {ut(99), "TRAIN1_EXPEDIE", "t9"}));
        Station s(env.appDir());
        QVERIFY(s.w->load());
        s.w->show();
        QVERIFY(QTest::qWaitForWindowActive(s.w.get()));
        auto key = [](Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); };
        auto type = [](const QString& text) { QTest::keyClicks(QApplication::focusWidget(), text); };
        auto focusOn = [&s](const char* name) { s.get<QWidget>(name)->setFocus(); };

        s.type("Tnbre", "");
        focusOn("Tnbre");
        type("1");
        key(Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), s.get<QWidget>("List4"));
        key(Qt::Key_Return);
        QCOMPARE(s.dialogs.texts(), QStringList{"OK. Tout est bon."});
        QCOMPARE(PdfReadback::files(s.pdf.path()).size(), 1);

        focusOn("TSAISIEPAL");
        s.dialogs.clear();
        for (int i = 0; i <= 12; ++i) {
            type(i == 0 ? QStringLiteral(" ut000001 ") : ut(std::max(i, 1)));
            key(Qt::Key_Return);
        }
        QCOMPARE(s.dialogs.texts(), QStringList{"La palette UT000001 est déjà dans le train."});
        auto* list = s.get<QListWidget>("LSTTRAIN");
        QCOMPARE(list->count(), 12);
        QVERIFY(list->viewport()->rect().contains(list->visualItemRect(list->item(11)).center()));

        for (const auto& [number, told] : {std::pair{"", "Saisissez le numéro"},
                                           {"t 9é", "Code 39"},
                                           {"T12345678901234567890", "trop long"},
                                           {" t9 ", "a déjà servi"}}) {
            s.dialogs.clear();
            s.type("TNOTRAIN", number);
            s.click("CDEPART");
            QCOMPARE(s.dialogs.texts().size(), 1);
            QVERIFY2(s.dialogs.texts()[0].contains(QString::fromUtf8(told)), qPrintable(s.dialogs.texts()[0]));
            QVERIFY(!s.w->dispatchPending());
        }

        s.type("TNOTRAIN", "");
        focusOn("TNOTRAIN");
        type(" t42");
        key(Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), s.get<QWidget>("TSAISIEPAL"));
        focusOn("TNOTRAIN");
        key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), s.get<QWidget>("CDEPART"));
        s.dialogs.clear();
        s.dialogs.answerNext(AnswerYes);
        key(Qt::Key_Return);
        QVERIFY(s.w->dispatchPending() && s.get<QLabel>("LDEPART")->isVisible());
        QVERIFY(s.label("LDEPART").contains("T42 :"));
        s.click("Command5");
        QVERIFY(!s.w->dispatchPending() && !s.get<QLabel>("LDEPART")->isVisible());
        QVERIFY(s.get<QStatusBar>("StatusBar1")->currentMessage().contains("T42 annulé"));

        focusOn("CDEPART");
        s.dialogs.answerNext(AnswerYes);
        key(Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), s.get<QWidget>("List4"));
        s.dialogs.answerNext(AnswerYes);
        key(Qt::Key_Return);
        QCOMPARE(s.dialogs.texts().last(), QStringLiteral("OK. Tout est bon."));
        QCOMPARE(env.count(Kestravo, "kestravo_palette", "PAL_NO_TRAIN1 = ?", {"T42"}), 12);
        QCOMPARE(env.count(Kestravo, "kestravo_global", "G_WF_ETAT = ?", {"TRAIN1_EXPEDIE"}), 12);
        QVERIFY(s.get<QLineEdit>("TNOTRAIN")->text().isEmpty());
        QVERIFY(PdfReadback::pageTexts(PdfReadback::files(s.pdf.path()).last())[0].contains("Poids Total      : 1200"));
    }

    // On its screen (also 1024 x 600 and 200 % runs): the window fits, a focused train control
    // is scrolled into view, the columns stay put when pallet values appear, no idle bar shows
    // and the count looks read-only.
    void screenLayout()
    {
        QTemporaryDir appDir;
        Station s(appDir.path()); // an operator: the narrower middle column
        QVERIFY(s.w->load());
        s.w->show();
        QVERIFY(QTest::qWaitForWindowExposed(s.w.get()));
        QVERIFY(s.w->screen()->availableGeometry().contains(s.w->geometry()));
        auto* view = s.w->findChild<QScrollArea*>()->viewport();
        for (const char* name : {"TRECHTRAIN", "TNOTRAIN", "CDEPART"}) {
            auto* control = s.get<QWidget>(name);
            control->setFocus();
            QCoreApplication::processEvents();
            QVERIFY2(view->rect().contains(QRect(control->mapTo(view, QPoint()), control->size())), name);
        }
        const QPoint trainAt = s.get<QWidget>("TSAISIEPAL")->mapTo(s.w.get(), QPoint());
        for (const char* name :
             {"PAL_CAB", "PAL_CABx", "PAL_POIDS", "PAL_STATUT", "PAL_NO_TRAIN1", "PAL_REF_LOCARCHIV"})
            s.get<QLabel>(name)->setText(QStringLiteral("TRAIN1_EXPEDIE 771376015000 226081386"));
        QTest::qWait(50); // the layouts settle
        QCOMPARE(s.get<QWidget>("TSAISIEPAL")->mapTo(s.w.get(), QPoint()), trainAt);
        const QPalette count = s.get<QLineEdit>("TNBPALETTE")->palette();
        QVERIFY(!s.get<QWidget>("RB2")->isVisibleTo(s.w.get()) &&
                count.color(QPalette::Base) == count.color(QPalette::Window));
    }

    // Tab follows the screen, column by column; a label comes just before its box; the pallet
    // count is no stop.
    void tabChain()
    {
        QTemporaryDir appDir;
        Station s(appDir.path());
        s.context.ADMIN = QStringLiteral("1");
        QVERIFY(s.w->load());
        QList<QWidget*> chain;
        for (QWidget* w = s.w->nextInFocusChain(); w != s.w.get(); w = w->nextInFocusChain())
            chain << w;
        QStringList stops;
        for (QWidget* w : chain) {
            if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(s.w.get()) && w->isEnabled())
                stops << w->objectName();
        }
        QCOMPARE(stops, QStringList({"OPTBO",     "OPTDIMAB",   "Command1",   "GRIDARTICLES", "Command4", "Command2",
                                     "CMAJ",      "Text1",      "Text2",      "Command3",     "TUT",      "TDAT",
                                     "CPREFIXE",  "TRECHTRAIN", "CRECHTRAIN", "Tnbre",        "Command5", "TSAISIEPAL",
                                     "CAJOUTPAL", "LSTTRAIN",   "CRETIREPAL", "TNOTRAIN",     "CDEPART",  "CQ"}));
        for (QLabel* label : s.w->findChildren<QLabel*>()) {
            if (!label->buddy() || !(label->buddy()->focusPolicy() & Qt::TabFocus))
                continue;
            const qsizetype at = chain.indexOf(label);
            QVERIFY2(at >= 0 && chain.indexOf(label->buddy()) == at + 1, qPrintable(label->text()));
        }
    }

    // An older table holding a code twice: an administrator is told once, an operator never.
    void duplicateCodesToldOnce()
    {
        TestDatabases env(QStringLiteral("sqlite"));
        VORN_PREPARE_DATABASES(env);
        QVERIFY(env.exec(Kestravo, "drop index kestravo_palette_cab_unique"));
        QVERIFY(addPallet(env, ut(7)));
        QVERIFY(addPallet(env, ut(7)));
        for (const auto& [admin, told] : {std::pair{"0", false}, {"1", true}, {"1", false}}) {
            Station s(env.appDir());
            s.context.ADMIN = QString::fromLatin1(admin);
            QVERIFY(s.w->load());
            QCOMPARE(s.dialogs.texts().size(), told ? 1 : 0);
            QVERIFY(!told || s.dialogs.texts()[0].contains("UT000007 (2 fois)"));
        }
    }

    // A real CUPS queue writing PDF files: the station lists it, and a label run through it comes
    // out with bar codes that scan.
    void installedPrinterQueue()
    {
        const QString queue = qEnvironmentVariable("VORN_TEST_CUPS_QUEUE");
        const QString out = qEnvironmentVariable("VORN_TEST_CUPS_PDF_DIR");
        if (queue.isEmpty() || out.isEmpty())
            VORN_SKIP_WITHOUT_SERVICE(
                QStringLiteral("VORN_TEST_CUPS_QUEUE is not set: source scripts/start-test-services as root"));
        TestDatabases env(QStringLiteral("sqlite"));
        VORN_PREPARE_DATABASES(env);
        QVERIFY(addPallet(env, ut(41)));
        Station s(env.appDir(), QPrinterInfo::availablePrinterNames(),
                  [](const QString& name) { return std::make_unique<SystemPrintDevice>(name); });
        QVERIFY(s.w->load());
        const QStringList before = PdfReadback::files(out);
        auto* list = s.get<QListWidget>("List4");
        const QList<QListWidgetItem*> listed = list->findItems(queue, Qt::MatchExactly);
        QCOMPARE(listed.size(), 1);
        s.type("Tnbre", "1");
        list->setCurrentItem(listed[0]);
        emit list->itemClicked(listed[0]);
        QCOMPARE(s.dialogs.texts(), QStringList{"OK. Tout est bon."});
        auto printed = [&] {
            for (const QString& file : PdfReadback::files(out)) {
                if (!before.contains(file))
                    return PdfReadback::barcodes(file, 1, {PageMiddle});
            }
            return QStringList();
        };
        QTRY_COMPARE_WITH_TIMEOUT(printed(), QStringList({ut(41), ut(41)}), 30000);
    }

    // Station mode: the splash first, the station after the login; a second launcher is refused.
    void launcher()
    {
        QTemporaryDir appDir;
        OperatorContext context;
        ScriptedDialogs dialogs;
        FakeProcessControl processes;
        int ended = -1;
        StationLauncher first(context, dialogs, processes, appDir.path(), appDir.path(), QVersionNumber(1, 0, 3),
                              [&ended](int c) { ended = c; });
        QVERIFY(first.start());
        QVERIFY(first.splash()->isVisible());
        QVERIFY(!first.station()->isVisible());
        context.userName = QStringLiteral("DEMO");
        emit first.splash()->loggedIn();
        QVERIFY(first.station()->isVisible());
        QVERIFY(first.station()->windowTitle().contains(QStringLiteral(" - USER DEMO - ")));

        StationLauncher second(context, dialogs, processes, appDir.path(), QString(), QVersionNumber(1, 0, 3),
                               [&ended](int c) { ended = c; });
        QVERIFY(!second.start());
        QVERIFY(!second.splash()->isVisible());
        QCOMPARE(dialogs.texts().last(), QStringLiteral("Désolé, l'application est déjà lancée..."));
        QCOMPARE(ended, 1);
    }

    // The demo data fills an empty database once and leaves a used one alone.
    void demoData()
    {
        TestDatabases env(QStringLiteral("sqlite"));
        VORN_PREPARE_DATABASES(env);
        QString error;
        QVERIFY2(StationDemoData::fillIfEmpty(env.appDir(), &error), qPrintable(error));
        QCOMPARE(env.count(Kestravo, "KESTRAVO_PARAM"), 2);
        const int pallets = env.count(Kestravo, "kestravo_palette");
        QVERIFY(pallets > 0);
        QVERIFY(StationDemoData::fillIfEmpty(env.appDir(), &error));
        QCOMPARE(env.count(Kestravo, "kestravo_palette"), pallets);
    }
};

QTEST_MAIN(TestFPRINCIPAL)
#include "tst_fprincipal.moc"
