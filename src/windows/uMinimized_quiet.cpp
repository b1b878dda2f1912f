// Do not disturb and the unread count: the mini bar's menu turns do not disturb on for a span,
// and the tray icon, its hint and the bar show what is unread and whether the program is quiet.
#include "windows/uMinimized.h"

#include "app/AppContext.h"
#include "session/ClientSession.h"
#include "windows/FrameImage.h"
#include "windows/TrayBadge.h"

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

const QString kProgramName = QStringLiteral("Larkspire");
// Often enough that the icon loses its muted mark within a minute of the span's end.
constexpr int kQuietCheckMs = 30000;

} // namespace

void TMinimized::createQuiet()
{
    const StringTable& strings = m_ctx.strings();
    quietMenu = new QMenu(strings.text(DoNotDisturb::kTxtDoNotDisturb), PopupMenu1);
    quietMenu->setObjectName(QStringLiteral("quietMenu"));
    quietItem = quietMenu->menuAction();
    quietItem->setObjectName(QStringLiteral("quietItem"));
    quietItem->setCheckable(true);
    PopupMenu1->insertMenu(pop3, quietMenu);

    quietSpans = new QActionGroup(quietMenu);
    quietSpans->setExclusive(true);
    const auto addSpan = [&](int row, const char* name, DoNotDisturb::Span span) {
        QAction* item = quietMenu->addAction(strings.text(row));
        item->setObjectName(QString::fromLatin1(name));
        item->setCheckable(true);
        quietSpans->addAction(item);
        connect(item, &QAction::triggered, this, [this, span] { quietChosen(span); });
        return item;
    };
    quietForAnHour =
        addSpan(DoNotDisturb::kTxtForAnHour, "quietForAnHour", DoNotDisturb::Span::ForAnHour);
    quietUntilMorning = addSpan(DoNotDisturb::kTxtUntilMorning, "quietUntilMorning",
                                DoNotDisturb::Span::UntilMorning);
    quietUntilTurnedOff = addSpan(DoNotDisturb::kTxtUntilTurnedOff, "quietUntilTurnedOff",
                                  DoNotDisturb::Span::UntilTurnedOff);
    quietMenu->addSeparator();
    quietTurnOff = quietMenu->addAction(strings.text(DoNotDisturb::kTxtTurnOff), this,
                                        &TMinimized::quietTurnOffClick);
    quietTurnOff->setObjectName(QStringLiteral("quietTurnOff"));

    quietTimer = new QTimer(this);
    quietTimer->setObjectName(QStringLiteral("quietTimer"));
    quietTimer->setInterval(kQuietCheckMs);
    connect(quietTimer, &QTimer::timeout, this, &TMinimized::quietTimerTimer);

    barMarks = new QLabel(this);
    barMarks->setObjectName(QStringLiteral("barMarks"));
    barMarks->setGeometry(Image1->geometry());
    // The bar's drags and clicks go to the picture below.
    barMarks->setAttribute(Qt::WA_TransparentForMouseEvents);
    barMarks->hide();

    ClientSession& session = m_ctx.session();
    connect(&session, &ClientSession::announced, this, &TMinimized::onAnnounced);
    connect(&session, &ClientSession::correspondentOpened, this, &TMinimized::onConversationOpened);
    connect(&session, &ClientSession::popupCorrespondentOpened, this,
            &TMinimized::onConversationOpened);
    // Files dropped for a correspondent whose conversation was already selected open nothing
    // new, yet the user has just turned to them.
    connect(&session, &ClientSession::filesSent, this, [this](const FilesResult& result) {
        if (result.reached && m_unread.remove(result.request.recipient))
            showQuietAndUnread();
    });
    // Another user may sign in next; what was unread was the last one's.
    connect(&session, &ClientSession::signedOut, this, [this] {
        if (m_unread.clear())
            showQuietAndUnread();
    });
    connect(&m_ctx, &AppContext::doNotDisturbChanged, this, &TMinimized::showQuietAndUnread);

    // A span that ended while the program was not running is forgotten now.
    if (!m_ctx.dropExpiredDoNotDisturb())
        showQuietAndUnread();
}

void TMinimized::quietChosen(DoNotDisturb::Span span)
{
    m_ctx.setDoNotDisturb(span);
}

void TMinimized::quietTurnOffClick()
{
    m_ctx.setDoNotDisturb(std::nullopt);
}

void TMinimized::quietTimerTimer()
{
    if (!m_ctx.dropExpiredDoNotDisturb())
        showQuietAndUnread();
}

void TMinimized::onAnnounced(const poll::Announcement& announcement)
{
    // The mark belongs to the conversation, whoever wrote its newest entry.
    const QString name =
        announcement.correspondent.isEmpty() ? announcement.sender : announcement.correspondent;
    if (m_unread.add(name))
        showQuietAndUnread();
}

void TMinimized::onConversationOpened(const CorrespondentResult& result)
{
    if (m_unread.remove(result.name))
        showQuietAndUnread();
}

void TMinimized::showQuietAndUnread()
{
    const DoNotDisturb& quiet = m_ctx.doNotDisturb();
    const StringTable& strings = m_ctx.strings();
    const bool muted = quiet.isOn();

    quietItem->setChecked(muted);
    quietItem->setText(quiet.menuText(strings));
    quietForAnHour->setChecked(muted && quiet.span() == DoNotDisturb::Span::ForAnHour);
    quietUntilMorning->setChecked(muted && quiet.span() == DoNotDisturb::Span::UntilMorning);
    quietUntilTurnedOff->setChecked(muted && quiet.span() == DoNotDisturb::Span::UntilTurnedOff);
    quietTurnOff->setVisible(muted);
    if (muted && !quietTimer->isActive())
        quietTimer->start();
    else if (!muted)
        quietTimer->stop();

    const QString badge = UnreadNews::badgeText(m_unread.count());
    if (muted != m_iconMuted || m_unread.count() != m_iconUnread) {
        m_iconMuted = muted;
        m_iconUnread = m_unread.count();
        Tray1->setIcon(traybadge::icon(m_plainIcon, badge, muted));
        if (badge.isEmpty() && !muted) {
            barMarks->hide();
        } else {
            barMarks->setPixmap(traybadge::drawn(QIcon(), barMarks->width(), badge, muted));
            barMarks->show();
            barMarks->raise();
        }
    }

    QStringList lines;
    for (const QString& line : {m_unread.summary(strings), quiet.hintLine(strings)}) {
        if (!line.isEmpty())
            lines.append(line);
    }
    // Files that wait, or a drop that went nowhere, come before the news.
    if (const QString drop = dropStateLine(); !drop.isEmpty())
        lines.prepend(drop);
    QStringList barLines = lines;
    if (!m_uploadState.isEmpty())
        barLines.prepend(m_uploadState);
    setToolTip(barLines.join(u'\n'));
    lines.prepend(m_uploadState.isEmpty() ? kProgramName : m_uploadState);
    Tray1->setToolTip(lines.join(u'\n'));
}
