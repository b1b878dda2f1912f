#include "core/TextFind.h"

namespace textfind {

QList<qsizetype> matches(const QString& text, const QString& needle)
{
    QList<qsizetype> found;
    if (needle.isEmpty())
        return found;
    for (qsizetype at = text.indexOf(needle, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(needle, at + needle.size(), Qt::CaseInsensitive))
        found.append(at);
    return found;
}

int step(int current, int count, bool forward)
{
    if (count <= 0)
        return -1;
    if (current < 0 || current >= count)
        return forward ? 0 : count - 1;
    return forward ? (current + 1) % count : (current + count - 1) % count;
}

} // namespace textfind
