#include "core/Drafts.h"

namespace drafts {

QString key(const QString& owner, const QString& peer, Box box)
{
    const auto hex = [](const QString& name) { return QString::fromLatin1(name.toUtf8().toHex()); };
    const QString group =
        box == Box::Message ? QStringLiteral("Drafts") : QStringLiteral("QuickDrafts");
    // An empty name still gets a key of its own: hex of nothing would merge it into the group.
    return group + u'/' + u'n' + hex(owner) + u'/' + u'n' + hex(peer);
}

} // namespace drafts
