#include "FPRINCIPAL.h"
#include "platform/WindowControls.h"

#include "DataView.h"
#include "PrinterChoice.h"
#include "StationMessages.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/ProcessControl.h"

#include <QApplication>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

using WindowControls::badge;
using WindowControls::named;

namespace {
const QString Kestravo = QStringLiteral("KESTRAVO2019");
const QStringList BoundColumns = {"PAL_CAB",     "PAL_CABx",   "PAL_POIDS",     "PAL_LONGUEUR",     "PAL_LARGEUR",
                                  "PAL_HAUTEUR", "PAL_STATUT", "PAL_NO_TRAIN1", "PAL_REF_LOCARCHIV"};
constexpr int HeaderHeight = 84;
constexpr int TwipsPerPixel = 15;

int px(int twips)
{
    return twips / TwipsPerPixel;
}

} // namespace

FPRINCIPAL::FPRINCIPAL(OperatorContext& context, Dialogs& dialogs, ProcessControl& processes, const Clock& clock,
                       QString appDir, PrinterCatalog catalog, const QString& lockFile,
                       std::function<void(int)> endApplication, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_dialogs(dialogs)
    , m_processes(processes)
    , m_clock(clock)
    , m_appDir(std::move(appDir))
    , m_catalog(std::move(catalog))
    , m_endApplication(std::move(endApplication))
    , m_instance(lockFile)
    , ADOPALETTE(new DataView(Kestravo, QStringLiteral("kestravo_palette"), m_appDir, this))
    , m_articles(new DataView(Kestravo, QStringLiteral("kestravo_global"), m_appDir, this))
    , m_available(*m_articles, *this, dialogs)
    , m_codes(*ADOPALETTE, *m_articles, *this, dialogs, m_appDir)
    , m_labelRun(*ADOPALETTE, *this, dialogs)
    , m_dispatch(*ADOPALETTE, m_available, *this, dialogs, m_appDir)
{
    setObjectName(QStringLiteral("FPRINCIPAL"));
    setWindowTitle(QStringLiteral("Gestion de flux "));
    ADOPALETTE->setObjectName(QStringLiteral("ADOPALETTE"));
    m_articles->setObjectName(QStringLiteral("ADOGLOBAL"));
    // Design-time record source: no row until an operation sets its own.
    ADOPALETTE->setRecordSource(QStringLiteral("select * from kestravo_palette where PAL_CAB  like ?\n"),
                                {QStringLiteral("1ZZ")});
    buildControls();
    connect(ADOPALETTE, &DataView::currentChanged, this, &FPRINCIPAL::updateBoundLabels);
    connect(m_articles, &DataView::currentChanged, this, [this] {
        G_WF_PAL_CAB->setText(m_articles->text(QStringLiteral("G_WF_PAL_CAB")));
        GRIDARTICLES->selectRow(m_articles->currentRow());
    });
    resize(1180, 760);
}

FPRINCIPAL::~FPRINCIPAL()
{
    if (m_busy)
        QApplication::restoreOverrideCursor();
}

void FPRINCIPAL::buildControls()
{
    Image1 = named(new QLabel(this), "Image1");
    Image1->setPixmap(badge(QSize(64, 64), QColor(0x1f, 0x4e, 0x8c), QColor(0x4f, 0x9d, 0xd9)));
    Image2 = named(new QLabel(this), "Image2");
    Image2->setPixmap(badge(QSize(48, 48), QColor(0x8c, 0xc0, 0x3f), QColor(0xc8, 0xe6, 0x8a)));
    Label1 =
        named(new QLabel(QStringLiteral("Generation des codes UT - Impression d'étiquettes d'UT"), this), "Label1");
    QFont title = Label1->font();
    title.setPointSize(title.pointSize() + 5);
    title.setBold(true);
    Label1->setFont(title);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LIB = named(new QLabel(QStringLiteral("Poste palettes et expéditions"), this), "LIB");
    LIB->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Line1 = named(new QFrame(this), "Line1");
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);

    m_body = new QWidget(this);
    auto* columns = new QHBoxLayout(m_body);

    // Articles
    auto* articles = new QGroupBox(QStringLiteral("Articles disponibles"), m_body);
    auto* articleLayout = new QVBoxLayout(articles);
    LINFO = named(new QLabel(QStringLiteral("Liste des articles disponibles"), articles), "LINFO");
    OPTBO = named(new QRadioButton(QStringLiteral("bo"), articles), "OPTBO");
    OPTDIMAB = named(new QRadioButton(QStringLiteral("DIMAB"), articles), "OPTDIMAB");
    Command1 = named(new QPushButton(QStringLiteral("Command1"), articles), "Command1");
    Command1->setToolTip(QStringLiteral("Actualiser la liste des articles disponibles"));
    auto* types = new QHBoxLayout;
    types->addWidget(new QLabel(QStringLiteral("Type :"), articles));
    types->addWidget(OPTBO);
    types->addWidget(OPTDIMAB);
    types->addStretch();
    types->addWidget(Command1);
    LTYPEAIDE = named(new QLabel(QStringLiteral("Choisissez un type d'articles."), articles), "LTYPEAIDE");
    LTOTAL = named(new QLabel(QStringLiteral("Total articles (par couche de 24) :"), articles), "LTOTAL");
    CPLUS24 = named(new QPushButton(QStringLiteral("+24"), articles), "CPLUS24");
    LDIMAB = named(new QLabel(QStringLiteral("Articles DIMAB : pas de total par couche."), articles), "LDIMAB");
    LTOTOARTICLES = named(new QLabel(QStringLiteral("000"), articles), "LTOTOARTICLES");
    QFont narrow = LTOTOARTICLES->font();
    narrow.setStretch(QFont::Condensed);
    narrow.setBold(true);
    LTOTOARTICLES->setFont(narrow);
    LUT = named(new QLabel(QStringLiteral("000"), articles), "LUT");
    auto* totals = new QHBoxLayout;
    totals->addWidget(LTOTAL);
    totals->addWidget(LTOTOARTICLES);
    totals->addWidget(CPLUS24);
    totals->addWidget(LDIMAB);
    totals->addStretch();
    totals->addWidget(new QLabel(QStringLiteral("UT :"), articles));
    totals->addWidget(LUT);
    LTOTAL->setVisible(false);
    CPLUS24->setVisible(false);
    LDIMAB->setVisible(false);
    GRIDARTICLES = named(new QTableView(articles), "GRIDARTICLES");
    GRIDARTICLES->setModel(m_articles);
    GRIDARTICLES->setSelectionBehavior(QAbstractItemView::SelectRows);
    GRIDARTICLES->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GRIDARTICLES->setAlternatingRowColors(true);
    GRIDARTICLES->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    articleLayout->addWidget(LINFO);
    articleLayout->addLayout(types);
    articleLayout->addWidget(LTYPEAIDE);
    articleLayout->addLayout(totals);
    articleLayout->addWidget(GRIDARTICLES, 1);
    columns->addWidget(articles, 3);

    // Pallet and codes
    auto* middle = new QVBoxLayout;
    auto* pallet = new QGroupBox(QStringLiteral("Palette courante"), m_body);
    auto* palletForm = new QFormLayout(pallet);
    const QStringList captions = {"Code :",    "Code (copie) :", "Poids :", "Longueur :",    "Largeur :",
                                  "Hauteur :", "Statut :",       "Train :", "Réf. archive :"};
    for (int i = 0; i < BoundColumns.size(); ++i) {
        auto* label = new QLabel(pallet);
        label->setObjectName(BoundColumns[i]);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        palletForm->addRow(captions[i], label);
        m_boundLabels << label;
    }
    middle->addWidget(pallet);
    Command4 =
        named(new QPushButton(QStringLiteral("Générer 1000 UT à la suite en UTxxxxxxx sur 6 caractères"), m_body),
              "Command4");
    Command2 = named(new QPushButton(QStringLiteral("Command2"), m_body), "Command2");
    Command2->setToolTip(QStringLiteral("Générer 5000 codes de test 771376010001 à 771376015000"));
    middle->addWidget(Command4);
    middle->addWidget(Command2);

    Frame1 = named(new QGroupBox(QStringLiteral("Frame1"), m_body), "Frame1");
    auto* frame1 = new QGridLayout(Frame1);
    Text1 = named(new QLineEdit(QStringLiteral("226081386"), Frame1), "Text1");
    Text2 = named(new QLineEdit(QStringLiteral("226081532"), Frame1), "Text2");
    CMAJ = named(new QPushButton(QStringLiteral("MAJ POUR >>>>"), Frame1), "CMAJ");
    TUT = named(new QLineEdit(QStringLiteral("UT"), Frame1), "TUT");
    TDAT = named(new QLineEdit(QStringLiteral("20160813"), Frame1), "TDAT");
    Command3 = named(new QPushButton(QStringLiteral("NO UT et date extraction"), Frame1), "Command3");
    CPREFIXE = named(new QPushButton(QStringLiteral("Préfixer les codes 77... par UT"), Frame1), "CPREFIXE");
    G_WF_PAL_CAB = named(new QLabel(Frame1), "G_WF_PAL_CAB");
    // Wide enough for a whole archive number or code.
    const int numberWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000000000000")) + 12;
    for (QLineEdit* box : {Text1, Text2, TUT, TDAT})
        box->setMinimumWidth(numberWidth);
    frame1->addWidget(CMAJ, 0, 0);
    frame1->addWidget(Text1, 0, 1);
    frame1->addWidget(Text2, 0, 2);
    frame1->addWidget(Command3, 1, 0);
    frame1->addWidget(TUT, 1, 1);
    frame1->addWidget(TDAT, 1, 2);
    frame1->addWidget(CPREFIXE, 2, 0);
    frame1->addWidget(G_WF_PAL_CAB, 2, 1, 1, 2);
    Frame1->setVisible(false);
    middle->addWidget(Frame1);

    Frame2 = named(new QGroupBox(m_body), "Frame2");
    auto* frame2 = new QVBoxLayout(Frame2);
    RB2 = named(new QProgressBar(Frame2), "RB2");
    RB2->setTextVisible(false);
    frame2->addWidget(RB2);
    middle->addWidget(Frame2);
    middle->addStretch();
    columns->addLayout(middle, 2);

    // Labels and train
    auto* right = new QVBoxLayout;
    auto* labels = new QGroupBox(QStringLiteral("Étiquettes d'UT"), m_body);
    auto* labelLayout = new QVBoxLayout(labels);
    Label2 = named(new QLabel(QStringLiteral("Nombre:"), labels), "Label2");
    Tnbre = named(new QLineEdit(QStringLiteral("0"), labels), "Tnbre");
    Label2->setBuddy(Tnbre);
    auto* count = new QHBoxLayout;
    count->addWidget(Label2);
    count->addWidget(Tnbre);
    labelLayout->addLayout(count);
    Command5 = named(new QPushButton(QStringLiteral("Imprimer des Etiquettes d'UT"), labels), "Command5");
    labelLayout->addWidget(Command5);
    FRIMP = named(new QFrame(labels), "FRIMP");
    FRIMP->setFrameShape(QFrame::StyledPanel);
    auto* frimp = new QVBoxLayout(FRIMP);
    Label4 = named(new QLabel(QStringLiteral("Cliquer sur l'imprimante de votre choix"), FRIMP), "Label4");
    List4 = named(new QListWidget(FRIMP), "List4");
    frimp->addWidget(Label4);
    frimp->addWidget(List4);
    FRIMP->setVisible(false);
    labelLayout->addWidget(FRIMP);
    right->addWidget(labels);

    auto* train = new QGroupBox(QStringLiteral("Départ d'un train"), m_body);
    auto* trainLayout = new QGridLayout(train);
    TSAISIEPAL = named(new QLineEdit(train), "TSAISIEPAL");
    TSAISIEPAL->setPlaceholderText(QStringLiteral("Code palette (saisie ou scan)"));
    CAJOUTPAL = named(new QPushButton(QStringLiteral("Ajouter"), train), "CAJOUTPAL");
    LSTTRAIN = named(new QListWidget(train), "LSTTRAIN");
    CRETIREPAL = named(new QPushButton(QStringLiteral("Retirer"), train), "CRETIREPAL");
    TNOTRAIN = named(new QLineEdit(train), "TNOTRAIN");
    TNBPALETTE = named(new QLineEdit(QStringLiteral("0"), train), "TNBPALETTE");
    TNBPALETTE->setReadOnly(true);
    CDEPART = named(new QPushButton(QStringLiteral("Départ du train"), train), "CDEPART");
    trainLayout->addWidget(TSAISIEPAL, 0, 0, 1, 2);
    trainLayout->addWidget(CAJOUTPAL, 0, 2);
    trainLayout->addWidget(LSTTRAIN, 1, 0, 3, 2);
    trainLayout->addWidget(CRETIREPAL, 1, 2);
    trainLayout->addWidget(new QLabel(QStringLiteral("N° de train :"), train), 4, 0);
    trainLayout->addWidget(TNOTRAIN, 4, 1, 1, 2);
    trainLayout->addWidget(new QLabel(QStringLiteral("Nombre de palettes :"), train), 5, 0);
    trainLayout->addWidget(TNBPALETTE, 5, 1, 1, 2);
    trainLayout->addWidget(CDEPART, 6, 0, 1, 3);
    right->addWidget(train);

    auto* lookup = new QGroupBox(QStringLiteral("Recherche d'un train"), m_body);
    auto* lookupLayout = new QHBoxLayout(lookup);
    TRECHTRAIN = named(new QLineEdit(lookup), "TRECHTRAIN");
    TRECHTRAIN->setPlaceholderText(QStringLiteral("N° de train"));
    CRECHTRAIN = named(new QPushButton(QStringLiteral("Rechercher"), lookup), "CRECHTRAIN");
    LNBTRAIN = named(new QLabel(QStringLiteral("0"), lookup), "LNBTRAIN");
    lookupLayout->addWidget(TRECHTRAIN);
    lookupLayout->addWidget(CRECHTRAIN);
    lookupLayout->addWidget(new QLabel(QStringLiteral("palettes :"), lookup));
    lookupLayout->addWidget(LNBTRAIN);
    right->addWidget(lookup);

    Line2 = named(new QFrame(m_body), "Line2");
    Line2->setFrameShape(QFrame::HLine);
    Line2->setFrameShadow(QFrame::Sunken);
    right->addWidget(Line2);
    CQ = named(new QToolButton(m_body), "CQ");
    CQ->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    CQ->setText(QStringLiteral("Quitter"));
    CQ->setToolTip(QStringLiteral("Quitter"));
    CQ->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    right->addWidget(CQ, 0, Qt::AlignRight);
    right->addStretch();
    columns->addLayout(right, 2);

    FRWAIT = named(new QFrame(this), "FRWAIT");
    FRWAIT->setFrameShape(QFrame::Box);
    FRWAIT->setAutoFillBackground(true);
    LINFOWAIT1 = named(new QLabel(QStringLiteral("Veuillez patienter"), FRWAIT), "LINFOWAIT1");
    LINFOWAIT2 = named(new QLabel(QStringLiteral("Veuillez patienter"), FRWAIT), "LINFOWAIT2");
    RBWAIT = named(new QProgressBar(FRWAIT), "RBWAIT");
    FRWAIT->setVisible(false);

    connect(Command1, &QPushButton::clicked, this, &FPRINCIPAL::Command1_Click);
    connect(Command5, &QPushButton::clicked, this, &FPRINCIPAL::Command5_Click);
    connect(List4, &QListWidget::itemClicked, this, &FPRINCIPAL::List4_Click);
    connect(Command4, &QPushButton::clicked, this, &FPRINCIPAL::Command4_Click);
    connect(Command2, &QPushButton::clicked, this, &FPRINCIPAL::Command2_Click);
    connect(CMAJ, &QPushButton::clicked, this, &FPRINCIPAL::CMAJ_Click);
    connect(Command3, &QPushButton::clicked, this, &FPRINCIPAL::Command3_Click);
    connect(CPREFIXE, &QPushButton::clicked, this, &FPRINCIPAL::CPREFIXE_Click);
    connect(CQ, &QToolButton::clicked, this, &FPRINCIPAL::CQ_Click);
    connect(OPTBO, &QRadioButton::clicked, this, [this] { chooseType(QStringLiteral("bo")); });
    connect(OPTDIMAB, &QRadioButton::clicked, this, [this] { chooseType(QStringLiteral("DIMAB")); });
    connect(CPLUS24, &QPushButton::clicked, this, &FPRINCIPAL::stepArticleTotal);
    connect(CAJOUTPAL, &QPushButton::clicked, this, &FPRINCIPAL::CAJOUTPAL_Click);
    connect(TSAISIEPAL, &QLineEdit::returnPressed, this, &FPRINCIPAL::CAJOUTPAL_Click); // scanners end with Enter
    connect(CRETIREPAL, &QPushButton::clicked, this, &FPRINCIPAL::CRETIREPAL_Click);
    connect(CDEPART, &QPushButton::clicked, this, &FPRINCIPAL::CDEPART_Click);
    connect(CRECHTRAIN, &QPushButton::clicked, this, &FPRINCIPAL::CRECHTRAIN_Click);
    connect(TRECHTRAIN, &QLineEdit::returnPressed, this, &FPRINCIPAL::CRECHTRAIN_Click);
}

