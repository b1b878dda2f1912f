#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class StringTable;

// Files dropped on a window that cannot go up at once. With the server away they wait for it,
// rather than being lost or sending the user to the sign-in screen (which signs them out); with
// nobody signed in there is nobody to send as, so nothing is kept.
class PendingDrop
{
public:
    static constexpr int kTxtWaitingForServer = 399; // %1: how many files wait
    static constexpr int kTxtSignInToSend = 400;
    static constexpr int kTxtClickToCancel = 401;
    static constexpr int kTxtNotSent = 150;

    // What the window knows when the files are let go, and whenever the connection changes.
    struct Conditions
    {
        QString user;        // the signed-in user; empty when nobody is
        bool online = false; // the connection state, as the detector last said
    };

    enum class Verdict
    {
        Send,       // the files go up now
        Wait,       // they are kept until the server is back
        SignInFirst // nobody to send as: nothing is kept
    };

    // The files of one drop, for one recipient, by the user who dropped them.
    struct Files
    {
        QString sender;
        QString recipient;
        QStringList paths;
    };

    static Verdict decide(const Conditions& now);

    // Takes a drop: Wait keeps it, beside the files already waiting (a file dropped twice for
    // the same recipient waits once); Send and SignInFirst keep nothing.
    Verdict offer(const Files& files, const Conditions& now);
    // A send that did not reach the server: its files wait again.
    void putBack(const Files& files);
    // The drops to send now, taken out; none while the server is away. Files of a user who is no
    // longer the one signed in are forgotten: they must never go up under another name.
    QList<Files> release(const Conditions& now);
    // The user gave up the waiting files.
    void cancel() { m_waiting.clear(); }

    bool waiting() const { return !m_waiting.isEmpty(); }
    int fileCount() const;
    const QList<Files>& files() const { return m_waiting; }

    // What the window shows while files wait, with how to give them up; empty when none wait.
    QString waitingText(const StringTable& strings) const;
    // Why a drop with this verdict did not go up at once; empty for Send.
    static QString reason(Verdict verdict, int files, const StringTable& strings);
    // The error report of the files of a send that did not go up, one "file name: why" line
    // each under its heading; empty when every file went up.
    static QString notSentText(const QStringList& notSent, const StringTable& strings);

private:
    QList<Files> m_waiting;
};
