#include "windows/uList.h"

#include "app/AppContext.h"
#include "core/UserDirectory.h"
#include "core/WindowPlacement.h"
#include "session/ClientState.h"
#include "windows/WindowLook.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>

namespace {

constexpr int kItemHeight = 44;
constexpr int kStartWidth = 50;
constexpr int kWidthMargin = 25; // beyond the longest name
constexpr int kGapAboveBar = 16;

} // namespace

TfList::TfList(AppContext& ctx) : m_ctx(ctx)
{
    setObjectName(QStringLiteral("fList"));
    setWindowTitle(QStringLiteral("Larkspire"));
    // Kept above every other window while it shows.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setWindowModality(Qt::ApplicationModal);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x40, 0x40, 0x40));
    setPalette(pal);
    setAutoFillBackground(true);

    m_names = new QListWidget(this);
    m_names->setObjectName(QStringLiteral("users"));
    m_names->setFont(look::pixelFont(look::calibri(), 37, false));
    m_names->setFrameShape(QFrame::NoFrame);
    m_names->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_names->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_names->setUniformItemSizes(true);
    m_names->setStyleSheet(QStringLiteral(
        "QListWidget { color: #E2E2E2; background-color: #404040; outline: none; }"
        "QListWidget::item { height: 44px; border: none; padding: 0px; }"
        "QListWidget::item:selected { color: #AD9A4B; background-color: #611422; }"));
    m_names->installEventFilter(this);
    m_names->viewport()->installEventFilter(this);
    connect(m_names, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { usersSelect(item->text()); });
    connect(m_names, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { usersSelect(item->text()); });

    m_fader = new WindowFader(this, QStringLiteral("fx"));
    connect(m_fader, &WindowFader::fadedOut, this, &TfList::close);
}

QStringList TfList::offered(const QStringList& favourites, const QStringList& directoryNames)
{
    return favourites.isEmpty() ? directoryNames : favourites;
}

void TfList::Pick(const QRect& bar)
{
    m_bar = bar;
    show();
}

void TfList::showEvent(QShowEvent* event)
{
    FormShow();
    QWidget::showEvent(event);
}

void TfList::FormShow()
{
    m_closing = false;
    m_fader->fadeIn();
    m_choice.clear();
    m_names->clear();

    QStringList names;
    for (const QString& line : m_ctx.state().directory().users())
        names.append(userentry::name(line));
    // Names are shown as they are; nothing in them is markup.
    QStringList shown = offered(m_ctx.state().favourites(), names);
    // An empty line of the favourites file is nobody to pick.
    shown.removeAll(QString());
    m_names->addItems(shown);
    for (int i = 0; i < m_names->count(); ++i)
        m_names->item(i)->setSizeHint(QSize(0, kItemHeight));

    const int height = m_names->count() * kItemHeight;
    int width = kStartWidth;
    const QFontMetrics metrics(m_names->font());
    for (int i = 0; i < m_names->count(); ++i) {
        const int textWidth = metrics.horizontalAdvance(m_names->item(i)->text());
        if (width < textWidth)
            width = textWidth + kWidthMargin;
    }
    setFixedSize(width, height);
    m_names->setGeometry(0, 0, width, height);
    // Beside a bar near the top edge it cannot stand above the bar, and comes down over it.
    move(placement::keepInside({m_bar.left() - width, m_bar.top() - height - kGapAboveBar}, size(),
                               look::availableArea()));
    m_ctx.platform().desktop->forceForeground(this);
    m_names->setFocus();
}

void TfList::usersSelect(const QString& name)
{
    if (m_closing)
        return;
    m_closing = true;
    m_choice = name;
    m_fader->fadeOut();
}

void TfList::cancel()
{
    if (m_closing)
        return;
    m_closing = true;
    m_choice.clear();
    m_fader->fadeOut();
}

void TfList::closeEvent(QCloseEvent* event)
{
    event->accept();
    // Only a close at the end of a fade tells the pick; a close from elsewhere is a cancel.
    if (!m_closing)
        m_choice.clear();
    m_closing = false;
    const QString choice = m_choice;
    emit finished(choice);
}

void TfList::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        cancel();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TfList::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        cancel();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

bool TfList::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        if (watched == m_names && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            cancel();
            return true;
        }
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (watched == m_names->viewport() &&
            static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
            cancel();
            return true;
        }
        return false;
    default:
        return false;
    }
}
