#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// One line of the user directory: mark, name, region, activity, avatar type, language,
// separated by "}".
namespace userentry {
QString field(const QString& entry, int k);
QString name(const QString& entry);
QString language(const QString& entry);
bool isMarked(const QString& entry); // "(+)": the conversation changed and is unread
QString withMark(const QString& entry);
QString withoutMark(const QString& entry);
// Whether a name may become part of a local path (conversation copies, avatars, received
// files): never empty, ".", "..", nor holding a separator. Other entries are shown but not opened.
bool openable(const QString& name);
} // namespace userentry

// The main window's directory lists, kept sorted by their text as the list boxes keep them.
class UserDirectory
{
public:
    // The one order of directory lists, whatever the locale: clients in different languages
    // upload the same file in the same order. Letter case decides only between equal texts.
    static bool before(const QString& a, const QString& b);
    static void sort(QStringList& lines);
    // Adds a line where the order puts it; lines must be sorted.
    static void insertSorted(QStringList& lines, const QString& line);
    // The first line whose name is name, or -1.
    static int find(const QStringList& lines, const QString& name);

    const QStringList& userst() const { return m_userst; } // everyone, as last loaded
    const QStringList& ausers() const { return m_ausers; } // userst before the last reload
    const QStringList& users() const { return m_users; }   // everyone but the signed-in user
    int selected() const { return m_selected; }
    const QString& selectedPeer() const { return m_selectedPeer; }
    // The open correspondent's name, the recipient of every send.
    const QString& sendbutHint() const { return m_sendbutHint; }

    // The first load after connecting. copy is the loaded working copy, nullopt when it could
    // not be read.
    void firstFill(const std::optional<QStringList>& copy, const QString& signedInName);

    // A reload; true when the directory's text changed. A copy that could not be read keeps
    // the lists as they are, rather than emptying everyone's list for one poll.
    bool reload(const std::optional<QStringList>& copy, const QString& sessionUser);

    // Selects the first entry named SelectedPeer and takes its name as the recipient.
    void selectPeer();
    // False, keeping the selection as it was, for an entry that cannot be opened.
    bool select(int row);
    void setSelectedPeer(const QString& name) { m_selectedPeer = name; }
    void setSendbutHint(const QString& name) { m_sendbutHint = name; }
    // Takes the signed-in user's own line out of users, where a fill that ran before the name
    // was known left it; the line, or an empty text when it was not there.
    QString takeOwnLine(const QString& name);
    // Replaces a line of users in place (marks).
    void setUserLine(int row, const QString& line);

    // Takes the lists of a copy that work elsewhere brought up to date. The copy's selection
    // comes with them unless the user chose another entry meanwhile: then this one's stays,
    // on its entry's new row.
    void adopt(const UserDirectory& copy, bool keepOwnSelection);
    // The selection as one comparable value.
    QString selectionKey() const;

    // Showing the sign-in screen forgets everything.
    void clear();

private:
    QStringList m_userst;
    QStringList m_ausers;
    QStringList m_users;
    void removeOwnLines(const QString& name);

    int m_selected = -1;
    QString m_selectedPeer;
    QString m_sendbutHint;
};
