#include "FPLASH.h"
#include "platform/widgets/WindowControls.h"

#include "platform/Dialogs.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

using WindowControls::badge;

namespace {

QLabel* picture(QWidget* parent, const QString& name, const QPixmap& pixmap)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setPixmap(pixmap);
    return label;
}

void letEventsRun()
{
    QCoreApplication::processEvents();
}

// Shown later by the timers: its place is kept from the start, so the form below does not move
// under the operator's pointer when it appears.
void keepPlaceWhileHidden(QWidget* w)
{
    QSizePolicy policy = w->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    w->setSizePolicy(policy);
    w->setVisible(false);
}

} // namespace

FPLASH::FPLASH(OperatorContext& context, Dialogs& dialogs, const QString& appDir, const QVersionNumber& version,
               std::function<void()> endApplication, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_dialogs(dialogs)
    , m_login(context, dialogs, appDir)
    , m_endApplication(std::move(endApplication))
{
    setObjectName(QStringLiteral("FPLASH"));
    setWindowTitle(QStringLiteral("NOVAL"));
    setWindowIcon(WindowControls::programIcon());

    LTITRE = new QLabel(QStringLiteral("KESTRAVO"), this);
    LTITRE->setObjectName(QStringLiteral("LTITRE"));
    QFont titleFont = LTITRE->font();
    titleFont.setPointSize(titleFont.pointSize() * 2);
    titleFont.setBold(true);
    LTITRE->setFont(titleFont);
    keepPlaceWhileHidden(LTITRE);

    Image1 = picture(this, QStringLiteral("Image1"),
                     badge(QSize(96, 96), QColor(0x1f, 0x4e, 0x8c), QColor(0x4f, 0x9d, 0xd9)));
    keepPlaceWhileHidden(Image1);

    Label1 = new QLabel(QStringLiteral("Gestion de flux"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont subtitleFont = Label1->font();
    subtitleFont.setPointSize(subtitleFont.pointSize() + 4);
    Label1->setFont(subtitleFont);
    keepPlaceWhileHidden(Label1);

    LINFO = new QLabel(this);
    LINFO->setObjectName(QStringLiteral("LINFO"));

    Label2 = new QLabel(QStringLiteral("User"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    TLOGIN = new QLineEdit(this);
    TLOGIN->setObjectName(QStringLiteral("TLOGIN"));
    Label2->setBuddy(TLOGIN);

    Label3 = new QLabel(QStringLiteral("Mot de passe"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    TPW = new QLineEdit(this);
    TPW->setObjectName(QStringLiteral("TPW"));
    TPW->setEchoMode(QLineEdit::Password);
    TPW->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // "*"
    Label3->setBuddy(TPW);

    COK = new QPushButton(QStringLiteral("Login"), this);
    COK->setObjectName(QStringLiteral("COK"));
    CNON = new QPushButton(QStringLiteral("Abandonner"), this);
    CNON->setObjectName(QStringLiteral("CNON"));
    // As in a dialog: the focused button answers Enter, and "Login" is the one shown as default.
    COK->setAutoDefault(true);
    CNON->setAutoDefault(true);
    COK->setDefault(true);
    // Room around the captions: the fixed-size splash otherwise squeezes them to their text.
    for (QPushButton* b : {COK, CNON})
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance(b->text()) + 3 * b->fontMetrics().height());
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, CNON, &QPushButton::click); // Escape is "Abandonner"
    setTabOrder(TLOGIN, TPW);
    setTabOrder(TPW, COK);
    setTabOrder(COK, CNON);

    Image2 = picture(this, QStringLiteral("Image2"),
                     badge(QSize(24, 24), QColor(0x4f, 0x9d, 0xd9), QColor(0xa8, 0xd4, 0xf2)));
    Image3 = picture(this, QStringLiteral("Image3"),
                     badge(QSize(24, 24), QColor(0x8c, 0xc0, 0x3f), QColor(0xc8, 0xe6, 0x8a)));
    Image4 = picture(this, QStringLiteral("Image4"),
                     badge(QSize(24, 24), QColor(0xe0, 0x8a, 0x1e), QColor(0xf5, 0xc2, 0x7a)));
    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);

    auto* titles = new QVBoxLayout;
    titles->addWidget(LTITRE);
    titles->addWidget(Label1);
    titles->addStretch();
    auto* header = new QHBoxLayout;
    header->addWidget(Image1);
    header->addSpacing(12);
    header->addLayout(titles, 1);

    auto* form = new QGridLayout;
    form->addWidget(Label2, 0, 0);
    form->addWidget(TLOGIN, 0, 1);
    form->addWidget(Label3, 1, 0);
    form->addWidget(TPW, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(COK);
    buttons->addWidget(CNON);
    form->addLayout(buttons, 2, 0, 1, 2);

    auto* footer = new QHBoxLayout;
    footer->addWidget(Image2);
    footer->addWidget(Image3);
    footer->addWidget(Image4);
    footer->addStretch();
    footer->addWidget(LINFO);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(Line1);
    layout->addLayout(form);
    layout->addStretch();
    layout->addLayout(footer);
    setFixedSize(420, 260);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    connect(Timer1, &QTimer::timeout, this, &FPLASH::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &FPLASH::Timer2_Timer);
    connect(Timer3, &QTimer::timeout, this, &FPLASH::Timer3_Timer);

    // Enter moves along the boxes to COK without pressing it; a further Enter presses it.
    connect(TLOGIN, &QLineEdit::returnPressed, this, &FPLASH::TLOGIN_Enter);
    connect(TPW, &QLineEdit::returnPressed, this, &FPLASH::TPW_Enter);
    connect(COK, &QPushButton::clicked, this, &FPLASH::COK_Click);
    connect(CNON, &QPushButton::clicked, this, &FPLASH::CNON_Click);

    LINFO->setText(QStringLiteral("V: %1.%2.%3")
                       .arg(version.majorVersion())
                       .arg(version.minorVersion())
                       .arg(version.microVersion()));
    Timer1->start(400);
}

void FPLASH::Timer1_Timer()
{
    LTITRE->setVisible(true);
    Image1->setVisible(true);
    letEventsRun();
    Timer1->stop();
    Timer2->start(1000);
}

void FPLASH::Timer2_Timer()
{
    Label1->setVisible(true);
    letEventsRun();
    Timer2->stop();
    Timer3->start(2000);
}

void FPLASH::TLOGIN_Enter()
{
    TPW->setFocus();
}

void FPLASH::TPW_Enter()
{
    // Moved there by a key: the button shows its focus ring, as after Tab.
    setAttribute(Qt::WA_KeyboardFocusChange);
    COK->setFocus(Qt::TabFocusReason);
}

void FPLASH::grantServiceCode()
{
    const QVariant one = QVariant::fromValue<qint16>(1);
    m_context.groupCode = one;
    m_context.ADMIN = one;
    m_context.ETIQ = one;
    m_context.FEUILLE = one;
    m_context.LAD = one;
    m_context.NUM = one;
    m_context.EXPORT = one;
    m_context.VERIF = one;
    m_context.STAT = one;
    m_context.GED = one;
}

void FPLASH::COK_Click()
{
    // The maintenance code: rights without a database, compared exactly (case and spaces).
    if (TLOGIN->text() == serviceCode()) {
        grantServiceCode();
        hide();
        emit loggedIn();
        return;
    }
    const bool answered = m_login.XLogin(TLOGIN->text(), TPW->text());
    letEventsRun();
    if (m_context.loginResult.toInt() == 0) {
        // When the database did not answer, XLogin has already said so.
        if (answered)
            m_dialogs.inform(QStringLiteral("Désolé..."), QStringLiteral("VORN_UPDATE_VERSION"));
        TLOGIN->setFocus();
        return;
    }
    hide();
    emit loggedIn();
}

void FPLASH::CNON_Click()
{
    if (m_endApplication)
        m_endApplication();
    else
        QCoreApplication::exit(0);
}