bool FPRINCIPAL::claimInstance()
{
    if (m_instance.claim())
        return true;
    StationMessages::inform(m_dialogs, QStringLiteral("Désolé, l'application est déjà lancée..."));
    if (m_endApplication)
        m_endApplication(1);
    return false;
}

bool FPRINCIPAL::load()
{
    if (!claimInstance())
        return false;
    setWindowTitle(QStringLiteral("Gestion de flux ") + QStringLiteral(" - USER ") +
                   OperatorContext::text(m_context.userName) + QStringLiteral(" - ") +
                   OperatorContext::text(m_context.fifthValue) + QStringLiteral(" - ") +
                   OperatorContext::text(m_context.groupCode));
    processEvents();
    m_total.reset();
    LTOTOARTICLES->setText(QStringLiteral("0"));
    // The code maintenance of Frame1 is for administrators only.
    Frame1->setVisible(OperatorContext::text(m_context.ADMIN).trimmed() == QLatin1String("1"));
    XRAZ();
    fillPrinters();
    // The pallet view connects when the window opens; a database out of reach is said now.
    if (!ADOPALETTE->refresh())
        StationMessages::inform(m_dialogs, QStringLiteral("La base de données KESTRAVO2019 est injoignable : la "
                                                          "station ne peut pas lire les palettes pour l'instant.\n\n") +
                                               ADOPALETTE->error());
    return true;
}

