#include "core/UnreadNews.h"

#include "core/uLocal.h"

bool UnreadNews::add(const QString& name)
{
    if (name.isEmpty() || m_names.contains(name))
        return false;
    m_names.append(name);
    return true;
}

bool UnreadNews::remove(const QString& name)
{
    return m_names.removeAll(name) > 0;
}

bool UnreadNews::clear()
{
    if (m_names.isEmpty())
        return false;
    m_names.clear();
    return true;
}

QString UnreadNews::summary(const StringTable& strings) const
{
    if (m_names.isEmpty())
        return {};
    QString names = m_names.mid(0, kNamesShown).join(QStringLiteral(", "));
    if (count() > kNamesShown)
        names += u' ' + strings.text(kTxtAndMore).arg(count() - kNamesShown);
    return strings.text(kTxtUnread).arg(QString::number(count()), names);
}

QString UnreadNews::badgeText(int count)
{
    if (count <= 0)
        return {};
    return count > 9 ? QStringLiteral("9+") : QString::number(count);
}
