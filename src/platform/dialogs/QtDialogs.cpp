#include "QtDialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSpacerItem>
#include <QTimer>
#include <QTranslator>
#include <QWindow>

#include <algorithm>
#include <memory>

namespace {

// The window a box belongs to: the modal dialog in front, else the active window, else the window
// holding the focus, else any visible top-level window (a modal one first).
QWidget* ownerWindow()
{
    if (QWidget* w = QApplication::activeModalWidget())
        return w;
    if (QWidget* w = QApplication::activeWindow())
        return w;
    if (QWidget* f = QApplication::focusWidget())
        return f->window();
    QWidget* found = nullptr;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (!w->isVisible() || w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip)
            continue;
        if (w->isModal())
            return w;
        found = w;
    }
    return found;
}

void centreOnOwner(QWidget& box, const QWidget* owner);

// Centres `box` once it has its size, and again when it is first activated: some window managers
// place a new dialog themselves when they map it, after the program asked for its position.
void centreWhenShown(QWidget& box, QWidget* owner)
{
    QTimer::singleShot(0, &box, [&box, owner] { centreOnOwner(box, owner); });
    box.winId(); // the native window, whose activation is followed
    QWindow* window = box.windowHandle();
    if (!window)
        return;
    auto* first = new QObject(&box);
    QObject::connect(window, &QWindow::activeChanged, first, [&box, owner, window, first] {
        if (!window->isActive())
            return;
        centreOnOwner(box, owner);
        first->deleteLater();
    });
}

QRect availableArea(const QWidget& box)
{
    const QScreen* screen = box.screen() ? box.screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
}

// Centres `box` on its owner, kept inside the owner's screen. Without an owner the window system
// places it.
void centreOnOwner(QWidget& box, const QWidget* owner)
{
    if (!owner || !owner->isVisible())
        return;
    const QRect area = owner->screen() ? owner->screen()->availableGeometry() : availableArea(box);
    QRect frame = box.frameGeometry();
    frame.moveCenter(owner->frameGeometry().center());
    frame.moveLeft(std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() - frame.width() + 1)));
    frame.moveTop(std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() - frame.height() + 1)));
    box.move(frame.topLeft());
}

// Width the window system's title bar needs for `title`: the text in the title font, bold as most
// decorations draw it, and room for the window icon and the three title-bar buttons.
int titleBarWidth(const QString& title)
{
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const QFontMetrics fm(font);
    return fm.horizontalAdvance(title) + 4 * fm.height() + 40;
}

// Keeps the box at least `width` wide (the message box otherwise sizes itself on its text alone).
void reserveWidth(QMessageBox& box, int width, int column, int columnSpan)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid || width <= 0)
        return;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), column, 1,
                  columnSpan);
}

// Moves the lines after the first into a read-only scrolling box placed above the buttons,
// at most half the screen high; the first line stays the box's text and wraps as one paragraph.
void scrollLongText(QMessageBox& box, const QStringList& lines)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    auto* buttons = box.findChild<QDialogButtonBox*>();
    if (!grid || !buttons)
        return; // not laid out as expected: the whole text stays in the label
    box.setText(lines.first());
    auto* rest = new QPlainTextEdit(lines.mid(1).join(QLatin1Char('\n')), &box);
    rest->setObjectName(QStringLiteral("messageLines"));
    rest->setReadOnly(true);
    rest->setLineWrapMode(QPlainTextEdit::NoWrap);
    const QRect area = availableArea(box);
    const int wanted = rest->fontMetrics().lineSpacing() * static_cast<int>(lines.size() + 1);
    rest->setMinimumHeight(std::min(wanted, area.height() / 2));
    rest->setMinimumWidth(rest->fontMetrics().averageCharWidth() * 50);

    int row = 0;
    int column = 0;
    int rowSpan = 1;
    int columnSpan = 1;
    grid->getItemPosition(grid->indexOf(buttons), &row, &column, &rowSpan, &columnSpan);
    grid->removeWidget(buttons);
    grid->addWidget(rest, row, 1, 1, std::max(1, columnSpan - 1));
    grid->addWidget(buttons, row + 1, column, rowSpan, columnSpan);

    // The sentence gets the width it needs on one line when the screen has it, so that it does not
    // break in the middle at the message box's usual limit.
    const int sentence = box.fontMetrics().horizontalAdvance(lines.first()) + 8;
    reserveWidth(box, std::min(sentence, area.width() * 3 / 4), 1, std::max(1, columnSpan - 1));
}

// A question followed by the names it is about: "… suivant :" then one name a line.
bool isNameList(const QStringList& lines)
{
    return lines.size() > 1 && lines.first().trimmed().endsWith(QLatin1Char(':'));
}

} // namespace

int QtDialogs::message(const MessageRequest& request)
{
    QWidget* owner = ownerWindow();
    QMessageBox box(owner);
    box.setText(request.text);
    box.setWindowTitle(request.title);
    switch (request.icon) {
    case DialogIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case DialogIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case DialogIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case DialogIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case DialogIcon::None:
        break;
    }
    if (request.buttons == DialogButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(request.defaultAnswer == AnswerYes ? QMessageBox::Yes : QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const QStringList lines = request.text.split(QLatin1Char('\n'));
    if (lines.size() > ScrolledAfterLines || isNameList(lines))
        scrollLongText(box, lines);
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        reserveWidth(box, std::min(titleBarWidth(request.title), availableArea(box).width() - 16), 0,
                     std::max(1, grid->columnCount()));
    centreWhenShown(box, owner);
    const int pressed = box.exec();
    if (request.buttons == DialogButtons::YesNo)
        return pressed == QMessageBox::Yes ? AnswerYes : AnswerNo;
    return AnswerOk;
}

QString QtDialogs::input(const QString& prompt, const QString& title, const QString& defaultText)
{
    QWidget* owner = ownerWindow();
    QInputDialog box(owner);
    box.setWindowTitle(title);
    box.setLabelText(prompt);
    box.setTextValue(defaultText);
    box.setMinimumWidth(std::min(titleBarWidth(title), availableArea(box).width() - 16));
    centreWhenShown(box, owner);
    const bool ok = box.exec() == QDialog::Accepted;
    const QString text = box.textValue();
    return ok ? text : QString();
}

bool QtDialogs::installFrenchTranslations(QString* error)
{
    auto translator = std::make_unique<QTranslator>();
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale(QLocale::French, QLocale::France), QStringLiteral("qtbase"), QStringLiteral("_"),
                          folder)) {
        if (error)
            *error = QStringLiteral("Les traductions françaises de Qt (qtbase_fr.qm) sont introuvables dans « %1 » : "
                                    "les boutons des boîtes de dialogue resteront en anglais.")
                         .arg(QDir::toNativeSeparators(folder));
        return false;
    }
    QCoreApplication::installTranslator(translator.get());
    translator.release()->setParent(QCoreApplication::instance()); // lives as long as the application
    return true;
}