void FPRINCIPAL::XRAZ()
{
    TSAISIEPAL->setFocus();
}

bool FPRINCIPAL::Xrefresh()
{
    return m_available.Xrefresh();
}

void FPRINCIPAL::fillPrinters()
{
    List4->clear();
    List4->addItems(m_catalog.deviceNames());
}

void FPRINCIPAL::updateBoundLabels()
{
    for (QLabel* label : std::as_const(m_boundLabels)) {
        const QString column =
            label->objectName() == QLatin1String("PAL_CABx") ? QStringLiteral("PAL_CAB") : label->objectName();
        label->setText(ADOPALETTE->text(column));
    }
}

void FPRINCIPAL::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutControls();
}

void FPRINCIPAL::layoutControls()
{
    const int w = width();
    Image1->setGeometry(12, 10, 64, 64);
    Image2->adjustSize();
    Image2->move(w - Image2->width() - px(350), 14);
    Label1->adjustSize();
    Label1->move(w - (Image2->width() + px(500)) - Label1->width(), 12);
    LIB->adjustSize();
    LIB->move(w - (Image2->width() + px(500)) - LIB->width(), 12 + Label1->height() + 6);
    Line1->setGeometry(12, HeaderHeight - 6, std::max(0, w - px(200) - 12), 3);
    m_body->setGeometry(0, HeaderHeight, w, std::max(0, height() - HeaderHeight));
    FRWAIT->setGeometry(0, HeaderHeight, w, 86);
    LINFOWAIT1->setGeometry(12, 6, std::max(0, w - 24), 20);
    LINFOWAIT2->setGeometry(12, 28, std::max(0, w - 24), 20);
    RBWAIT->setGeometry(12, 54, std::max(0, w - px(1500)), 22);
}

