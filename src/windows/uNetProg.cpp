#include "windows/uNetProg.h"

#include "app/AppContext.h"
#include "core/ReceivedFolder.h"
#include "core/WindowPlacement.h"
#include "session/ClientSession.h"
#include "windows/FrameImage.h"
#include "windows/WindowLook.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr int kWidth = 350;
constexpr int kHeight = 80;
constexpr int kFull = 240;
constexpr int kStep = 5;
constexpr int kSquare = 40;
constexpr int kTxtOpenFolder = 125; // the open button's caption, also what it is compared with
const QString kTextMarker = QStringLiteral("text.text");

QFont pixelFont(int pixels, bool bold)
{
    return look::pixelFont(look::calibri(), pixels, bold);
}

} // namespace

Tnetprog::Tnetprog(AppContext& ctx) : m_ctx(ctx)
{
    setObjectName(QStringLiteral("netprog"));
    setWindowTitle(QStringLiteral("Larkspire"));
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(kWidth, kHeight);
    setCursor(Qt::PointingHandCursor);
    setStyleSheet(QStringLiteral("Tnetprog { background: black; }"));
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);

    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("cap"));
    m_caption->setGeometry(10, 10, 330, 30);
    m_caption->setFont(pixelFont(19, true));
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("txt"));
    m_text->setGeometry(10, 40, 330, 30);
    m_text->setFont(pixelFont(19, false));
    for (QLabel* l : {m_caption, m_text}) {
        // The sender's name and words, shown as written.
        l->setTextFormat(Qt::PlainText);
        l->setStyleSheet(QStringLiteral("color: silver; background: transparent;"));
        l->installEventFilter(this);
    }
    m_openButton = new QPushButton(this);
    m_openButton->setObjectName(QStringLiteral("opnow"));
    m_openButton->setGeometry(0, 0, kWidth, 33);
    m_openButton->setFont(pixelFont(16, true));
    m_openButton->setFlat(true);
    m_openButton->setStyleSheet(QStringLiteral("QPushButton { color: #AD9A4B; background: #611422; "
                                               "border: none; }"));
    m_openButton->hide();
    connect(m_openButton, &QPushButton::clicked, this, &Tnetprog::opnowClick);
    m_plus = new QLabel(QStringLiteral("+"), this);
    m_plus->setObjectName(QStringLiteral("maximize"));
    m_plus->setGeometry(0, 0, kSquare, kSquare);
    m_plus->setAlignment(Qt::AlignCenter);
    m_plus->setFont(pixelFont(37, false));
    m_plus->setStyleSheet(QStringLiteral("color: #9A9A9A; background: transparent;"));
    m_plus->installEventFilter(this);
    m_plus->hide();

    m_fader = new WindowFader(this, QStringLiteral("fx"), kFull, kStep);
    connect(m_fader, &WindowFader::fadedOut, this, &Tnetprog::fadedOut);
    m_shrinkTimer = new QTimer(this);
    m_shrinkTimer->setObjectName(QStringLiteral("Timer1"));
    m_shrinkTimer->setInterval(10000);
    m_shrinkTimer->setSingleShot(true);
    connect(m_shrinkTimer, &QTimer::timeout, this, &Tnetprog::Timer1Timer);
}

void Tnetprog::showRequest()
{
    if (isVisible()) {
        raise();
        return;
    }
    FormShow();
    show();
    place();
}

void Tnetprog::FormShow()
{
    m_plus->hide();
    setFixedHeight(kHeight);
    m_caption->show();
    m_text->show();
    emit announcementShown();
    m_fadeMode = 0;
    m_fader->fadeIn();
    if ((m_mode == 1 && m_marker != kTextMarker) || (m_mode == 0 && m_marker.isEmpty())) {
        m_caption->clear();
        m_openButton->show();
    } else {
        m_openButton->hide();
    }
    m_shrinkTimer->start();
}

void Tnetprog::place()
{
    const QRect area = look::availableArea();
    move(m_plus->isVisible() ? placement::popupSquare(area, size())
                             : placement::popupTopCentre(area, size()));
    raise();
}

void Tnetprog::beginClosing()
{
    m_shrinkTimer->stop();
    m_fadeMode = 1;
    m_fader->fadeOut();
}

