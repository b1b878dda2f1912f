#include "windows/TrayIcon.h"

#include "app/AppContext.h"
#include "core/NewsNotices.h"
#include "core/UnreadNews.h"
#include "session/ClientState.h"
#include "windows/TrayBadge.h"

#include <QAction>
#include <QActionGroup>
#include <QDateTime>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

namespace {

const QString kProgramName = QStringLiteral("Larkspire");
// Often enough that the icon loses its muted mark within a minute of the span's end.
constexpr int kQuietCheckMs = 30000;
constexpr int kTxtOpen = 122;
constexpr int kTxtMinimize = 120;
constexpr int kTxtShutdown = 198;
constexpr int kTxtSettings = 370;
constexpr int kTxtRemoveAutostart = 369;
constexpr int kTxtAddAutostart = 371;
constexpr int kTxtOpenFolder = 360;

} // namespace

TrayIcon::TrayIcon(AppContext& ctx, QWidget& owner) : QObject(&owner), m_ctx(ctx), m_owner(owner)
{
    m_icon = new QSystemTrayIcon(this);
    m_icon->setObjectName(QStringLiteral("Tray1"));
    m_icon->setToolTip(kProgramName);
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        // The single click acts at once; a double click then also runs the default item.
        if (r == QSystemTrayIcon::Trigger)
            emit clicked();
        else if (r == QSystemTrayIcon::DoubleClick)
            emit openItemTriggered();
    });

    m_quietTimer = new QTimer(this);
    m_quietTimer->setObjectName(QStringLiteral("quietTimer"));
    m_quietTimer->setInterval(kQuietCheckMs);
    connect(m_quietTimer, &QTimer::timeout, this, &TrayIcon::onQuietTimer);

    connect(&m_ctx, &AppContext::doNotDisturbChanged, this, &TrayIcon::render);
    connect(&m_ctx.state(), &ClientState::newsChanged, this, &TrayIcon::render);
    connect(&m_ctx.state(), &ClientState::connectionChanged, this, &TrayIcon::render);
    render();
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::completeMenu()
{
    if (m_menu)
        return;
    m_menu = new QMenu(&m_owner);
    m_menu->setObjectName(QStringLiteral("PopupMenu1"));
    createMenu();
    m_icon->setContextMenu(m_menu);
    applyMenuState();
    render();
}

void TrayIcon::applyMenuState()
{
    if (!m_menu)
        return;
    m_openItem->setText(m_ctx.text(m_menuState.mainWindowOpen ? kTxtMinimize : kTxtOpen));
    m_openItem->setVisible(m_menuState.openItemShown);
    m_settingsItem->setVisible(m_menuState.settingsShown);
    if (m_menuState.autostart) {
        m_removeAutostart->setEnabled(*m_menuState.autostart);
        m_addAutostart->setEnabled(!*m_menuState.autostart);
    }
}

void TrayIcon::createMenu()
{
    m_openItem = m_menu->addAction(m_ctx.text(kTxtOpen), this, &TrayIcon::openItemTriggered);
    m_openItem->setObjectName(QStringLiteral("pop1"));
    m_menu->setDefaultAction(m_openItem);
    m_menu->addSeparator();
    createQuietMenu();
    m_desktopNotices = m_menu->addAction(m_ctx.text(NewsNotices::kTxtMenuItem));
    m_desktopNotices->setObjectName(QStringLiteral("desktopNotices"));
    m_desktopNotices->setCheckable(true);
    m_desktopNotices->setChecked(
        m_ctx.platform().settings->value(QString::fromUtf16(NewsNotices::kSettingsKey)) == u"1");
    connect(m_desktopNotices, &QAction::triggered, this, &TrayIcon::onDesktopNotices);
    const QWidget* owner = m_menu->parentWidget();
    m_shutdownItem = m_menu->addAction(
        QIcon::fromTheme(QStringLiteral("application-exit"),
                         owner->style()->standardIcon(QStyle::SP_DialogCloseButton)),
        m_ctx.text(kTxtShutdown), this, &TrayIcon::shutdownTriggered);
    m_shutdownItem->setObjectName(QStringLiteral("pop3"));
    m_hiddenSeparator = m_menu->addSeparator();
    m_hiddenSeparator->setObjectName(QStringLiteral("N2"));
    m_hiddenSeparator->setVisible(false);
    QMenu* settings = m_menu->addMenu(m_ctx.text(kTxtSettings));
    settings->setObjectName(QStringLiteral("setsMenu"));
    m_settingsItem = settings->menuAction();
    m_settingsItem->setObjectName(QStringLiteral("sets"));
    m_removeAutostart = settings->addAction(m_ctx.text(kTxtRemoveAutostart), this,
                                            &TrayIcon::removeAutostartTriggered);
    m_removeAutostart->setObjectName(QStringLiteral("s1"));
    m_addAutostart =
        settings->addAction(m_ctx.text(kTxtAddAutostart), this, &TrayIcon::addAutostartTriggered);
    m_addAutostart->setObjectName(QStringLiteral("s2"));
    m_openFolderItem =
        m_menu->addAction(m_ctx.text(kTxtOpenFolder), this, &TrayIcon::openFolderTriggered);
    m_openFolderItem->setObjectName(QStringLiteral("NF"));
}