void FPRINCIPAL::chooseType(const QString& prefix)
{
    const bool bo = prefix == QLatin1String("bo");
    LTOTAL->setVisible(bo);
    CPLUS24->setVisible(bo);
    LDIMAB->setVisible(!bo);
    LTYPEAIDE->setVisible(false);
    m_available.setTypeFilter(prefix);
    Xrefresh();
}

void FPRINCIPAL::stepArticleTotal()
{
    if (!m_total.step()) {
        StationMessages::inform(m_dialogs, QStringLiteral("Dépassement de capacité : le total des articles ne peut "
                                                          "pas dépasser 32767. Le total reste à %1.")
                                               .arg(m_total.value()));
        return;
    }
    LTOTOARTICLES->setText(QString::number(m_total.value()));
}

void FPRINCIPAL::Command1_Click()
{
    Xrefresh();
}

void FPRINCIPAL::Command5_Click()
{
    // Asking for labels cancels a departure that waited for its printer.
    m_dispatchPending = false;
    FRIMP->setVisible(true);
}

void FPRINCIPAL::List4_Click()
{
    if (m_dispatchPending) {
        m_dispatchPending = false;
        runDispatch();
    } else {
        runLabels();
    }
}

void FPRINCIPAL::runLabels()
{
    const QListWidgetItem* item = List4->currentItem();
    QString error;
    const QString name = item ? item->text() : QString();
    processEvents();
    if (!PrinterChoice::choose(m_printer, m_catalog, name, &error)) {
        StationMessages::inform(m_dialogs, error);
        return;
    }
    m_labelRun.run(m_printer, Tnbre->text());
}

