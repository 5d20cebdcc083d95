#pragma once

#include "ProfileDialogs.h"

#include <QDialog>
#include <QString>

#include <functional>

class Dialogs;
class Form3;
class ProfileFile;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// The profile list ("Profil FTP"): one entry per profile name, filled from the shared table when
// it opens. Each entry carries its profile line, so "&Modifier", "&Supprimer" and the double click
// act on the line it came from even when two profiles share a name.
class Form2 final : public QDialog {
    Q_OBJECT
public:
    static constexpr int ProfileLineRole = Qt::UserRole;

    // How the editor is shown; modal by default. Tests drive it in place instead.
    using EditorRunner = std::function<void(Form3& editor)>;

    Form2(ProfileFile& profiles, Dialogs& dialogs, ProfileActivation activate, QWidget* parent = nullptr);

    void setEditorRunner(EditorRunner runner) { m_runEditor = std::move(runner); }

    void Command1_Click();                      // "&Nouveau": the editor in new mode
    void Command3_Click();                      // "&Modifier": the editor on the selected profile
    void Command2_Click();                      // "&Supprimer": removes the selected profile after a question
    void List1_DblClick(QListWidgetItem* item); // activates the profile and closes the list

    // Appends an entry showing `text` for the profile `line`.
    static void addEntry(QListWidget& list, const QString& text, const QString& line);
    static QString lineOf(const QListWidgetItem& item);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fillList();
    QListWidgetItem* selectedEntry() const;
    void updateButtons();

    ProfileFile& m_profiles;
    Dialogs& m_dialogs;
    ProfileActivation m_activate;
    EditorRunner m_runEditor;

    // Controls, named as the dialog's design names them.
    QGroupBox* Frame1 = nullptr;
    QListWidget* List1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command2 = nullptr;
    QLabel* Picture1 = nullptr;
};