void TrayIcon::createQuietMenu()
{
    const StringTable& strings = m_ctx.strings();
    QMenu* quiet = m_menu->addMenu(strings.text(DoNotDisturb::kTxtDoNotDisturb));
    quiet->setObjectName(QStringLiteral("quietMenu"));
    m_quietItem = quiet->menuAction();
    m_quietItem->setObjectName(QStringLiteral("quietItem"));
    m_quietItem->setCheckable(true);

    m_quietSpans = new QActionGroup(quiet);
    m_quietSpans->setExclusive(true);
    const auto addSpan = [&](int row, const char* name, DoNotDisturb::Span span) {
        QAction* item = quiet->addAction(strings.text(row));
        item->setObjectName(QString::fromLatin1(name));
        item->setCheckable(true);
        m_quietSpans->addAction(item);
        connect(item, &QAction::triggered, this, [this, span] { m_ctx.setDoNotDisturb(span); });
        return item;
    };
    m_quietForAnHour =
        addSpan(DoNotDisturb::kTxtForAnHour, "quietForAnHour", DoNotDisturb::Span::ForAnHour);
    m_quietUntilMorning = addSpan(DoNotDisturb::kTxtUntilMorning, "quietUntilMorning",
                                  DoNotDisturb::Span::UntilMorning);
    m_quietUntilTurnedOff = addSpan(DoNotDisturb::kTxtUntilTurnedOff, "quietUntilTurnedOff",
                                    DoNotDisturb::Span::UntilTurnedOff);
    quiet->addSeparator();
    m_quietTurnOff = quiet->addAction(strings.text(DoNotDisturb::kTxtTurnOff), this,
                                      [this] { m_ctx.setDoNotDisturb(std::nullopt); });
    m_quietTurnOff->setObjectName(QStringLiteral("quietTurnOff"));
}

void TrayIcon::onDesktopNotices(bool on)
{
    SettingsStore& settings = *m_ctx.platform().settings;
    const QString key = QString::fromUtf16(NewsNotices::kSettingsKey);
    if (on)
        settings.setValue(key, QStringLiteral("1"));
    else
        settings.remove(key);
    emit desktopNoticesChosen(on);
}

void TrayIcon::show()
{
    // The icon first: the menu takes longer to build than everything before it.
    m_icon->show();
    completeMenu();
}

void TrayIcon::setPicture(const QIcon& picture)
{
    m_picture = picture;
    m_icon->setIcon(traybadge::icon(m_picture, UnreadNews::badgeText(m_unreadShown), m_muted));
}

void TrayIcon::setMainWindowOpen(bool open)
{
    m_menuState.mainWindowOpen = open;
    applyMenuState();
}

void TrayIcon::setOpenItemShown(bool shown)
{
    m_menuState.openItemShown = shown;
    applyMenuState();
}

void TrayIcon::setSettingsShown(bool shown)
{
    m_menuState.settingsShown = shown;
    applyMenuState();
}

void TrayIcon::setAutostart(bool on)
{
    m_menuState.autostart = on;
    applyMenuState();
}

void TrayIcon::setActivity(const QString& upload, const QString& drop)
{
    if (upload == m_upload && drop == m_drop)
        return;
    m_upload = upload;
    m_drop = drop;
    render();
}

void TrayIcon::onQuietTimer()
{
    // A span that ended tells everyone through the context; one still on only reads anew.
    if (m_ctx.dropExpiredDoNotDisturb())
        return;
    render();
    emit quietRechecked();
}

void TrayIcon::render()
{
    const DoNotDisturb& quiet = m_ctx.doNotDisturb();
    const StringTable& strings = m_ctx.strings();
    const UnreadNews& unread = m_ctx.state().unread();
    const bool muted = quiet.isOn();

    if (m_menu) {
        m_quietItem->setChecked(muted);
        m_quietItem->setText(quiet.menuText(strings));
        m_quietForAnHour->setChecked(muted && quiet.span() == DoNotDisturb::Span::ForAnHour);
        m_quietUntilMorning->setChecked(muted && quiet.span() == DoNotDisturb::Span::UntilMorning);
        m_quietUntilTurnedOff->setChecked(muted &&
                                          quiet.span() == DoNotDisturb::Span::UntilTurnedOff);
        m_quietTurnOff->setVisible(muted);
    }
    if (muted && !m_quietTimer->isActive())
        m_quietTimer->start();
    else if (!muted)
        m_quietTimer->stop();

    if (muted != m_muted || unread.count() != m_unreadShown) {
        m_muted = muted;
        m_unreadShown = unread.count();
        m_icon->setIcon(traybadge::icon(m_picture, UnreadNews::badgeText(m_unreadShown), m_muted));
    }

    QStringList lines{m_upload.isEmpty() ? kProgramName : m_upload,
                      m_ctx.state().connection().hintLine(strings, QDateTime::currentDateTime())};
    // Files that wait, or a drop that went nowhere, come before the news.
    for (const QString& line : {m_drop, unread.summary(strings), quiet.hintLine(strings)}) {
        if (!line.isEmpty())
            lines.append(line);
    }
    m_icon->setToolTip(lines.join(u'\n'));
}
