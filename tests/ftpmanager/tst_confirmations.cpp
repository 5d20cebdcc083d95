#include "ftpmanager/SelectionConfirmation.h"
#include "platform/QtDialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

// Runs `inspect` on the modal box once it shows, then presses its button whose text is `press`.
void whenShown(std::function<void(QDialog&)> inspect, const QString& press)
{
    QTimer::singleShot(100, [inspect, press] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        inspect(*box);
        for (QAbstractButton* b : box->findChildren<QAbstractButton*>()) {
            if (b->text().remove(u'&') == press) {
                b->click();
                return;
            }
        }
        box->reject();
        QFAIL(qPrintable("no button " + press));
    });
}

QStringList buttonTexts(const QDialog& box)
{
    QStringList out;
    for (const QAbstractButton* b : box.findChild<QDialogButtonBox*>()->buttons())
        out << b->text().remove(u'&');
    out.sort();
    return out;
}

} // namespace

class TestConfirmations : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(QtDialogs::installFrenchTranslations(nullptr)); }

    void frenchButtons()
    {
        QtDialogs dialogs;
        MessageRequest question;
        question.text = QStringLiteral("Etes vous sur ?");
        question.buttons = DialogButtons::YesNo;
        whenShown([](QDialog& box) { QCOMPARE(buttonTexts(box), (QStringList{"Non", "Oui"})); }, "Oui");
        QCOMPARE(dialogs.message(question), int(AnswerYes));

        whenShown([](QDialog& box) { QCOMPARE(buttonTexts(box), (QStringList{"Annuler", "OK"})); }, "Annuler");
        QCOMPARE(dialogs.input("Nom :", "Nouveau répertoire", "x"), QString());
    }

    void longConfirmationFitsTheScreen()
    {
        QStringList names;
        QList<int> rows;
        for (int i = 0; i < 2000; ++i) {
            names << QStringLiteral("fichier-%1.txt").arg(i, 4, 10, QLatin1Char('0'));
            rows << i;
        }
        QtDialogs dialogs;
        QString nameList;
        whenShown(
            [](QDialog& box) {
                const QRect screen = box.screen()->availableGeometry();
                QVERIFY2(box.height() <= screen.height(), qPrintable(QString::number(box.height())));
                const auto* buttons = box.findChild<QDialogButtonBox*>();
                QVERIFY(buttons->isVisible());
                QVERIFY(box.rect().contains(QRect(buttons->mapTo(&box, QPoint()), buttons->size())));
                const auto* lines = box.findChild<QPlainTextEdit*>();
                QVERIFY(lines && lines->isVisible());
                QCOMPARE(lines->document()->blockCount(), 2000);
                QVERIFY(lines->height() > 5 * lines->fontMetrics().lineSpacing()); // readable, and scrolled
                QVERIFY(lines->verticalScrollBar()->maximum() > 0);
            },
            "Non");
        QCOMPARE(SelectionConfirmation::ask(dialogs, names, rows, "singulier",
                                            "Etes vous sur de vouloir supprimer :", nameList),
                 int(AnswerNo));
    }
};

QTEST_MAIN(TestConfirmations)
#include "tst_confirmations.moc"
