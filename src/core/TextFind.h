#pragma once

#include <QList>
#include <QString>

// Finding a typed text in a conversation, as the find bar over the conversation view does.
namespace textfind {

// Where `needle` starts in `text`, ignoring letter case, left to right and without overlaps;
// nothing for an empty needle. Each match is needle.size() characters long.
QList<qsizetype> matches(const QString& text, const QString& needle);

// The match after (forward) or before `current` among `count`, going round at either end; -1
// when there are none. A current of -1 (none chosen yet) goes to the first or the last.
int step(int current, int count, bool forward);

} // namespace textfind
