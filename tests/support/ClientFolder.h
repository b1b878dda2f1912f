#pragma once

#include "support/TempTree.h"

#include <QByteArray>
#include <QString>

// The data folder a client of `who` (a folder under the test's tree) starts from: its language
// file and the picture it uploads as its avatar when it registers. Any bytes do as an avatar;
// only tests that look at the picture need a real one.
inline void prepareClientFolder(const TempTree& root, const QString& who,
                                const QByteArray& avatar = "avatar",
                                const QByteArray& languageFile = "eng/\r\n")
{
    root.write(who + "/app/0rg_System/LC.xo", languageFile);
    root.write(who + "/app/0rg_System/avax.png", avatar);
}
