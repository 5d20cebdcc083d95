#include "ArticleTotal.h"

#include <limits>

bool ArticleTotal::step()
{
    const int next = m_value + Step;
    if (next > std::numeric_limits<qint16>::max())
        return false;
    m_value = static_cast<qint16>(next);
    return true;
}
