#include "core/UserDirectory.h"

#include <QSet>

#include "core/Limits.h"

#include "core/StringList.h"

#include <algorithm>

namespace userentry {

QString field(const QString& entry, int k)
{
    return stringlist::field(entry, k, u'}');
}

QString name(const QString& entry)
{
    return field(entry, 1);
}

QString language(const QString& entry)
{
    return field(entry, 5);
}

bool isMarked(const QString& entry)
{
    return field(entry, 0) == u"(+)";
}

QString withoutMark(const QString& entry)
{
    QStringList fields;
    for (int k = 1; k <= 5; ++k)
        fields.append(field(entry, k));
    return u'}' + fields.join(u'}');
}

QString withMark(const QString& entry)
{
    return QStringLiteral("(+)") + withoutMark(entry);
}

bool openable(const QString& name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') &&
           !name.contains(u'\\');
}

} // namespace userentry

bool UserDirectory::before(const QString& a, const QString& b)
{
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

void UserDirectory::sort(QStringList& lines)
{
    std::stable_sort(lines.begin(), lines.end(), before);
}

void UserDirectory::insertSorted(QStringList& lines, const QString& line)
{
    lines.insert(std::upper_bound(lines.begin(), lines.end(), line, before), line);
}

int UserDirectory::find(const QStringList& lines, const QString& name)
{
    for (int i = 0; i < lines.size(); ++i) {
        if (userentry::name(lines.at(i)) == name)
            return i;
    }
    return -1;
}

void UserDirectory::firstFill(const std::optional<QStringList>& copy, const QString& signedInName)
{
    m_users = limits::listableDirectoryLines(copy.value_or(QStringList()));
    sort(m_users);
    m_selected = -1;
    m_userst = m_users;
    removeOwnLines(signedInName);
}

// Every line of the signed-in name goes, duplicates included: nobody writes to themselves.
void UserDirectory::removeOwnLines(const QString& name)
{
    for (int own = find(m_users, name); own >= 0; own = find(m_users, name))
        m_users.removeAt(own);
}

bool UserDirectory::reload(const std::optional<QStringList>& copy, const QString& sessionUser)
{
    if (!copy) {
        selectPeer();
        return false;
    }
    m_ausers = m_userst;
    m_userst = limits::listableDirectoryLines(*copy);
    sort(m_userst);
    const bool changed = m_userst != m_ausers;
    if (changed) {
        if (m_selected >= 0)
            m_selectedPeer = userentry::name(m_users.at(m_selected));
        // Every change shows, a renamed user or a new region as much as a new user; the unread
        // marks of users still listed stay.
        QSet<QString> marked;
        for (const QString& line : std::as_const(m_users))
            if (userentry::isMarked(line))
                marked.insert(userentry::name(line));
        m_users = m_userst;
        for (QString& line : m_users)
            if (marked.contains(userentry::name(line)))
                line = userentry::withMark(line);
        m_selected = -1;
        removeOwnLines(sessionUser);
    }
    selectPeer();
    return changed;
}

void UserDirectory::adopt(const UserDirectory& copy, bool keepOwnSelection)
{
    if (!keepOwnSelection) {
        *this = copy;
        return;
    }
    const QString selectedName =
        m_selected >= 0 ? userentry::name(m_users.value(m_selected)) : QString();
    m_userst = copy.m_userst;
    m_ausers = copy.m_ausers;
    m_users = copy.m_users;
    m_selected = selectedName.isEmpty() ? -1 : find(m_users, selectedName);
}

QString UserDirectory::selectionKey() const
{
    return QString::number(m_selected) + u'\n' +
           (m_selected >= 0 ? userentry::name(m_users.value(m_selected)) : QString()) + u'\n' +
           m_selectedPeer + u'\n' + m_sendbutHint;
}

void UserDirectory::selectPeer()
{
    const int row = find(m_users, m_selectedPeer);
    if (row < 0)
        return;
    m_selected = row;
    m_sendbutHint = userentry::name(m_users.at(row));
}

bool UserDirectory::select(int row)
{
    if (row < 0 || row >= m_users.size()) {
        m_selected = -1;
        return true;
    }
    // An entry whose name cannot be a folder is listed, but never becomes the correspondent.
    if (!userentry::openable(userentry::name(m_users.at(row))))
        return false;
    m_selected = row;
    return true;
}

QString UserDirectory::takeOwnLine(const QString& name)
{
    const int own = find(m_users, name);
    if (own < 0)
        return {};
    const QString line = m_users.at(own);
    const QString selected = m_selected >= 0 ? m_users.at(m_selected) : QString();
    removeOwnLines(name);
    m_selected = selected.isEmpty() ? -1 : static_cast<int>(m_users.indexOf(selected));
    return line;
}

void UserDirectory::setUserLine(int row, const QString& line)
{
    if (row >= 0 && row < m_users.size())
        m_users[row] = line;
}

void UserDirectory::clear()
{
    m_users.clear();
    m_userst.clear();
    m_ausers.clear();
    m_selected = -1;
    m_selectedPeer.clear();
}
