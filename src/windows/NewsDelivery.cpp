#include "windows/NewsDelivery.h"

#include "app/AppContext.h"
#include "platform/Notifications.h"
#include "session/ClientState.h"

#include <QFileInfo>

namespace {

NewsNotices::News newsOf(const poll::Announcement& a)
{
    return {a.sender, a.correspondent, a.isMessage, a.firstLine, a.secondLine, a.fileName};
}

} // namespace

NewsDelivery::NewsDelivery(AppContext& ctx) : m_ctx(ctx), m_service(*ctx.platform().notifications)
{
    setObjectName(QStringLiteral("newsDelivery"));
    m_service.setHandlers(
        {[this](const QString& key, const QString& action) { onInvoked(key, action); },
         [this](const QString& key) { m_onScreen.remove(key); },
         [this](const QString& key) { onFailed(key); }});
    connect(&m_ctx.session(), &ClientSession::announced, this, &NewsDelivery::onAnnounced);
    connect(&m_ctx.session(), &ClientSession::filesArrived, this, &NewsDelivery::onFilesArrived);
    connect(&m_ctx.state(), &ClientState::newsChanged, this, &NewsDelivery::onNewsChanged);
    // The answer is there before the first news comes.
    if (desktopChosen())
        m_service.askServer();
}

NewsDelivery::~NewsDelivery()
{
    // The handlers point here; the service outlives this router.
    m_service.setHandlers({});
}

bool NewsDelivery::desktopChosen() const
{
    return m_ctx.platform().settings->value(QString::fromUtf16(NewsNotices::kSettingsKey)) == u"1";
}

void NewsDelivery::onDesktopChosen(bool on)
{
    if (on) {
        m_service.askServer();
        return;
    }
    for (const QString& conversation : std::as_const(m_onScreen))
        m_service.close(conversation);
    m_onScreen.clear();
}

void NewsDelivery::onAnnounced(const poll::Announcement& announcement)
{
    // Counted also while nothing shows: the count says what is unread.
    const NewsNotices::Notice notice = m_notices.add(newsOf(announcement), m_ctx.strings());
    m_newest.insert(notice.conversation, announcement);
    // The news is kept as unread on the tray icon instead.
    if (m_ctx.doNotDisturb().isOn())
        return;
    if (desktopChosen() && m_service.serverAnswers())
        show(notice);
    else
        toPopup(announcement);
}

void NewsDelivery::onFilesArrived(const poll::Announcement& announcement)
{
    const auto notice =
        m_notices.filesArrived(newsOf(announcement), m_ctx.folders().networkDir, m_ctx.strings());
    if (notice && m_onScreen.contains(notice->conversation))
        show(*notice);
    if (announcement.sender == m_popupSender)
        emit popupFilesArrived(announcement);
}

void NewsDelivery::onNewsChanged()
{
    const QStringList unread = m_ctx.state().unread().names();
    for (const QString& conversation : m_notices.conversations()) {
        if (unread.contains(conversation))
            continue;
        m_notices.forget(conversation);
        m_newest.remove(conversation);
        if (m_onScreen.remove(conversation))
            m_service.close(conversation);
    }
}

void NewsDelivery::onInvoked(const QString& conversation, const QString& action)
{
    const auto notice = m_notices.notice(conversation, m_ctx.strings());
    if (action == QString::fromUtf16(NewsNotices::kOpen)) {
        // Before the window opens it, which reads the conversation and forgets its news.
        const auto newest = m_newest.constFind(conversation);
        const bool typeReply = newest == m_newest.constEnd() || newest->isMessage;
        emit showMainWindowRequested();
        emit openConversationRequested(conversation, typeReply);
    } else if (action == QString::fromUtf16(NewsNotices::kMarkRead)) {
        m_ctx.state().readNews(conversation);
    } else if (action == QString::fromUtf16(NewsNotices::kOpenFile)) {
        if (notice && !notice->file.isEmpty() && QFileInfo(notice->file).isFile())
            m_ctx.platform().shell->openPath(notice->file);
    }
}

void NewsDelivery::onFailed(const QString& conversation)
{
    m_onScreen.remove(conversation);
    // The server did not take it: the popup shows what it would have said.
    const auto newest = m_newest.constFind(conversation);
    if (newest != m_newest.constEnd() && !m_ctx.doNotDisturb().isOn())
        toPopup(poll::Announcement(*newest));
}

void NewsDelivery::toPopup(const poll::Announcement& announcement)
{
    m_popupSender = announcement.sender;
    emit popupRequested(announcement);
}

void NewsDelivery::show(const NewsNotices::Notice& notice)
{
    Notifications::Notice shown;
    shown.summary = notice.summary;
    shown.body = notice.body;
    shown.actions = notice.actions;
    const QString icon = m_ctx.folders().programDataDir + QStringLiteral("Larkspire.png");
    if (QFileInfo(icon).isFile())
        shown.icon = icon;
    m_service.show(notice.conversation, shown);
    m_onScreen.insert(notice.conversation);
}
