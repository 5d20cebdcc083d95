#include "CaseTwins.h"

#include "LocalTarget.h"
#include "platform/text/WindowsNames.h"

CaseTwins::CaseTwins(const QStringList& listing)
{
    m_first.reserve(listing.size());
    // insert() replaces an earlier value: walked backwards, the listing's first name stays.
    for (auto it = listing.crbegin(); it != listing.crend(); ++it)
        m_first.insert(WindowsNames::folded(*it), *it);
}

bool CaseTwins::admits(const QString& name, QString& why) const
{
    const auto first = m_first.constFind(WindowsNames::folded(name));
    if (first == m_first.constEnd() || *first == name)
        return true;
    why = QStringLiteral("Nom « %1 » refusé : il ne diffère de « %2 », plus haut dans la liste, que par la casse ; "
                         "Windows n'en garderait qu'un.")
              .arg(LocalTarget::shown(name), LocalTarget::shown(*first));
    return false;
}
