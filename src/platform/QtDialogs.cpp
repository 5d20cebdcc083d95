#include "QtDialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

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
        return box.exec() == QMessageBox::Yes ? AnswerYes : AnswerNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return AnswerOk;
}

QString QtDialogs::input(const QString& prompt, const QString& title, const QString& defaultText)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(QApplication::activeWindow(), title, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}
