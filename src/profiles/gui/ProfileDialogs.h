#pragma once

#include <QString>

#include <functional>

class Dialogs;
class ProfileFile;
class QWidget;

// Puts an activated profile's server, login and password into the main window's boxes
// (Text4, Text2 and Text3 of Form1).
using ProfileActivation = std::function<void(const QString& server, const QString& login, const QString& password)>;

// The main window's "open the profile list": loads the shared table from "\Profil.ini"
// (ProfileFile::Lire), then shows the profile list (Form2) modally, filled with the profiles'
// names; returns when it is closed. A double click on a profile calls `activate` and closes the
// list. Messages go through `dialogs`.
void openProfileList(ProfileFile& profiles, Dialogs& dialogs, ProfileActivation activate, QWidget* parent = nullptr);

// The same on a table of its own, for a caller that has none (a profiles-only run).
void openProfileList(const QString& appDir, Dialogs& dialogs, ProfileActivation activate, QWidget* parent = nullptr);

// Title of the profile dialogs' message boxes: the application's.
inline QString profileMessageTitle()
{
    return QStringLiteral("VORN_UPDATE_VERSION");
}
