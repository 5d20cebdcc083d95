#include "ConnectionPane.h"

#include "AnimationFrames.h"
#include "platform/widgets/WindowControls.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

using WindowControls::named;

namespace {

QLineEdit* boxed(QGroupBox* frame, QLineEdit* box)
{
    auto* l = new QVBoxLayout(frame);
    l->setContentsMargins(6, 2, 6, 4);
    l->addWidget(box);
    return box;
}

} // namespace

ConnectionPane::ConnectionPane(const ServerLogin& initial, bool managerButtons, QWidget* parent)
    : QGroupBox(QStringLiteral("Etat de connexion"), parent)
{
    setObjectName(QStringLiteral("Frame3"));
    auto* types = named(new QGroupBox(QStringLiteral("Transfert Type"), this), "Frame7");
    const QStringList typeNames{QStringLiteral("Non Défini (Bin)"), QStringLiteral("ASCII"), QStringLiteral("BINARY")};
    auto* typeLayout = new QGridLayout(types); // two columns: the manager fits a 1024 x 600 screen
    for (int i = 0; i < 3; ++i) {
        QRadioButton* b = m_types[static_cast<size_t>(i)] = named(new QRadioButton(typeNames[i], types), "Option1");
        b->setProperty("index", i);
        typeLayout->addWidget(b, i / 2, i % 2);
        connect(b, &QRadioButton::clicked, this, &ConnectionPane::transferTypeChanged);
    }
    m_types[0]->setChecked(true);
    QGroupBox* serverFrame = named(new QGroupBox(QStringLiteral("Adresse serveur FTP"), this), "Frame6");
    m_server = boxed(serverFrame, named(new QLineEdit(initial.server, serverFrame), "Text4"));
    QGroupBox* userFrame = named(new QGroupBox(QStringLiteral("Utilisateur"), this), "Frame4");
    m_user = boxed(userFrame, named(new QLineEdit(initial.user, userFrame), "Text2"));
    QGroupBox* passwordFrame = named(new QGroupBox(QStringLiteral("Mot de passe"), this), "Frame5");
    m_password = boxed(passwordFrame, named(new QLineEdit(initial.password, passwordFrame), "Text3"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }")); // "*"

    m_timer = named(new QTimer(this), "Timer1");
    m_timer->setInterval(400);
    connect(m_timer, &QTimer::timeout, this, &ConnectionPane::animationTick);
    for (int i = 0; i < 4; ++i) {
        QLabel* p = m_pictures[static_cast<size_t>(i)] = named(new QLabel(this), "Picture1");
        p->setProperty("index", i);
        p->setPixmap(AnimationFrames::frame(i));
        p->setVisible(i == 0);
    }
    auto* image = named(new QLabel(this), "Image1");
    image->setPixmap(AnimationFrames::banner(32, 32));

    // One holder for the two buttons, only one of which shows: the rows below keep their place
    // when "Déconnexion" takes over.
    auto* holder = new QWidget(this);
    auto* both = new QHBoxLayout(holder);
    both->setContentsMargins(0, 0, 0, 0);
    m_connect = named(new QPushButton(QStringLiteral("Connexion"), holder), "Command1");
    m_disconnect = named(new QPushButton(QStringLiteral("Déconnexion"), holder), "Command3");
    m_disconnect->setVisible(false);
    both->addWidget(m_connect);
    both->addWidget(m_disconnect);
    connect(m_connect, &QPushButton::clicked, this, &ConnectionPane::connectClicked);
    connect(m_disconnect, &QPushButton::clicked, this, &ConnectionPane::disconnectClicked);

    // The file manager's own buttons, one row: the update run shows none of them.
    auto* managerRow = named(new QWidget(this), "managerButtons");
    auto* row = new QHBoxLayout(managerRow);
    row->setContentsMargins(0, 0, 0, 0);
    m_profiles = named(new QPushButton(QStringLiteral("Profils FTP..."), managerRow), "CommandProfils");
    m_profiles->setToolTip(QStringLiteral("Choisir, créer ou modifier un profil de connexion"));
    row->addWidget(m_profiles);
    m_fleet = named(new QPushButton(QStringLiteral("Parc des postes..."), managerRow), "CommandParc");
    m_fleet->setToolTip(QStringLiteral("Ce que chaque poste a fait de sa dernière mise à jour ([fleet] reports)"));
    row->addWidget(m_fleet);
    managerRow->setVisible(managerButtons);
    connect(m_profiles, &QPushButton::clicked, this, &ConnectionPane::profilesClicked);
    connect(m_fleet, &QPushButton::clicked, this, &ConnectionPane::fleetClicked);

    // The animation heads the frame; "Connexion" follows the three boxes it uses, so that the
    // keyboard meets them in the order they are filled in.
    auto* grid = new QGridLayout(this);
    for (QLabel* p : m_pictures)
        grid->addWidget(p, 0, 0, Qt::AlignLeft);
    grid->addWidget(image, 0, 1, Qt::AlignRight);
    grid->addWidget(serverFrame, 1, 0, 1, 2);
    grid->addWidget(userFrame, 2, 0, 1, 2);
    grid->addWidget(passwordFrame, 3, 0, 1, 2);
    grid->addWidget(holder, 4, 0, 1, 2);
    grid->addWidget(types, 5, 0, 1, 2);
    grid->addWidget(managerRow, 6, 0, 1, 2);
    grid->setRowStretch(7, 1);
}

ServerLogin ConnectionPane::credentials() const
{
    return {m_server->text(), m_user->text(), m_password->text()};
}

void ConnectionPane::setCredentials(const ServerLogin& c)
{
    m_server->setText(c.server);
    m_user->setText(c.user);
    m_password->setText(c.password);
}

QString ConnectionPane::server() const
{
    return m_server->text();
}

void ConnectionPane::showConnected(bool connected)
{
    m_connect->setVisible(!connected);
    m_disconnect->setVisible(connected);
}

void ConnectionPane::startAnimation()
{
    m_animationStep = 0;
    m_timer->start();
}

void ConnectionPane::stopAnimation()
{
    m_timer->stop();
}

void ConnectionPane::showFirstPictureOnly()
{
    for (size_t i = 0; i < m_pictures.size(); ++i)
        m_pictures[i]->setVisible(i == 0);
}

void ConnectionPane::setAnimationInterval(int milliseconds)
{
    m_timer->setInterval(milliseconds);
}

QList<QWidget*> ConnectionPane::tabChain() const
{
    return {m_server, m_user, m_password, m_connect, m_disconnect, m_types[0], m_types[1], m_types[2], m_profiles};
}

void ConnectionPane::animationTick()
{
    // The pictures appear in the order 0, 1, 2, 3, 0, 1, ... one per tick.
    if (m_animationStep == 4) {
        m_pictures[3]->setVisible(false);
        m_pictures[0]->setVisible(true);
        m_animationStep = 1;
        return;
    }
    m_pictures[static_cast<size_t>(m_animationStep == 0 ? 3 : m_animationStep - 1)]->setVisible(false);
    m_pictures[static_cast<size_t>(m_animationStep)]->setVisible(true);
    ++m_animationStep;
}

void ConnectionPane::transferTypeChanged()
{
    for (size_t i = 0; i < m_types.size(); ++i)
        if (m_types[i]->isChecked())
            m_transferType = static_cast<int>(i);
}
