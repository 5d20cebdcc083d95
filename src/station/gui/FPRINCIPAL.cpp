#include "FPRINCIPAL.h"
#include "platform/widgets/WindowControls.h"

#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/ProcessControl.h"
#include "station/DataView.h"
#include "station/PalletCodeIndex.h"
#include "station/PrinterChoice.h"
#include "station/StationMessages.h"

#include <QApplication>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
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

// The runs let window events through while they work; a second run started from one of them
// would wait on the first (the embedded database's lock, the printer) and never finish.
class RunGuard final {
public:
    explicit RunGuard(bool& running)
        : m_running(running)
        , m_owns(!running)
    {
        m_running = true;
    }
    ~RunGuard()
    {
        if (m_owns)
            m_running = false;
    }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;
    bool owns() const { return m_owns; }

private:
    bool& m_running;
    bool m_owns;
};

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
    setWindowIcon(WindowControls::programIcon());
    // Fits a 1366 x 768 screen with its title bar and task bar; smaller, the body scrolls.
    setMinimumSize(480, 360);
    resize(WindowControls::firstSize(this, QSize(1180, 660)));
}

FPRINCIPAL::~FPRINCIPAL()
{
    if (m_busy)
        QApplication::restoreOverrideCursor();
}

void FPRINCIPAL::buildControls()
{
    // Controls are made in reading order, column by column, so that Tab follows the screen.
    buildHeader();
    // Below its minimum the body scrolls rather than letting controls overlap.
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    WindowControls::keepFocusInView(m_scroll);
    m_body = new QWidget(m_scroll->viewport());
    auto* columns = new QHBoxLayout(m_body);

    columns->addWidget(buildArticlesFrame(), 3);
    columns->addLayout(buildPalletColumn(), 2);
    columns->addLayout(buildLabelsColumn(), 3);
    m_scroll->setWidget(m_body);

    StatusBar1 = named(new QStatusBar(this), "StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    Line2 = named(new QFrame(this), "Line2");
    Line2->setFrameShape(QFrame::HLine);
    Line2->setFrameShadow(QFrame::Sunken);
    CQ = named(new QToolButton(this), "CQ");
    CQ->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    CQ->setText(QStringLiteral("Quitter"));
    CQ->setToolTip(QStringLiteral("Quitter"));
    CQ->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    CQ->setFocusPolicy(Qt::StrongFocus);

    FRWAIT = named(new QFrame(this), "FRWAIT");
    FRWAIT->setFrameShape(QFrame::Box);
    FRWAIT->setAutoFillBackground(true);
    LINFOWAIT1 = named(new QLabel(QStringLiteral("Veuillez patienter"), FRWAIT), "LINFOWAIT1");
    LINFOWAIT2 = named(new QLabel(QStringLiteral("Veuillez patienter"), FRWAIT), "LINFOWAIT2");
    RBWAIT = named(new QProgressBar(FRWAIT), "RBWAIT");
    FRWAIT->setVisible(false);

    connectControls();
}

// The title, the pictures and the line under them.
void FPRINCIPAL::buildHeader()
{
    Image1 = named(new QLabel(this), "Image1");
    Image1->setPixmap(badge(QSize(64, 64), QColor(0x1f, 0x4e, 0x8c), QColor(0x4f, 0x9d, 0xd9)));
    Label1 =
        named(new QLabel(QStringLiteral("Generation des codes UT - Impression d'étiquettes d'UT"), this), "Label1");
    QFont title = Label1->font();
    title.setPointSize(title.pointSize() + 5);
    title.setBold(true);
    Label1->setFont(title);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label1->setWordWrap(true);
    LIB = named(new QLabel(QStringLiteral("Poste palettes et expéditions"), this), "LIB");
    LIB->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Image2 = named(new QLabel(this), "Image2");
    Image2->setPixmap(badge(QSize(48, 48), QColor(0x8c, 0xc0, 0x3f), QColor(0xc8, 0xe6, 0x8a)));
    Line1 = named(new QFrame(this), "Line1");
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
}

// The available articles: the type choice, the totals and the grid.
QGroupBox* FPRINCIPAL::buildArticlesFrame()
{
    auto* articles = new QGroupBox(QStringLiteral("Articles disponibles"), m_body);
    auto* articleLayout = new QVBoxLayout(articles);
    LINFO = named(new QLabel(QStringLiteral("Liste des articles disponibles"), articles), "LINFO");
    auto* typeLabel = new QLabel(QStringLiteral("Type :"), articles);
    OPTBO = named(new QRadioButton(QStringLiteral("bo"), articles), "OPTBO");
    OPTDIMAB = named(new QRadioButton(QStringLiteral("DIMAB"), articles), "OPTDIMAB");
    Command1 = named(new QPushButton(QStringLiteral("Command1"), articles), "Command1");
    Command1->setToolTip(QStringLiteral("Actualiser la liste des articles disponibles"));
    auto* types = new QHBoxLayout;
    types->addWidget(typeLabel);
    types->addWidget(OPTBO);
    types->addWidget(OPTDIMAB);
    types->addStretch();
    types->addWidget(Command1);
    LTYPEAIDE = named(new QLabel(QStringLiteral("Choisissez un type d'articles."), articles), "LTYPEAIDE");
    LTOTAL = named(new QLabel(QStringLiteral("Total articles (par couche de 24) :"), articles), "LTOTAL");
    LTOTOARTICLES = named(new QLabel(QStringLiteral("000"), articles), "LTOTOARTICLES");
    QFont narrow = LTOTOARTICLES->font();
    narrow.setStretch(QFont::Condensed);
    narrow.setBold(true);
    LTOTOARTICLES->setFont(narrow);
    CPLUS24 = named(new QPushButton(QStringLiteral("+24"), articles), "CPLUS24");
    LDIMAB = named(new QLabel(QStringLiteral("Articles DIMAB : pas de total par couche."), articles), "LDIMAB");
    auto* utLabel = new QLabel(QStringLiteral("UT :"), articles);
    LUT = named(new QLabel(QStringLiteral("000"), articles), "LUT");
    auto* totals = new QHBoxLayout;
    totals->addWidget(LTOTAL, 1);
    totals->addWidget(LTOTOARTICLES);
    totals->addWidget(CPLUS24);
    totals->addWidget(LDIMAB, 1);
    totals->addStretch();
    totals->addWidget(utLabel);
    totals->addWidget(LUT);
    // These wrap rather than widen the column when a type selection shows them.
    LTOTAL->setWordWrap(true);
    LDIMAB->setWordWrap(true);
    LTOTAL->setVisible(false);
    CPLUS24->setVisible(false);
    LDIMAB->setVisible(false);
    GRIDARTICLES = named(new QTableView(articles), "GRIDARTICLES");
    GRIDARTICLES->setModel(m_articles);
    GRIDARTICLES->setSelectionBehavior(QAbstractItemView::SelectRows);
    GRIDARTICLES->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GRIDARTICLES->setAlternatingRowColors(true);
    GRIDARTICLES->setTabKeyNavigation(false); // Tab leaves the grid for the next control
    GRIDARTICLES->setMinimumSize(200, 120);
    GRIDARTICLES->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    GRIDARTICLES->horizontalHeader()->setStretchLastSection(true);
    m_articles->setHeadings({{QStringLiteral("G_NO_PALETTE"), QStringLiteral("N° palette")},
                             {QStringLiteral("G_TYPE_UC"), QStringLiteral("Type")},
                             {QStringLiteral("G_WF_ETAT"), QStringLiteral("État")},
                             {QStringLiteral("G_LOCALISATION_PERMANENTE"), QStringLiteral("Emplacement")},
                             {QStringLiteral("G_WF_PAL_CAB"), QStringLiteral("Code palette")},
                             {QStringLiteral("G_WF_DATE_EXTRACTION"), QStringLiteral("Extraction")},
                             {QStringLiteral("G_WF_DATE_MODIF"), QStringLiteral("Modifié le")},
                             {QStringLiteral("G_WF_USER_MODIF"), QStringLiteral("Modifié par")}});
    // The available articles are on no pallet and in no workflow state: those two columns of the
    // query are always empty, so they are not shown.
    connect(m_articles, &QAbstractItemModel::modelReset, this, [this] {
        for (int c = 0; c < m_articles->columnCount(); ++c) {
            const QString name = m_articles->columnName(c);
            GRIDARTICLES->setColumnHidden(c,
                                          name == QLatin1String("G_NO_PALETTE") || name == QLatin1String("G_WF_ETAT"));
        }
    });
    articleLayout->addWidget(LINFO);
    articleLayout->addLayout(types);
    articleLayout->addWidget(LTYPEAIDE);
    articleLayout->addLayout(totals);
    articleLayout->addWidget(GRIDARTICLES, 1);
    return articles;
}

// The current pallet, the code commands, the hidden maintenance frame and the train lookup.
QVBoxLayout* FPRINCIPAL::buildPalletColumn()
{
    auto* middle = new QVBoxLayout;
    middle->addWidget(buildPalletFrame());
    Command4 =
        named(new QPushButton(QStringLiteral("Générer 1000 UT à la suite en UTxxxxxxx sur 6 caractères"), m_body),
              "Command4");
    Command2 = named(new QPushButton(QStringLiteral("Command2"), m_body), "Command2");
    Command2->setToolTip(QStringLiteral("Générer 5000 codes de test 771376010001 à 771376015000"));
    middle->addWidget(Command4);
    middle->addWidget(Command2);

    middle->addWidget(buildCodesFrame());

    Frame2 = named(new QGroupBox(m_body), "Frame2");
    auto* frame2 = new QVBoxLayout(Frame2);
    RB2 = named(new QProgressBar(Frame2), "RB2");
    RB2->setTextVisible(false);
    frame2->addWidget(RB2);
    middle->addWidget(Frame2);
    Frame2->setVisible(false); // no operation drives its bar: shown, it only looked like an input box
    auto* lookup = new QGroupBox(QStringLiteral("Recherche d'un train"), m_body);
    auto* lookupLayout = new QHBoxLayout(lookup);
    TRECHTRAIN = named(new QLineEdit(lookup), "TRECHTRAIN");
    TRECHTRAIN->setPlaceholderText(QStringLiteral("N° de train"));
    CRECHTRAIN = named(new QPushButton(QStringLiteral("Rechercher"), lookup), "CRECHTRAIN");
    auto* foundLabel = new QLabel(QStringLiteral("palettes :"), lookup);
    LNBTRAIN = named(new QLabel(QStringLiteral("0"), lookup), "LNBTRAIN");
    lookupLayout->addWidget(TRECHTRAIN, 1);
    lookupLayout->addWidget(CRECHTRAIN);
    lookupLayout->addWidget(foundLabel);
    lookupLayout->addWidget(LNBTRAIN);
    middle->addWidget(lookup);
    middle->addStretch();
    return middle;
}

QGroupBox* FPRINCIPAL::buildPalletFrame()
{
    auto* pallet = new QGroupBox(QStringLiteral("Palette courante"), m_body);
    auto* palletGrid = new QGridLayout(pallet);
    palletGrid->setVerticalSpacing(2);
    const QStringList captions = {"Code :",    "Code (copie) :", "Poids :", "Longueur :",    "Largeur :",
                                  "Hauteur :", "Statut :",       "Train :", "Réf. archive :"};
    for (int i = 0; i < BoundColumns.size(); ++i) {
        auto* caption = new QLabel(captions[i], pallet);
        auto* label = new QLabel(pallet);
        label->setObjectName(BoundColumns[i]);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // The columns keep their widths when values appear: a long value is cut, not widened.
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        label->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000000000")));
        caption->setBuddy(label);
        // Two pairs a row keep the frame short.
        palletGrid->addWidget(caption, i / 2, (i % 2) * 2);
        palletGrid->addWidget(label, i / 2, (i % 2) * 2 + 1);
        m_boundLabels << label;
    }
    palletGrid->setColumnStretch(1, 1);
    palletGrid->setColumnStretch(3, 1);
    return pallet;
}

// Frame1: the maintenance commands over the codes, hidden.
QGroupBox* FPRINCIPAL::buildCodesFrame()
{
    Frame1 = named(new QGroupBox(QStringLiteral("Frame1"), m_body), "Frame1");
    auto* frame1 = new QGridLayout(Frame1);
    CMAJ = named(new QPushButton(QStringLiteral("MAJ POUR >>>>"), Frame1), "CMAJ");
    Text1 = named(new QLineEdit(QStringLiteral("226081386"), Frame1), "Text1");
    Text2 = named(new QLineEdit(QStringLiteral("226081532"), Frame1), "Text2");
    Command3 = named(new QPushButton(QStringLiteral("NO UT et date extraction"), Frame1), "Command3");
    TUT = named(new QLineEdit(QStringLiteral("UT"), Frame1), "TUT");
    TDAT = named(new QLineEdit(QStringLiteral("20160813"), Frame1), "TDAT");
    CPREFIXE = named(new QPushButton(QStringLiteral("Préfixer les codes 77... par UT"), Frame1), "CPREFIXE");
    G_WF_PAL_CAB = named(new QLabel(Frame1), "G_WF_PAL_CAB");
    // Wide enough for a whole archive number or code.
    const int numberWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000000000000")) + 12;
    for (QLineEdit* box : {Text1, Text2, TUT, TDAT})
        box->setMinimumWidth(numberWidth);
    // Each command above its two boxes: the frame stays narrow.
    frame1->addWidget(CMAJ, 0, 0, 1, 2);
    frame1->addWidget(Text1, 1, 0);
    frame1->addWidget(Text2, 1, 1);
    frame1->addWidget(Command3, 2, 0, 1, 2);
    frame1->addWidget(TUT, 3, 0);
    frame1->addWidget(TDAT, 3, 1);
    frame1->addWidget(CPREFIXE, 4, 0, 1, 2);
    frame1->addWidget(G_WF_PAL_CAB, 5, 0, 1, 2);
    Frame1->setVisible(false);
    return Frame1;
}

// The labels and their printers (FRIMP), then the train's departure.
QVBoxLayout* FPRINCIPAL::buildLabelsColumn()
{
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
    LDEPART = named(new QLabel(FRIMP), "LDEPART");
    QFont armed = LDEPART->font();
    armed.setBold(true);
    LDEPART->setFont(armed);
    LDEPART->setStyleSheet(QStringLiteral("color: #b03a2e;"));
    LDEPART->setVisible(false);
    Label4 = named(new QLabel(QStringLiteral("Cliquer sur l'imprimante de votre choix"), FRIMP), "Label4");
    List4 = named(new QListWidget(FRIMP), "List4");
    List4->setMinimumHeight(60);
    List4->setMaximumHeight(90);
    List4->installEventFilter(this);
    frimp->addWidget(LDEPART);
    frimp->addWidget(Label4);
    frimp->addWidget(List4);
    FRIMP->setVisible(false);
    labelLayout->addWidget(FRIMP);
    right->addWidget(labels);

    right->addWidget(buildTrainFrame(), 1);
    return right;
}

QGroupBox* FPRINCIPAL::buildTrainFrame()
{
    auto* train = new QGroupBox(QStringLiteral("Départ d'un train"), m_body);
    auto* trainLayout = new QGridLayout(train);
    TSAISIEPAL = named(new QLineEdit(train), "TSAISIEPAL");
    TSAISIEPAL->setPlaceholderText(QStringLiteral("Code palette (saisie ou scan)"));
    CAJOUTPAL = named(new QPushButton(QStringLiteral("Ajouter"), train), "CAJOUTPAL");
    LSTTRAIN = named(new QListWidget(train), "LSTTRAIN");
    LSTTRAIN->setMinimumHeight(80);
    CRETIREPAL = named(new QPushButton(QStringLiteral("Retirer"), train), "CRETIREPAL");
    auto* numberLabel = new QLabel(QStringLiteral("N° de train :"), train);
    TNOTRAIN = named(new QLineEdit(train), "TNOTRAIN");
    numberLabel->setBuddy(TNOTRAIN);
    auto* countLabel = new QLabel(QStringLiteral("Nombre de palettes :"), train);
    TNBPALETTE = named(new QLineEdit(QStringLiteral("0"), train), "TNBPALETTE");
    TNBPALETTE->setReadOnly(true);
    TNBPALETTE->setFocusPolicy(Qt::NoFocus); // a count to read, not a stop on the way
    WindowControls::lookReadOnly(TNBPALETTE);
    countLabel->setBuddy(TNBPALETTE);
    CDEPART = named(new QPushButton(QStringLiteral("Départ du train"), train), "CDEPART");
    trainLayout->addWidget(TSAISIEPAL, 0, 0, 1, 2);
    trainLayout->addWidget(CAJOUTPAL, 0, 2);
    trainLayout->addWidget(LSTTRAIN, 1, 0, 3, 2);
    trainLayout->addWidget(CRETIREPAL, 1, 2);
    trainLayout->setRowStretch(3, 1);
    trainLayout->addWidget(numberLabel, 4, 0);
    trainLayout->addWidget(TNOTRAIN, 4, 1, 1, 2);
    trainLayout->addWidget(countLabel, 5, 0);
    trainLayout->addWidget(TNBPALETTE, 5, 1, 1, 2);
    trainLayout->addWidget(CDEPART, 6, 0, 1, 3);
    return train;
}

void FPRINCIPAL::connectControls()
{
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
    connect(Tnbre, &QLineEdit::returnPressed, this, &FPRINCIPAL::Tnbre_Return);
    connect(CAJOUTPAL, &QPushButton::clicked, this, &FPRINCIPAL::CAJOUTPAL_Click);
    connect(TSAISIEPAL, &QLineEdit::returnPressed, this, &FPRINCIPAL::CAJOUTPAL_Click); // scanners end with Enter
    connect(CRETIREPAL, &QPushButton::clicked, this, &FPRINCIPAL::CRETIREPAL_Click);
    connect(TNOTRAIN, &QLineEdit::returnPressed, TSAISIEPAL, qOverload<>(&QWidget::setFocus));
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
    // The code maintenance commands are for administrators only.
    Frame1->setVisible(isAdministrator());
    Command4->setVisible(isAdministrator());
    Command2->setVisible(isAdministrator());
    XRAZ();
    fillPrinters();
    // The pallet view connects when the window opens; a database out of reach is said now.
    if (!ADOPALETTE->refresh()) {
        StationMessages::inform(m_dialogs, QStringLiteral("La base de données KESTRAVO2019 est injoignable : la "
                                                          "station ne peut pas lire les palettes pour l'instant.\n\n") +
                                               ADOPALETTE->error());
        return true;
    }
    const PalletCodeIndex::State codes = PalletCodeIndex::ensure(m_appDir);
    if (isAdministrator()) {
        const QString notice = PalletCodeIndex::takeNotice(m_appDir, codes);
        if (!notice.isEmpty())
            StationMessages::inform(m_dialogs, notice);
    }
    return true;
}

bool FPRINCIPAL::isAdministrator() const
{
    return OperatorContext::text(m_context.ADMIN).trimmed() == QLatin1String("1");
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
    const int h = height();
    Image1->setGeometry(12, 10, 64, 64);
    Image2->adjustSize();
    Image2->move(w - Image2->width() - px(350), 14);
    // The title keeps to the right; where the window is too narrow for one line it wraps
    // rather than running over the logo on the left.
    const int titleRight = w - (Image2->width() + px(500));
    const int titleRoom = std::max(40, titleRight - (Image1->geometry().right() + 12));
    const int titleWidth = std::min(titleRoom, Label1->fontMetrics().horizontalAdvance(Label1->text()) + 4);
    Label1->setGeometry(titleRight - titleWidth, 12, titleWidth, Label1->heightForWidth(titleWidth));
    LIB->adjustSize();
    const int libWidth = std::min(titleRoom, LIB->width());
    LIB->setGeometry(titleRight - libWidth, Label1->geometry().bottom() + 7, libWidth, LIB->height());
    const int header = std::max(HeaderHeight, LIB->geometry().bottom() + 12);
    Line1->setGeometry(12, header - 6, std::max(0, w - px(200) - 12), 3);

    const int bottom = std::max(CQ->sizeHint().height(), StatusBar1->sizeHint().height()) + 8;
    m_scroll->setGeometry(0, header, w, std::max(0, h - header - bottom));
    Line2->setGeometry(12, h - bottom, std::max(0, w - 24), 3);
    const QSize quit = CQ->sizeHint();
    CQ->setGeometry(w - quit.width() - 10, h - bottom + (bottom - quit.height()) / 2 + 1, quit.width(), quit.height());
    StatusBar1->setGeometry(4, h - bottom + 3, std::max(0, w - quit.width() - 24), bottom - 4);

    FRWAIT->setGeometry(0, header, w, 86);
    LINFOWAIT1->setGeometry(12, 6, std::max(0, w - 24), 20);
    LINFOWAIT2->setGeometry(12, 28, std::max(0, w - 24), 20);
    RBWAIT->setGeometry(12, 54, std::max(0, w - px(1500)), 22);
}

void FPRINCIPAL::chooseType(const QString& prefix)
{
    const RunGuard guard(m_running);
    if (!guard.owns())
        return;
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

void FPRINCIPAL::keyPressEvent(QKeyEvent* event)
{
    // Outside a dialog a focused button ignores Enter; operators at the keyboard expect it to press.
    auto* button = qobject_cast<QAbstractButton*>(focusWidget());
    if (button && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && button->isEnabled()) {
        button->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool FPRINCIPAL::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == List4 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && List4->currentItem()) {
            List4_Click(); // Enter on a printer does what a click does
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FPRINCIPAL::Command1_Click()
{
    const RunGuard guard(m_running);
    if (guard.owns())
        Xrefresh();
}

void FPRINCIPAL::Command5_Click()
{
    // Asking for labels cancels a departure that waited for its printer.
    if (m_dispatchPending) {
        StatusBar1->showMessage(QStringLiteral("Départ du train %1 annulé : le prochain clic sur une imprimante "
                                               "imprime des étiquettes.")
                                    .arg(m_armedTrain));
        disarmDeparture();
    }
    FRIMP->setVisible(true);
}

void FPRINCIPAL::Tnbre_Return()
{
    Command5_Click();
    focusPrinters();
}

void FPRINCIPAL::focusPrinters()
{
    if (!List4->currentItem() && List4->count() > 0)
        List4->setCurrentRow(0);
    List4->setFocus();
}

void FPRINCIPAL::armDeparture(const QString& number)
{
    m_dispatchPending = true;
    m_armedTrain = number;
    // Lines broken by hand: a word-wrapped label would make the scrolled body ask for its
    // preferred height instead of its minimum one.
    LDEPART->setText(QStringLiteral("Départ du train %1 :\nle prochain clic sur une imprimante\nimprime son bordereau "
                                    "d'expédition.")
                         .arg(number));
    LDEPART->setVisible(true);
    FRIMP->setStyleSheet(QStringLiteral("QFrame#FRIMP { border: 2px solid #b03a2e; border-radius: 3px; }"));
    StatusBar1->clearMessage();
}

void FPRINCIPAL::disarmDeparture()
{
    m_dispatchPending = false;
    LDEPART->setVisible(false);
    FRIMP->setStyleSheet(QString());
}

void FPRINCIPAL::List4_Click()
{
    const RunGuard guard(m_running);
    if (!guard.owns())
        return;
    if (m_dispatchPending) {
        const QString number = m_armedTrain;
        disarmDeparture();
        runDispatch(number);
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

void FPRINCIPAL::runDispatch(const QString& trainNumber)
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
        m_dispatch.dispatch(m_printer, trainNumber, trainList(), TNBPALETTE->text(),
                            OperatorContext::text(m_context.userName), m_clock.now().date());
    if (outcome == TrainDispatch::Outcome::Dispatched) {
        // The train left: its pallets and its number cannot go again.
        LSTTRAIN->clear();
        TNOTRAIN->clear();
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
    const RunGuard guard(m_running);
    if (!guard.owns())
        return;
    const QString code = TrainDispatch::normalised(TSAISIEPAL->text());
    if (code.isEmpty())
        return;
    QString error;
    if (!m_dispatch.checkPallet(code, trainList(), &error)) {
        StationMessages::inform(m_dialogs, error);
        TSAISIEPAL->selectAll();
        return;
    }
    LSTTRAIN->addItem(code);
    // The last scanned code stays in sight however long the train.
    LSTTRAIN->setCurrentRow(LSTTRAIN->count() - 1);
    LSTTRAIN->scrollToItem(LSTTRAIN->currentItem());
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
    const RunGuard guard(m_running);
    if (!guard.owns())
        return;
    QString number;
    if (!m_dispatch.confirmDeparture(trainList(), TNOTRAIN->text(), &number))
        return;
    TNOTRAIN->setText(number);
    fillPrinters();
    FRIMP->setVisible(true);
    armDeparture(number);
    focusPrinters();
}

void FPRINCIPAL::CRECHTRAIN_Click()
{
    const RunGuard guard(m_running);
    if (!guard.owns())
        return;
    const QString number = TrainDispatch::normalised(TRECHTRAIN->text());
    const int found = m_dispatch.lookup(number);
    if (found >= 0 && !number.isEmpty())
        LNBTRAIN->setText(QString::number(found));
}

void FPRINCIPAL::Command4_Click()
{
    const RunGuard guard(m_running);
    if (!guard.owns())
        return;
    // One click writes a thousand rows: asked first, No by default.
    if (!StationMessages::ask(m_dialogs,
                              QStringLiteral("Écrire %1 nouvelles palettes UT (codes UTxxxxxx à la suite des "
                                             "existants) dans la table kestravo_palette ?\r")
                                  .arg(UtCodes::CodesPerRun),
                              QStringLiteral("GÉNÉRER DES CODES UT")))
        return;
    m_codes.Command4();
}

void FPRINCIPAL::Command2_Click()
{
    const RunGuard guard(m_running);
    if (!guard.owns())
        return;
    if (!StationMessages::ask(m_dialogs,
                              QStringLiteral("Écrire %1 palettes de test (codes 771376010001 à 771376015000) dans la "
                                             "table kestravo_palette ?\r")
                                  .arg(UtCodes::TestCodes),
                              QStringLiteral("GÉNÉRER DES CODES DE TEST")))
        return;
    m_codes.Command2();
}

void FPRINCIPAL::CMAJ_Click()
{
    const RunGuard guard(m_running);
    if (guard.owns())
        m_codes.CMAJ(Text1->text(), Text2->text());
}

void FPRINCIPAL::Command3_Click()
{
    const RunGuard guard(m_running);
    if (guard.owns())
        m_codes.Command3(TUT->text(), TDAT->text());
}

void FPRINCIPAL::CPREFIXE_Click()
{
    const RunGuard guard(m_running);
    if (guard.owns())
        m_codes.prefixOldCodes();
}

void FPRINCIPAL::CQ_Click()
{
    if (m_running)
        return;
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
