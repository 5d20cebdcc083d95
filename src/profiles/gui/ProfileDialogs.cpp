#include "ProfileDialogs.h"

#include "Form2.h"
#include "profiles/ProfileFile.h"

void openProfileList(ProfileFile& profiles, Dialogs& dialogs, ProfileActivation activate, QWidget* parent)
{
    profiles.Lire(ProfileFile::profileFileName());
    Form2 list(profiles, dialogs, std::move(activate), parent);
    list.exec();
}

void openProfileList(const QString& appDir, Dialogs& dialogs, ProfileActivation activate, QWidget* parent)
{
    ProfileFile profiles(appDir);
    openProfileList(profiles, dialogs, std::move(activate), parent);
}
