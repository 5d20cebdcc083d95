#pragma once

#include "platform/Dialogs.h"

#include <QDialog>
#include <QString>

class ProfileFile;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRegion;

// The profile editor. New mode while the confirm button reads "&Valider": the profile is appended
// to the file and its name to the list. Modify mode otherwise (editProfile): the edited line is
// replaced in the file and the list entry captioned in Frame1 makes way for the new name.
// "&Valider" writes nothing until all four checks have passed; a failed check keeps the editor
// open with the focus in the box to correct.
class Form3 final : public QDialog {
    Q_OBJECT
public:
    // `profileList` is the list of the profile list dialog (Form2's List1), read by the duplicate
    // check and updated on a save.
    Form3(ProfileFile& profiles, Dialogs& dialogs, QListWidget& profileList, QWidget* parent = nullptr);

    static QString newModeCaption() { return QStringLiteral("&Valider"); }
    static QString modifyModeCaption() { return QStringLiteral("&Modifier"); }

    // Modify mode on the profile of this list entry and line: boxes filled from the line, Frame1
    // captioned with the entry's text, the line kept as the edited line.
    void editProfile(const QString& entryText, const QString& line);

    void Command1_Click(); // "&Valider": checks, then saves
    void Command2_Click(); // "&Annuler": closes, nothing saved

    // The window's outline: a rounded rectangle over `size` with 20-pixel corner ellipses.
    static QRegion outline(const QSize& size);

    // The profile line being replaced in modify mode.
    const QString& editedLine() const { return EditedLine; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void refuse(const QString& text, DialogIcon icon, QLineEdit* box);
    void fileError(const QString& text);
    void replaceEditedEntry(const QString& line);

    ProfileFile& m_profiles;
    Dialogs& m_dialogs;
    QListWidget& m_list;
    QString EditedLine;

    // Controls, named as the dialog's design names them.
    QGroupBox* Frame2 = nullptr;
    QLineEdit* Text1 = nullptr; // server
    QGroupBox* Frame3 = nullptr;
    QLineEdit* Text2 = nullptr; // login
    QGroupBox* Frame4 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Text3 = nullptr; // password
    QLabel* Label2 = nullptr;
    QLineEdit* Text4 = nullptr; // confirmation
    QGroupBox* Frame1 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Text5 = nullptr; // profile name
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
};
