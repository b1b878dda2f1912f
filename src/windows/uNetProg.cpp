#include "windows/uNetProg.h"

#include "app/AppContext.h"
#include "core/ReceivedFolder.h"
#include "core/UserDirectory.h"
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

    cap = new QLabel(this);
    cap->setObjectName(QStringLiteral("cap"));
    cap->setGeometry(10, 10, 330, 30);
    cap->setFont(pixelFont(19, true));
    txt = new QLabel(this);
    txt->setObjectName(QStringLiteral("txt"));
    txt->setGeometry(10, 40, 330, 30);
    txt->setFont(pixelFont(19, false));
    for (QLabel* l : {cap, txt}) {
        // The sender's name and words, shown as written.
        l->setTextFormat(Qt::PlainText);
        l->setStyleSheet(QStringLiteral("color: silver; background: transparent;"));
        l->installEventFilter(this);
    }
    opnow = new QPushButton(this);
    opnow->setObjectName(QStringLiteral("opnow"));
    opnow->setGeometry(0, 0, kWidth, 33);
    opnow->setFont(pixelFont(16, true));
    opnow->setFlat(true);
    opnow->setStyleSheet(QStringLiteral("QPushButton { color: #AD9A4B; background: #611422; "
                                        "border: none; }"));
    opnow->hide();
    connect(opnow, &QPushButton::clicked, this, &Tnetprog::opnowClick);
    connect(&m_ctx.session(), &ClientSession::announced, this, &Tnetprog::announce);
    connect(&m_ctx.session(), &ClientSession::filesArrived, this, &Tnetprog::filesFetched);
    maximize = new QLabel(QStringLiteral("+"), this);
    maximize->setObjectName(QStringLiteral("maximize"));
    maximize->setGeometry(0, 0, kSquare, kSquare);
    maximize->setAlignment(Qt::AlignCenter);
    maximize->setFont(pixelFont(37, false));
    maximize->setStyleSheet(QStringLiteral("color: #9A9A9A; background: transparent;"));
    maximize->installEventFilter(this);
    maximize->hide();

    m_fader = new WindowFader(this, QStringLiteral("fx"), kFull, kStep);
    fx = m_fader->timer();
    connect(m_fader, &WindowFader::fadedOut, this, &Tnetprog::fadedOut);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(10000);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &Tnetprog::Timer1Timer);
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
    maximize->hide();
    setFixedHeight(kHeight);
    cap->show();
    txt->show();
    emit announcementShown();
    fadeMode = 0;
    m_fader->fadeIn();
    if ((mode == 1 && marker != kTextMarker) || (mode == 0 && marker.isEmpty())) {
        cap->clear();
        opnow->show();
    } else {
        opnow->hide();
    }
    Timer1->start();
}

void Tnetprog::place()
{
    const QRect area = look::availableArea();
    move(maximize->isVisible() ? placement::popupSquare(area, size())
                               : placement::popupTopCentre(area, size()));
    raise();
}

void Tnetprog::beginClosing()
{
    Timer1->stop();
    fadeMode = 1;
    m_fader->fadeOut();
}

void Tnetprog::resetWidth()
{
    if (isVisible() && !maximize->isVisible())
        beginClosing();
    setFixedWidth(kWidth);
    opnow->setFixedWidth(kWidth);
    txt->setFixedWidth(kWidth - 20);
    if (isVisible())
        place();
}

void Tnetprog::widenText()
{
    // The "+" square shows no text and keeps its size.
    if (maximize->isVisible())
        return;
    const int needed = QFontMetrics(txt->font()).horizontalAdvance(txt->text());
    if (needed <= txt->width())
        return;
    txt->setFixedWidth(needed + 25);
    setFixedWidth(txt->width() + 20);
    opnow->setFixedWidth(width());
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
    if (fadeMode != 2) {
        hide();
        return;
    }
    fadeMode = 0;
    setFixedSize(kSquare, kSquare);
    opnow->hide();
    cap->hide();
    txt->hide();
    maximize->show();
    place();
    // The "+" fades in at once; this tick already takes its first step.
    m_fader->fadeIn();
    m_fader->tick();
}

void Tnetprog::Timer1Timer()
{
    Timer1->stop();
    fadeMode = 2;
    m_fader->fadeOut();
}

QString Tnetprog::receivedFile() const
{
    // Both names come from a conversation file anyone with the shared login can write.
    if (!userentry::openable(marker))
        return {};
    const QString folder = senderFolder();
    return folder.isEmpty() ? QString() : folder + marker;
}

QString Tnetprog::senderFolder() const
{
    if (!userentry::openable(Hint.trimmed()))
        return {};
    return received::folderFor(m_ctx.folders().networkDir, Hint.trimmed());
}

void Tnetprog::openConversation(bool focusMessage)
{
    emit openConversationRequested(Hint, focusMessage);
}

void Tnetprog::capClick()
{
    beginClosing();
    if (!marker.isEmpty() && marker != kTextMarker) {
        if (const QString file = receivedFile(); !file.isEmpty() && QFileInfo(file).isFile())
            m_ctx.platform().shell->openPath(file);
        openConversation(false);
    } else if (txt->text().startsWith(QStringLiteral("http://")) ||
               txt->text().startsWith(QStringLiteral("www."))) {
        m_ctx.platform().shell->openLink(txt->text());
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
    if (opnow->text() == m_ctx.text(kTxtOpenFolder)) {
        const QString folder = senderFolder();
        const QString file = receivedFile();
        if (!marker.isEmpty() && !file.isEmpty() && QFileInfo(file).isFile())
            m_ctx.platform().shell->showInFileManager(file);
        else if (marker.isEmpty() && !folder.isEmpty() && QFileInfo(folder).isDir())
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
        (watched == cap || watched == txt || watched == maximize)) {
        capClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Tnetprog::announce(const poll::Announcement& a)
{
    // The news is kept as unread on the tray icon instead.
    if (m_ctx.doNotDisturb().isOn())
        return;
    Hint = a.sender;
    resetWidth();
    if (a.isMessage) {
        marker = QStringLiteral("text.text");
        opnow->hide();
        cap->setText(a.firstLine);
        txt->setText(a.secondLine);
        widenText();
        mode = 0;
    } else {
        mode = 1;
        marker = QStringLiteral("files");
        opnow->setText(m_ctx.text(kTxtOpenFolder));
        // The notice itself, also when its files are not (or no longer) on the server.
        txt->setText(a.firstLine);
        widenText();
    }
    showRequest();
    mode = 1;
    opnow->setText(m_ctx.text(kTxtOpenFolder));
}

void Tnetprog::filesFetched(const poll::Announcement& a)
{
    // A later announcement owns the popup now.
    if (Hint != a.sender || marker != u"files")
        return;
    marker = a.fileName;
    widenText();
}
