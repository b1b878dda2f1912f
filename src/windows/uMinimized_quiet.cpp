// The unread news, do not disturb and the connection on the mini bar: the session's results say
// who wrote and whose conversation was opened, which the client's state keeps; the bar's marks
// and hint show it, as the tray icon does, for a desktop without a tray.
#include "windows/uMinimized.h"

#include "app/AppContext.h"
#include "session/ClientSession.h"
#include "session/ClientState.h"
#include "windows/FrameImage.h"
#include "windows/TrayBadge.h"
#include "windows/TrayIcon.h"

#include <QDateTime>
#include <QLabel>

void TMinimized::createQuiet()
{
    m_barMarks = new QLabel(this);
    m_barMarks->setObjectName(QStringLiteral("barMarks"));
    m_barMarks->setGeometry(m_picture->geometry());
    // The bar's drags and clicks go to the picture below.
    m_barMarks->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_barMarks->hide();

    ClientSession& session = m_ctx.session();
    ClientState& state = m_ctx.state();
    connect(&session, &ClientSession::announced, this, &TMinimized::onAnnounced);
    connect(&session, &ClientSession::correspondentOpened, this, &TMinimized::onConversationOpened);
    connect(&session, &ClientSession::popupCorrespondentOpened, this,
            &TMinimized::onConversationOpened);
    // Files dropped for a correspondent whose conversation was already selected open nothing
    // new, yet the user has just turned to them.
    connect(&session, &ClientSession::filesSent, this, [this](const FilesResult& result) {
        if (result.reached)
            m_ctx.state().readNews(result.request.recipient);
    });
    // Another user may sign in next; what was unread was the last one's.
    connect(&session, &ClientSession::signedOut, this, [this] {
        const QStringList unread = m_ctx.state().unread().names();
        for (const QString& name : unread)
            m_ctx.state().readNews(name);
    });
    connect(&state, &ClientState::newsChanged, this, &TMinimized::showQuietAndUnread);
    connect(&state, &ClientState::connectionChanged, this, &TMinimized::showQuietAndUnread);
    connect(&m_ctx, &AppContext::doNotDisturbChanged, this, &TMinimized::showQuietAndUnread);

    // A span that ended while the program was not running is forgotten now.
    if (!m_ctx.dropExpiredDoNotDisturb())
        showQuietAndUnread();
}

void TMinimized::onAnnounced(const poll::Announcement& announcement)
{
    // The mark belongs to the conversation, whoever wrote its newest entry.
    m_ctx.state().addNews(announcement.correspondent.isEmpty() ? announcement.sender
                                                               : announcement.correspondent);
}

void TMinimized::onConversationOpened(const CorrespondentResult& result)
{
    m_ctx.state().readNews(result.name);
}

void TMinimized::showQuietAndUnread()
{
    const DoNotDisturb& quiet = m_ctx.doNotDisturb();
    const StringTable& strings = m_ctx.strings();
    const UnreadNews& unread = m_ctx.state().unread();
    const bool muted = quiet.isOn();

    if (muted != m_marksMuted || unread.count() != m_marksUnread) {
        m_marksMuted = muted;
        m_marksUnread = unread.count();
        const QString badge = UnreadNews::badgeText(m_marksUnread);
        if (badge.isEmpty() && !muted) {
            m_barMarks->hide();
        } else {
            m_barMarks->setPixmap(traybadge::drawn(QIcon(), m_barMarks->width(), badge, muted));
            m_barMarks->show();
            m_barMarks->raise();
        }
    }

    // Files that wait, or a drop that went nowhere, come before the news.
    const QString drop = dropStateLine();
    QStringList lines;
    const QString connection =
        m_ctx.state().connection().hintLine(strings, QDateTime::currentDateTime());
    for (const QString& line :
         {m_uploadState, connection, drop, unread.summary(strings), quiet.hintLine(strings)}) {
        if (!line.isEmpty())
            lines.append(line);
    }
    setToolTip(lines.join(u'\n'));
    m_tray->setActivity(m_uploadState, drop);
}
