#include "WaitPanel.h"

#include "AnimationFrames.h"
#include "platform/widgets/WindowControls.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>

#include <utility>

using WindowControls::named;

WaitPanel::WaitPanel(QWidget* parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("FRTRAIT"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    m_picture = named(new QLabel(this), "Image2");
    m_picture->setPixmap(AnimationFrames::banner(120, 120));
    auto* title = named(new QLabel(QStringLiteral("VORN LOG - UPDATE SOFTWARE"), this), "Label1");
    title->setFont(QFont(QStringLiteral("Century Gothic"), 15, QFont::Bold));
    auto* rule = named(new QFrame(this), "Line3");
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    m_info = named(new QLabel(QStringLiteral("Waiting connect FTP..."), this), "LDI");
    m_info->setFont(QFont(QStringLiteral("Arial"), 10));
    m_waitLine = named(new QLabel(QStringLiteral("Please wait..."), this), "LINFOWAIT1");
    m_waitLine->setFont(QFont(QStringLiteral("Arial"), 9));
    m_progress = named(new QProgressBar(this), "RB1");
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->addWidget(m_picture, 0, 0, 5, 1, Qt::AlignTop);
    grid->addWidget(title, 0, 1);
    grid->addWidget(rule, 1, 1);
    grid->addWidget(m_info, 2, 1);
    grid->addWidget(m_waitLine, 3, 1);
    grid->addWidget(m_progress, 4, 1);
    grid->setColumnStretch(1, 1);
}

void WaitPanel::setInfo(const QString& text)
{
    m_info->setText(text);
}

QString WaitPanel::info() const
{
    return m_info->text();
}

void WaitPanel::setWaitLine(const QString& text)
{
    m_waitLine->setText(text);
}

void WaitPanel::setProgressMaximum(int maximum)
{
    m_progress->setMaximum(maximum);
}

void WaitPanel::setProgressValue(int value)
{
    m_progress->setValue(value);
}

void WaitPanel::setProgressVisible(bool visible)
{
    m_progress->setVisible(visible);
}

void WaitPanel::makeCompact()
{
    setMaximumHeight(2475 / 15); // the design's height, in twips at 15 per pixel
    m_picture->setPixmap(AnimationFrames::banner(80, 80));
}

void WaitPanel::showRetryWait(const QString& text)
{
    if (text.isEmpty()) {
        if (m_infoBeforeRetry)
            m_info->setText(*std::exchange(m_infoBeforeRetry, std::nullopt));
        return;
    }
    if (!m_infoBeforeRetry)
        m_infoBeforeRetry = m_info->text();
    m_info->setText(text);
}

void WaitPanel::showConnection(Connection state, const QString& server)
{
    const bool attemptFailed = state == Connection::Disconnected && m_connection == Connection::Connecting;
    m_connection = state;
    m_progress->setVisible(false); // an idle, empty bar only looked like an input box
    switch (state) {
    case Connection::Connecting:
        m_info->setText(QStringLiteral("Waiting connect FTP..."));
        m_waitLine->setText(QStringLiteral("Please wait..."));
        break;
    case Connection::Connected:
        m_info->setText(QStringLiteral("Connecté à %1").arg(server));
        m_waitLine->setText(QStringLiteral("Prêt."));
        break;
    case Connection::Disconnected:
        m_info->setText(attemptFailed ? QStringLiteral("Connexion impossible à %1").arg(server)
                                      : QStringLiteral("Non connecté"));
        m_waitLine->setText(QStringLiteral("Cliquez sur « Connexion » pour vous connecter."));
        break;
    }
}