void FPRINCIPAL::runDispatch()
{
    FRIMP->setVisible(false);
    const QListWidgetItem* item = List4->currentItem();
    QString error;
    const QString name = item ? item->text() : QString();
    processEvents();
    if (!PrinterChoice::choose(m_printer, m_catalog, name, &error)) {
        StationMessages::inform(m_dialogs, error + QStringLiteral(" La base de données n'a pas été mise à jour."));
        return;
    }
    const TrainDispatch::Outcome outcome =
        m_dispatch.dispatch(m_printer, TNOTRAIN->text(), trainList(), TNBPALETTE->text(),
                            OperatorContext::text(m_context.userName), m_clock.now().date());
    if (outcome == TrainDispatch::Outcome::Dispatched) {
        // The train left: its pallets cannot go again.
        LSTTRAIN->clear();
        updatePalletCount();
        XRAZ();
    }
}

QStringList FPRINCIPAL::trainList() const
{
    QStringList codes;
    for (int i = 0; i < LSTTRAIN->count(); ++i)
        codes << LSTTRAIN->item(i)->text();
    return codes;
}

void FPRINCIPAL::updatePalletCount()
{
    TNBPALETTE->setText(QString::number(LSTTRAIN->count()));
}

void FPRINCIPAL::CAJOUTPAL_Click()
{
    const QString code = TSAISIEPAL->text().trimmed();
    if (code.isEmpty())
        return;
    QString error;
    if (!m_dispatch.checkPallet(code, trainList(), &error)) {
        StationMessages::inform(m_dialogs, error);
        TSAISIEPAL->selectAll();
        return;
    }
    LSTTRAIN->addItem(code);
    updatePalletCount();
    TSAISIEPAL->clear();
    TSAISIEPAL->setFocus();
}