void Tnetprog::resetWidth()
{
    if (isVisible() && !m_plus->isVisible())
        beginClosing();
    setFixedWidth(kWidth);
    m_openButton->setFixedWidth(kWidth);
    m_text->setFixedWidth(kWidth - 20);
    if (isVisible())
        place();
}

void Tnetprog::widenText()
{
    // The "+" square shows no text and keeps its size.
    if (m_plus->isVisible())
        return;
    const int needed = QFontMetrics(m_text->font()).horizontalAdvance(m_text->text());
    if (needed <= m_text->width())
        return;
    m_text->setFixedWidth(needed + 25);
    setFixedWidth(m_text->width() + 20);
    m_openButton->setFixedWidth(width());
    // Placed at the narrow width, it would now stand off the centre.
    if (isVisible())
        place();
}

void Tnetprog::fxTimer()
{
    m_fader->tick();
}

void Tnetprog::fadedOut()
{
    if (m_fadeMode != 2) {
        hide();
        return;
    }
    m_fadeMode = 0;
    setFixedSize(kSquare, kSquare);
    m_openButton->hide();
    m_caption->hide();
    m_text->hide();
    m_plus->show();
    place();
    // The "+" fades in at once; this tick already takes its first step.
    m_fader->fadeIn();
    m_fader->tick();
}

void Tnetprog::Timer1Timer()
{
    m_shrinkTimer->stop();
    m_fadeMode = 2;
    m_fader->fadeOut();
}

QString Tnetprog::receivedFile() const
{
    // Both names come from a conversation file anyone with the shared login can write.
    return received::fileFor(m_ctx.folders().networkDir, m_sender.trimmed(), m_marker);
}

QString Tnetprog::senderFolder() const
{
    return received::safeFolderFor(m_ctx.folders().networkDir, m_sender.trimmed());
}

void Tnetprog::openConversation(bool focusMessage)
{
    emit openConversationRequested(m_sender, focusMessage);
}

void Tnetprog::capClick()
{
    beginClosing();
    if (!m_marker.isEmpty() && m_marker != kTextMarker) {
        if (const QString file = receivedFile(); !file.isEmpty() && QFileInfo(file).isFile())
            m_ctx.platform().shell->openPath(file);
        openConversation(false);
    } else if (m_text->text().startsWith(QStringLiteral("http://")) ||
               m_text->text().startsWith(QStringLiteral("www."))) {
        m_ctx.platform().shell->openLink(m_text->text());
        openConversation(false);
    } else {
        emit showMainWindowRequested();
        openConversation(true);
    }
    if (isVisible())
        beginClosing();
}

void Tnetprog::opnowClick()
{
    if (m_openButton->text() == m_ctx.text(kTxtOpenFolder)) {
        const QString folder = senderFolder();
        const QString file = receivedFile();
        if (!m_marker.isEmpty() && !file.isEmpty() && QFileInfo(file).isFile())
            m_ctx.platform().shell->showInFileManager(file);
        else if (m_marker.isEmpty() && !folder.isEmpty() && QFileInfo(folder).isDir())
            m_ctx.platform().shell->openPath(folder);
    }
    openConversation(false);
    beginClosing();
}

void Tnetprog::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        capClick();
}

bool Tnetprog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        (watched == m_caption || watched == m_text || watched == m_plus)) {
        capClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Tnetprog::announce(const poll::Announcement& a)
{
    m_sender = a.sender;
    resetWidth();
    if (a.isMessage) {
        m_marker = QStringLiteral("text.text");
        m_openButton->hide();
        m_caption->setText(a.firstLine);
        m_text->setText(a.secondLine);
        widenText();
        m_mode = 0;
    } else {
        m_mode = 1;
        m_marker = QStringLiteral("files");
        m_openButton->setText(m_ctx.text(kTxtOpenFolder));
        // The notice itself, also when its files are not (or no longer) on the server.
        m_text->setText(a.firstLine);
        widenText();
    }
    showRequest();
    m_mode = 1;
    m_openButton->setText(m_ctx.text(kTxtOpenFolder));
}

void Tnetprog::filesFetched(const poll::Announcement& a)
{
    // A later announcement owns the popup now.
    if (m_sender != a.sender || m_marker != u"files")
        return;
    m_marker = a.fileName;
    widenText();
}
