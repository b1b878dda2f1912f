#pragma once

#include <QString>
#include <QStringList>

// Finding users in the list by what the user types while the list has the focus.
namespace usersearch {

// Whether a user whose shown fields (name, region, activity) are `fields` answers `typed`:
// every word of it occurs in one of the fields, ignoring letter case, so that "ann mos" finds
// Anna from Moscow. An empty or blank text matches everyone.
bool matches(const QStringList& fields, const QString& typed);

} // namespace usersearch
