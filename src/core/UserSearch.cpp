#include "core/UserSearch.h"

namespace usersearch {

bool matches(const QStringList& fields, const QString& typed)
{
    const QStringList words = typed.split(u' ', Qt::SkipEmptyParts);
    for (const QString& word : words) {
        bool found = false;
        for (const QString& field : fields)
            found = found || field.contains(word, Qt::CaseInsensitive);
        if (!found)
            return false;
    }
    return true;
}

} // namespace usersearch