void FPRINCIPAL::CRETIREPAL_Click()
{
    delete LSTTRAIN->takeItem(LSTTRAIN->currentRow());
    updatePalletCount();
}

void FPRINCIPAL::CDEPART_Click()
{
    if (!m_dispatch.confirmDeparture(trainList()))
        return;
    fillPrinters();
    FRIMP->setVisible(true);
    m_dispatchPending = true;
}

void FPRINCIPAL::CRECHTRAIN_Click()
{
    const int found = m_dispatch.lookup(TRECHTRAIN->text());
    if (found >= 0 && !TRECHTRAIN->text().isEmpty())
        LNBTRAIN->setText(QString::number(found));
}

void FPRINCIPAL::Command4_Click()
{
    m_codes.Command4();
}

void FPRINCIPAL::Command2_Click()
{
    m_codes.Command2();
}

void FPRINCIPAL::CMAJ_Click()
{
    m_codes.CMAJ(Text1->text(), Text2->text());
}

void FPRINCIPAL::Command3_Click()
{
    m_codes.Command3(TUT->text(), TDAT->text());
}

void FPRINCIPAL::CPREFIXE_Click()
{
    m_codes.prefixOldCodes();
}

void FPRINCIPAL::CQ_Click()
{
    StationMessages::inform(m_dialogs, QStringLiteral("A bientôt ") + OperatorContext::text(m_context.userName));
    m_processes.terminateByImageName(QStringLiteral("KESTRAVO_MAJ_CODEPALETTE.exe"));
    if (m_endApplication)
        m_endApplication(0);
}

void FPRINCIPAL::setWaitVisible(bool visible)
{
    FRWAIT->setVisible(visible);
    if (visible)
        FRWAIT->raise();
}

void FPRINCIPAL::setWaitInfo(const QString& text)
{
    LINFOWAIT2->setText(text);
}

void FPRINCIPAL::setProgressVisible(bool visible)
{
    RBWAIT->setVisible(visible);
}

void FPRINCIPAL::setProgressMaximum(int maximum)
{
    RBWAIT->setMaximum(maximum);
}

void FPRINCIPAL::setProgressValue(int value)
{
    RBWAIT->setValue(value);
}

void FPRINCIPAL::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void FPRINCIPAL::setArticleInfo(const QString& text)
{
    LINFO->setText(text);
}

void FPRINCIPAL::processEvents()
{
    QCoreApplication::processEvents();
}
