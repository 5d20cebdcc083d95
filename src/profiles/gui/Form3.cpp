#include "Form3.h"
#include "platform/widgets/WindowControls.h"

#include "Form2.h"
#include "ProfileDialogs.h"
#include "profiles/ProfileFile.h"
#include "profiles/ProfileLine.h"
#include "platform/text/Windows1252.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRegion>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QValidator>
#include <QWindow>

#include <iterator>

using WindowControls::named;

namespace {

constexpr int CornerEllipse = 20;

// The boxes of earlier versions were ANSI text boxes: a character the profile file cannot hold could
// not be typed, so it cannot here either (it would otherwise be saved as "?"). A line break would
// split the profile line.
class AnsiTextValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*pos*/) const override
    {
        if (input.contains(u'\r') || input.contains(u'\n') || !Windows1252::canEncode(input))
            return Invalid;
        return Acceptable;
    }
};

QLineEdit* textBox(QWidget* parent, const char* name, QValidator* validator)
{
    auto* box = named(new QLineEdit(parent), name);
    box->setValidator(validator);
    return box;
}

QLineEdit* passwordBox(QWidget* parent, const char* name, QValidator* validator)
{
    auto* box = textBox(parent, name, validator);
    box->setEchoMode(QLineEdit::Password);
    box->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }")); // "*"
    return box;
}

} // namespace

