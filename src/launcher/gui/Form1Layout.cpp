#include "Form1Layout.h"

#include "ConnectionPane.h"
#include "IntakeLists.h"
#include "ResponseLog.h"
#include "WaitPanel.h"
#include "ftpmanager/gui/LocalPane.h"
#include "ftpmanager/gui/RemotePane.h"
#include "platform/widgets/WindowControls.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QScrollArea>
#include <QStatusBar>
#include <QVBoxLayout>

using WindowControls::named;

namespace {

// Twips to pixels at the design's 15 twips per pixel.
constexpr int px(int twips)
{
    return twips / 15;
}

struct Decorations {
    QFrame* line1;
    QFrame* line2;
    QLineEdit* hiddenText; // nothing reads or writes it
};

QFrame* line(QWidget* parent, const char* name)
{
    auto* l = named(new QFrame(parent), name);
    l->setFrameShape(QFrame::HLine);
    l->setFrameShadow(QFrame::Sunken);
    return l;
}

Decorations decorate(QWidget* central)
{
    Decorations d{line(central, "Line1"), line(central, "Line2"),
                  named(new QLineEdit(QStringLiteral("Text5"), central), "TXTUFT8")};
    d.hiddenText->setVisible(false);
    return d;
}

} // namespace

namespace Form1Layout {

void arrangeDesign(QMainWindow& window, const Form1Panes& panes)
{
    const Decorations d = decorate(window.centralWidget());
    panes.wait->setGeometry(0, 0, px(8055), px(2475));
    const int below = px(2490) + 40;
    panes.connection->setGeometry(0, below, 280, 420);
    panes.remote->setGeometry(290, below, 300, 420);
    panes.local->setGeometry(600, below, 420, 420);
    panes.log->setGeometry(0, below + 430, 1020, 160);
    panes.intake->setGeometry(0, below + 600, 600, 120);
    d.line1->setGeometry(0, below - 10, 1020, 2);
    d.line2->setGeometry(0, below + 425, 1020, 2);
    d.hiddenText->setGeometry(620, below + 600, 100, 24);
    window.centralWidget()->setMinimumSize(1, 1);
    window.resize(px(8085), px(2490) + window.statusBar()->sizeHint().height());
}

void arrangeManager(QMainWindow& window, const Form1Panes& panes)
{
    // The connection frame down the left; the two panes over the response log on the right. The
    // body scrolls when the screen is smaller than what its layout needs, so the window always
    // fits the screen it opens on; its first size fits a 1280 x 720 screen.
    const Decorations d = decorate(window.centralWidget());
    QWidget* body = window.takeCentralWidget();
    auto* scroll = named(new QScrollArea(&window), "bodyScroll");
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidget(body);
    window.setCentralWidget(scroll);
    WindowControls::keepFocusInView(scroll);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(6, 6, 6, 6);
    panes.wait->makeCompact();
    layout->addWidget(panes.wait);
    layout->addWidget(d.line1);
    auto* below = new QHBoxLayout;
    panes.connection->setMinimumWidth(240);
    panes.connection->setMaximumWidth(300);
    below->addWidget(panes.connection);
    auto* right = new QVBoxLayout;
    auto* sideBySide = new QHBoxLayout;
    sideBySide->addWidget(panes.remote, 2);
    sideBySide->addWidget(panes.local, 3);
    right->addLayout(sideBySide, 3);
    right->addWidget(d.line2);
    panes.log->setMinimumHeight(80);
    right->addWidget(panes.log, 1);
    below->addLayout(right, 1);
    layout->addLayout(below, 1);
    layout->addWidget(panes.intake);
    panes.intake->setVisible(false);
    d.line1->setVisible(false);
    d.line2->setVisible(false);

    window.setMinimumSize(320, 240);
    window.resize(WindowControls::firstSize(&window, QSize(1120, 640)));
}

void arrangeTabOrder(QWidget& window, const Form1Panes& panes)
{
    const QList<QWidget*> chain =
        panes.connection->tabChain() + panes.remote->tabChain() + panes.local->tabChain() + QList<QWidget*>{panes.log};
    for (qsizetype i = 1; i < chain.size(); ++i)
        window.setTabOrder(chain[i - 1], chain[i]);
}

} // namespace Form1Layout
