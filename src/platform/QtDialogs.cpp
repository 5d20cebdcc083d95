#include "QtDialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTranslator>

#include <algorithm>
#include <memory>

namespace {

// Moves the lines after the first into a read-only scrolling box placed above the buttons,
// at most half the screen high.
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
    const QScreen* screen = box.screen() ? box.screen() : QGuiApplication::primaryScreen();
    const int available = screen ? screen->availableGeometry().height() : 600;
    const int wanted = rest->fontMetrics().lineSpacing() * static_cast<int>(lines.size() + 1);
    rest->setMinimumHeight(std::min(wanted, available / 2));
    rest->setMinimumWidth(rest->fontMetrics().averageCharWidth() * 50);

    int row = 0;
    int column = 0;
    int rowSpan = 1;
    int columnSpan = 1;
    grid->getItemPosition(grid->indexOf(buttons), &row, &column, &rowSpan, &columnSpan);
    grid->removeWidget(buttons);
    grid->addWidget(rest, row, 1, 1, std::max(1, columnSpan - 1));
    grid->addWidget(buttons, row + 1, column, rowSpan, columnSpan);
}

} // namespace

int QtDialogs::message(const MessageRequest& request)
{
    QMessageBox box(QApplication::activeWindow());
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
    if (lines.size() > ScrolledAfterLines)
        scrollLongText(box, lines);
    const int pressed = box.exec();
    if (request.buttons == DialogButtons::YesNo)
        return pressed == QMessageBox::Yes ? AnswerYes : AnswerNo;
    return AnswerOk;
}

QString QtDialogs::input(const QString& prompt, const QString& title, const QString& defaultText)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(QApplication::activeWindow(), title, prompt, QLineEdit::Normal, defaultText, &ok);
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
                         .arg(folder);
        return false;
    }
    QCoreApplication::installTranslator(translator.get());
    translator.release()->setParent(QCoreApplication::instance()); // lives as long as the application
    return true;
}