Form3::Form3(ProfileFile& profiles, Dialogs& dialogs, QListWidget& profileList, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , m_profiles(profiles)
    , m_dialogs(dialogs)
    , m_list(profileList)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowIcon(WindowControls::programIcon());
    setModal(true);
    auto* ansi = new AnsiTextValidator(this);

    Frame2 = named(new QGroupBox(QStringLiteral("Adresse du Serveur"), this), "Frame2");
    Text1 = textBox(Frame2, "Text1", ansi);
    (new QVBoxLayout(Frame2))->addWidget(Text1);

    Frame3 = named(new QGroupBox(QStringLiteral("Login"), this), "Frame3");
    Text2 = textBox(Frame3, "Text2", ansi);
    (new QVBoxLayout(Frame3))->addWidget(Text2);

    Frame4 = named(new QGroupBox(QStringLiteral("PassWord"), this), "Frame4");
    Label1 = named(new QLabel(QStringLiteral("Mot de passe"), Frame4), "Label1");
    Text3 = passwordBox(Frame4, "Text3", ansi);
    Label2 = named(new QLabel(QStringLiteral("Confirmation du mot de passe"), Frame4), "Label2");
    Text4 = passwordBox(Frame4, "Text4", ansi);
    auto* passwords = new QVBoxLayout(Frame4);
    passwords->addWidget(Label1);
    passwords->addWidget(Text3);
    passwords->addWidget(Label2);
    passwords->addWidget(Text4);

    Frame1 = named(new QGroupBox(QString(), this), "Frame1");
    Label3 = named(new QLabel(QStringLiteral("Nom du profil"), Frame1), "Label3");
    Text5 = textBox(Frame1, "Text5", ansi);
    auto* nameLayout = new QVBoxLayout(Frame1);
    nameLayout->addWidget(Label3);
    nameLayout->addWidget(Text5);

    Command1 = named(new QPushButton(newModeCaption(), this), "Command1");
    Command1->setDefault(true);
    Command2 = named(new QPushButton(QStringLiteral("&Annuler"), this), "Command2");
    QWidget* chain[] = {Text1, Text2, Text3, Text4, Text5, Command1, Command2};
    for (size_t i = 1; i < std::size(chain); ++i)
        setTabOrder(chain[i - 1], chain[i]);
    connect(Command1, &QPushButton::clicked, this, &Form3::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form3::Command2_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    // Wide enough margins that the rounded corners never cut a control.
    layout->setContentsMargins(CornerEllipse, CornerEllipse, CornerEllipse, CornerEllipse);
    // On a small or highly scaled screen the boxes scroll; the buttons stay in view.
    auto* body = new QWidget(this);
    auto* fields = new QVBoxLayout(body);
    fields->setContentsMargins(0, 0, 0, 0);
    for (QWidget* frame : {Frame2, Frame3, Frame4, Frame1})
        fields->addWidget(frame);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidget(body);
    WindowControls::keepFocusInView(scroll);
    layout->addWidget(scroll, 1);
    layout->addLayout(buttons);

    const QMargins m = layout->contentsMargins();
    int height = body->sizeHint().height() + layout->spacing() + Command1->sizeHint().height() + m.top() + m.bottom();
    if (const QScreen* where = screen())
        height = std::min(height, where->availableGeometry().height() - 16);
    resize(320, height);
    setMask(outline(size()));
    Text1->setFocus();
}

void Form3::editProfile(const QString& entryText, const QString& line)
{
    const ProfileLine::Fields fields = ProfileLine::fields(line);
    Text1->setText(fields.server);
    Text2->setText(fields.login);
    Text3->setText(fields.password);
    Text4->setText(fields.password);
    Text5->setText(fields.name);
    Frame1->setTitle(entryText);
    Command1->setText(modifyModeCaption());
    EditedLine = line;
}

void Form3::Command1_Click()
{
    const QString name = ProfileLine::trimSpaces(Text5->text());
    const bool newMode = Command1->text() == newModeCaption();

    for (int i = 0; i < m_list.count(); ++i) {
        if (m_list.item(i)->text() != name)
            continue;
        if (newMode) {
            refuse(QStringLiteral("Le nom du profil existe deja !!!"), DialogIcon::Exclamation, Text5);
            return;
        }
        break; // in modify mode the profile keeps or takes a name already listed
    }
    if (name.isEmpty()) {
        refuse(QStringLiteral("Le nom du profil est invalide"), DialogIcon::Information, Text5);
        return;
    }
    if (ProfileLine::trimSpaces(Text1->text()).isEmpty()) {
        refuse(QStringLiteral("L'adresse du serveur n'est pas valide.\n"
                              "Elle doit être de la forme «www.serveur.com» ou\n"
                              "l'adresse IP du serveur."),
               DialogIcon::Exclamation, Text1);
        return;
    }
    if (Text4->text() != Text3->text()) {
        refuse(QStringLiteral("Le mot de passe est différent !"), DialogIcon::Exclamation, Text3);
        return;
    }
    // A separator inside a value would cut its field short when the line is read back.
    for (QLineEdit* box : {Text1, Text2, Text3, Text4, Text5}) {
        const QChar c = ProfileLine::forbiddenCharacter(box->text());
        if (c.isNull())
            continue;
        refuse(c == u'\r' || c == u'\n'
                   ? QStringLiteral("Un profil ne peut pas contenir de saut de ligne.")
                   : QStringLiteral("Le caractère « %1 » ne peut pas être utilisé : il sépare les champs du fichier "
                                    "des profils.")
                         .arg(c),
               DialogIcon::Exclamation, box);
        return;
    }

    const QString line = ProfileLine::make(Text1->text(), Text2->text(), Text3->text(), Text5->text());
    const QString file = ProfileFile::profileFileName();
    QString error;
    if (newMode) {
        if (!m_profiles.EcrireFin(file, line, &error)) {
            fileError(error);
            return;
        }
        Form2::addEntry(m_list, Text5->text(), line);
    } else {
        if (!m_profiles.Modif(file, EditedLine, line, true, &error)) {
            fileError(error);
            return;
        }
        m_profiles.Lire(file);
        replaceEditedEntry(line);
    }
    accept();
}

void Form3::Command2_Click()
{
    reject();
}

void Form3::replaceEditedEntry(const QString& line)
{
    // The first entry captioned as Frame1 goes; of several profiles under that name, the one whose
    // line was edited.
    const QString oldName = Frame1->title();
    int row = -1;
    for (int i = 0; i < m_list.count(); ++i) {
        const QListWidgetItem* item = m_list.item(i);
        if (item->text() != oldName)
            continue;
        if (row < 0)
            row = i;
        if (Form2::lineOf(*item) == EditedLine) {
            row = i;
            break;
        }
    }
    if (row < 0)
        return;
    delete m_list.takeItem(row);
    // Copies of the edited line elsewhere in the file were replaced too; their entries follow.
    for (int i = 0; i < m_list.count(); ++i) {
        QListWidgetItem* item = m_list.item(i);
        if (Form2::lineOf(*item) == EditedLine) {
            item->setText(Text5->text());
            item->setData(Form2::ProfileLineRole, line);
        }
    }
    Form2::addEntry(m_list, Text5->text(), line);
}

void Form3::refuse(const QString& text, DialogIcon icon, QLineEdit* box)
{
    m_dialogs.inform(text, profileMessageTitle(), icon);
    box->setFocus();
}

void Form3::fileError(const QString& text)
{
    m_dialogs.inform(text, profileMessageTitle(), DialogIcon::Critical);
}

QRegion Form3::outline(const QSize& size)
{
    const int w = size.width();
    const int h = size.height();
    const int d = CornerEllipse;
    const int r = d / 2;
    QRegion region(r, 0, std::max(0, w - d), h);
    region += QRegion(0, r, w, std::max(0, h - d));
    region += QRegion(0, 0, d, d, QRegion::Ellipse);
    region += QRegion(w - d, 0, d, d, QRegion::Ellipse);
    region += QRegion(0, h - d, d, d, QRegion::Ellipse);
    region += QRegion(w - d, h - d, d, d, QRegion::Ellipse);
    return region & QRegion(0, 0, w, h);
}

void Form3::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    setMask(outline(size()));
}

void Form3::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    // Without a window frame, a thin line shows where the editor ends.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), CornerEllipse / 2.0, CornerEllipse / 2.0);
}

void Form3::mousePressEvent(QMouseEvent* event)
{
    // No title bar to drag: the window moves when its background is dragged.
    if (event->button() == Qt::LeftButton && windowHandle() && windowHandle()->startSystemMove()) {
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}
