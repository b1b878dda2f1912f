#include "core/PendingDrop.h"

#include "core/uLocal.h"

PendingDrop::Verdict PendingDrop::decide(const Conditions& now)
{
    if (now.user.isEmpty())
        return Verdict::SignInFirst;
    return now.online ? Verdict::Send : Verdict::Wait;
}

PendingDrop::Verdict PendingDrop::offer(const Files& files, const Conditions& now)
{
    const Verdict verdict = decide(now);
    if (verdict == Verdict::Wait)
        putBack(files);
    return verdict;
}

void PendingDrop::putBack(const Files& files)
{
    for (Files& held : m_waiting) {
        if (held.sender != files.sender || held.recipient != files.recipient)
            continue;
        for (const QString& path : files.paths) {
            if (!held.paths.contains(path))
                held.paths.append(path);
        }
        return;
    }
    if (!files.paths.isEmpty())
        m_waiting.append(files);
}

QList<PendingDrop::Files> PendingDrop::release(const Conditions& now)
{
    if (now.user.isEmpty() || !now.online)
        return {};
    QList<Files> ready;
    for (const Files& held : std::as_const(m_waiting)) {
        if (held.sender == now.user)
            ready.append(held);
    }
    m_waiting.clear();
    return ready;
}

int PendingDrop::fileCount() const
{
    int count = 0;
    for (const Files& held : m_waiting)
        count += static_cast<int>(held.paths.size());
    return count;
}

QString PendingDrop::waitingText(const StringTable& strings) const
{
    if (!waiting())
        return {};
    return reason(Verdict::Wait, fileCount(), strings) + u'\n' + strings.text(kTxtClickToCancel);
}

QString PendingDrop::reason(Verdict verdict, int files, const StringTable& strings)
{
    switch (verdict) {
    case Verdict::Send:
        return {};
    case Verdict::Wait:
        return strings.text(kTxtWaitingForServer).arg(files);
    case Verdict::SignInFirst:
        return strings.text(kTxtSignInToSend);
    }
    return {};
}

QString PendingDrop::notSentText(const QStringList& notSent, const StringTable& strings)
{
    if (notSent.isEmpty())
        return {};
    return strings.text(kTxtNotSent) + u'\n' + notSent.join(u'\n');
}
