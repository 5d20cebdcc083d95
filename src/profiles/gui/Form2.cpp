#include "Form2.h"
#include "platform/widgets/WindowControls.h"

#include "Form3.h"
#include "profiles/ProfileFile.h"
#include "profiles/ProfileLine.h"
#include "platform/Dialogs.h"
#include "platform/widgets/ElidedNameDelegate.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

using WindowControls::named;

namespace {} // namespace

Form2::Form2(ProfileFile& profiles, Dialogs& dialogs, ProfileActivation activate, QWidget* parent)
    : QDialog(parent)
    , m_profiles(profiles)
    , m_dialogs(dialogs)
    , m_activate(std::move(activate))
    , m_runEditor([](Form3& editor) { editor.exec(); })
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Profil FTP"));
    setWindowIcon(WindowControls::programIcon());
    setModal(true);

    Frame1 = named(new QGroupBox(QStringLiteral("Liste des profils"), this), "Frame1");
    List1 = named(new QListWidget(Frame1), "List1");
    List1->setToolTip(QStringLiteral("Double Click pour activer un profil"));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    new ElidedNameDelegate(List1);
    (new QVBoxLayout(Frame1))->addWidget(List1);

    Frame2 = named(new QGroupBox(this), "Frame2");
    Command1 = named(new QPushButton(QStringLiteral("&Nouveau"), Frame2), "Command1");
    Command3 = named(new QPushButton(QStringLiteral("&Modifier"), Frame2), "Command3");
    Command2 = named(new QPushButton(QStringLiteral("&Supprimer"), Frame2), "Command2");
    Picture1 = named(new QLabel(Frame2), "Picture1");
    Picture1->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(32, 32));
    Picture1->setAlignment(Qt::AlignCenter);
    auto* buttons = new QVBoxLayout(Frame2);
    buttons->addWidget(Command1);
    buttons->addWidget(Command3);
    buttons->addWidget(Command2);
    buttons->addStretch();
    buttons->addWidget(Picture1);
    setTabOrder(List1, Command1);
    setTabOrder(Command1, Command3);
    setTabOrder(Command3, Command2);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(Frame1, 1);
    layout->addWidget(Frame2);
    resize(420, 260);

    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &Form2::Command3_Click);
    connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
    connect(List1, &QListWidget::itemDoubleClicked, this, &Form2::List1_DblClick);
    connect(List1, &QListWidget::itemSelectionChanged, this, &Form2::updateButtons);

    fillList();
    updateButtons();
}

void Form2::fillList()
{
    // The table as the caller loaded it; lines without a name (blank entries at the end of the
    // table, foreign lines) are not profiles.
    const ProfileTable& table = m_profiles.table();
    for (int i = 0; i <= table.count && i < table.lines.size(); ++i) {
        const QString& line = table.lines.at(i);
        const QString name = ProfileLine::name(line);
        if (!name.isEmpty())
            addEntry(*List1, name, line);
    }
}

void Form2::Command1_Click()
{
    Form3 editor(m_profiles, m_dialogs, *List1, this);
    m_runEditor(editor);
}

void Form2::Command3_Click()
{
    QListWidgetItem* item = selectedEntry();
    if (!item)
        return;
    Form3 editor(m_profiles, m_dialogs, *List1, this);
    editor.editProfile(item->text(), lineOf(*item));
    m_runEditor(editor);
}

void Form2::Command2_Click()
{
    QListWidgetItem* item = selectedEntry();
    if (!item)
        return;
    MessageRequest question;
    question.text = QStringLiteral("Voulez-vous supprimer le profil « %1 » ?").arg(item->text());
    question.title = profileMessageTitle();
    question.buttons = DialogButtons::YesNo;
    question.icon = DialogIcon::Question;
    question.defaultAnswer = AnswerNo;
    if (m_dialogs.message(question) != AnswerYes)
        return;

    const QString line = lineOf(*item);
    const QString file = ProfileFile::profileFileName();
    QString error;
    if (!m_profiles.Modif(file, line, QString(), false, &error)) {
        m_dialogs.inform(error, profileMessageTitle(), DialogIcon::Critical);
        return;
    }
    m_profiles.Lire(file);
    // Every copy of the line left the file; so do their entries.
    for (int i = List1->count() - 1; i >= 0; --i) {
        if (lineOf(*List1->item(i)) == line)
            delete List1->takeItem(i);
    }
    updateButtons();
}

void Form2::List1_DblClick(QListWidgetItem* item)
{
    if (!item)
        return;
    const ProfileLine::Fields fields = ProfileLine::fields(lineOf(*item));
    if (m_activate)
        m_activate(fields.server, fields.login, fields.password);
    accept();
}

void Form2::keyPressEvent(QKeyEvent* event)
{
    // Enter on a chosen profile activates it as a double click does; without one it still presses
    // the default button.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && List1->hasFocus() && selectedEntry()) {
        List1_DblClick(selectedEntry());
        return;
    }
    QDialog::keyPressEvent(event);
}

void Form2::addEntry(QListWidget& list, const QString& text, const QString& line)
{
    auto* item = new QListWidgetItem(text);
    item->setData(ProfileLineRole, line);
    list.addItem(item);
}

QString Form2::lineOf(const QListWidgetItem& item)
{
    return item.data(ProfileLineRole).toString();
}

QListWidgetItem* Form2::selectedEntry() const
{
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void Form2::updateButtons()
{
    const bool chosen = selectedEntry() != nullptr;
    Command3->setEnabled(chosen);
    Command2->setEnabled(chosen);
}
