#pragma once

#include <QString>
#include <QStringList>

class StringTable;

// The correspondents whose news arrived and whose conversation has not been opened since, in
// the order the news came.
class UnreadNews
{
public:
    // The hint names this many and counts the rest.
    static constexpr int kNamesShown = 5;
    static constexpr int kTxtUnread = 386;  // %1: how many, %2: their names
    static constexpr int kTxtAndMore = 387; // %1: how many more

    // Each returns whether anything changed.
    bool add(const QString& name);
    bool remove(const QString& name);
    bool clear();

    int count() const { return static_cast<int>(m_names.size()); }
    const QStringList& names() const { return m_names; }

    // "3 unread: alice, bob, carol"; empty when nothing is unread.
    QString summary(const StringTable& strings) const;
    // What the badge on the icon says: empty for none, "9+" beyond nine.
    static QString badgeText(int count);

private:
    QStringList m_names;
};
