#include "windows/uNetMenu.h"

#include "app/AppContext.h"
#include "core/Drafts.h"
#include "core/Error.h"
#include "core/WindowPlacement.h"
#include "session/ClientSession.h"
#include "session/ClientState.h"
#include "windows/WindowLook.h"

#include <QCloseEvent>
#include <QCursor>
#include <QDateTime>
#include <QGraphicsDropShadowEffect>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr int kWidth = 700;
constexpr int kHeight = 134;
constexpr int kPointerGap = 5;
const QString kCalibri = look::calibri();
const QString kFontatigo = look::fontatigo();
using look::pixelFont;
using look::place;

QPushButton* flatButton(QWidget* parent, const QString& name, const QRect& r, const QFont& font,
                        const char* textColour)
{
    auto* b = place(new QPushButton(parent), name, r.x(), r.y(), r.width(), r.height());
    b->setFlat(true);
    b->setFont(font);
    b->setCursor(Qt::PointingHandCursor);
    b->setFocusPolicy(Qt::NoFocus);
    b->setStyleSheet(
        QStringLiteral("QPushButton { color: %1; background-color: #611422; border: none; }")
            .arg(QLatin1String(textColour)));
    return b;
}

bool isEnter(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

TNetMenu::TNetMenu(AppContext& ctx) : m_ctx(ctx)
{
    setObjectName(QStringLiteral("NetMenu"));
    setWindowTitle(QStringLiteral("Larkspire"));
    FormCreate();
}

TNetMenu::~TNetMenu()
{
    // Quitting while the window is open.
    keepDraft();
}

void TNetMenu::FormCreate()
{
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setFixedSize(kWidth, kHeight);
    setFont(pixelFont(kCalibri, 13, true));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x83, 0x83, 0x83));
    pal.setColor(QPalette::WindowText, QColor(0x3A, 0x3A, 0x3A));
    setPalette(pal);
    setAutoFillBackground(true);

    m_fader = new WindowFader(this, QStringLiteral("fx"));
    connect(m_fader, &WindowFader::fadedOut, this, &TNetMenu::close);
    connect(&m_ctx.session(), &ClientSession::quickSent, this, &TNetMenu::onQuickSent);

    m_title = place(new QLabel(this), QStringLiteral("LMDLabel1"), 0, 0, 697, 49);
    m_title->setFont(pixelFont(kFontatigo, 24, false));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setTextFormat(Qt::PlainText); // the recipient's name, from the server
    m_title->setStyleSheet(QStringLiteral("QLabel { color: #F2F2F2; background: transparent; }"));
    // The title's shadow, drawn by Qt: a plain offset copy in the shadow colour.
    auto* shadow = new QGraphicsDropShadowEffect(m_title);
    shadow->setColor(QColor(0x29, 0x29, 0x29));
    shadow->setOffset(2, 2);
    shadow->setBlurRadius(0);
    m_title->setGraphicsEffect(shadow);

    m_text = place(new QLineEdit(this), QStringLiteral("text"), 0, 48, 585, 33);
    m_text->setFont(pixelFont(kCalibri, 21, false));
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setFrame(false);
    m_text->setStyleSheet(QStringLiteral("QLineEdit { color: #1E1E1E; background-color: #F4F4F4;"
                                         " border: none; selection-color: #AD9A4B;"
                                         " selection-background-color: #611422; }"));

    m_sendButton = flatButton(this, QStringLiteral("Button2"), QRect(584, 48, 115, 33),
                              pixelFont(kCalibri, 13, true), "#DBDDC6");
    m_fileButton = flatButton(this, QStringLiteral("LMDButton1"), QRect(0, 99, 699, 35),
                              pixelFont(kFontatigo, 16, false), "#AD9A4B");
    m_closeButton = flatButton(this, QStringLiteral("LMDButton2"), QRect(684, 0, 17, 17),
                               pixelFont(kCalibri, 13, true), "#DBDDC6");

    m_sendButton->setText(m_ctx.text(210));
    m_fileButton->setText(m_ctx.text(208));
    m_closeButton->setText(QStringLiteral("X"));

    connect(m_sendButton, &QPushButton::clicked, this, &TNetMenu::Button2Click);
    connect(m_fileButton, &QPushButton::clicked, this, &TNetMenu::LMDButton1Click);
    connect(m_closeButton, &QPushButton::clicked, this, &TNetMenu::LMDButton2Click);
    // Only the user's edits move the file button's caption, not the placeholder or a close.
    connect(m_text, &QLineEdit::textEdited, this, &TNetMenu::textChange);

    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
}

QPoint TNetMenu::placement(QPoint pointer, int width)
{
    const int left =
        width < pointer.x() ? pointer.x() - width + kPointerGap : pointer.x() + kPointerGap;
    return {left, pointer.y() - kPointerGap};
}

void TNetMenu::ShowModal()
{
    setWindowModality(Qt::ApplicationModal);
    show();
}

void TNetMenu::showEvent(QShowEvent* event)
{
    FormShow();
    QWidget::showEvent(event);
}

void TNetMenu::FormShow()
{
    const QString to = recipient();
    m_title->setText(m_ctx.text(317) + to);
    m_fader->fadeIn();
    raise();
    move(placement::keepInside(placement(QCursor::pos(), width()), size(), look::availableArea()));
    // Drafts are the signed-in user's; without one the window keeps nothing.
    m_draftKey.clear();
    if (const QString& user = m_ctx.state().user(); !user.isEmpty())
        m_draftKey = drafts::key(user, to, drafts::Box::QuickSend);
    const QString draft =
        m_draftKey.isEmpty() ? QString() : m_ctx.platform().settings->value(m_draftKey);
    if (!draft.isEmpty()) {
        m_text->setText(draft);
        textChange();
        m_text->setFocus();
        m_text->end(false);
        return;
    }
    m_text->setText(m_ctx.text(207));
    m_text->setFocus();
    m_text->selectAll();
}

void TNetMenu::keepDraft()
{
    if (m_draftKey.isEmpty())
        return;
    const QString typed = holdsPlaceholder() ? QString() : m_text->text();
    if (typed.isEmpty())
        m_ctx.platform().settings->remove(m_draftKey);
    else
        m_ctx.platform().settings->setValue(m_draftKey, typed);
    m_draftKey.clear();
}

void TNetMenu::closeEvent(QCloseEvent* event)
{
    keepDraft();
    m_text->clear();
    m_dragging = false;
    event->accept();
}

// Fading

void TNetMenu::StartFadeOut()
{
    m_fader->fadeOut();
}

void TNetMenu::fxTimer()
{
    m_fader->tick();
}

// The text and the buttons

QString TNetMenu::recipient() const
{
    return m_ctx.state().directory().sendbutHint();
}

bool TNetMenu::holdsPlaceholder() const
{
    return m_text->text() == m_ctx.text(207);
}

void TNetMenu::textChange()
{
    const bool typed = !m_text->text().isEmpty() && !holdsPlaceholder();
    m_fileButton->setText(m_ctx.text(typed ? 209 : 208));
}

void TNetMenu::Button2Click()
{
    if (m_text->text().isEmpty() || holdsPlaceholder() || m_text->text() == m_sending)
        return;
    m_sending = m_text->text();
    m_ctx.session().quickSend(recipient(), m_sending);
}

void TNetMenu::onQuickSent(const QuickSendResult& result)
{
    if (result.text == m_sending)
        m_sending.clear();
    if (result.error.failed()) {
        // The application's error report; the window stays open with the text.
        m_ctx.platform().desktop->showError(result.error.text);
        return;
    }
    if (!result.reached || result.sent.result != messaging::Sent::Sent)
        return;
    // The window may have closed, keeping the text as a draft, while the message went.
    if (const QString& owner = m_ctx.state().user(); !owner.isEmpty()) {
        const QString sent = drafts::key(owner, result.recipient, drafts::Box::QuickSend);
        if (m_ctx.platform().settings->value(sent) == result.text)
            m_ctx.platform().settings->remove(sent);
    }
    if (m_text->text() == result.text)
        m_text->clear();
    StartFadeOut();
}

void TNetMenu::LMDButton1Click()
{
    StartFadeOut();
    emit fileSendRequested();
}

void TNetMenu::LMDButton2Click()
{
    StartFadeOut();
}

// Keys and the mouse

bool TNetMenu::keyReleased(int key, bool inText)
{
    if (key == Qt::Key_Escape) {
        StartFadeOut();
        return true;
    }
    if (inText && isEnter(key)) {
        m_sendButton->click();
        return true;
    }
    return false;
}

void TNetMenu::keyReleaseEvent(QKeyEvent* event)
{
    if (!event->isAutoRepeat() && keyReleased(event->key(), false))
        return;
    QWidget::keyReleaseEvent(event);
}

void TNetMenu::dragStart(QMouseEvent* event)
{
    m_dragging = true;
    m_dragOrigin = event->globalPosition().toPoint() - pos();
}

void TNetMenu::dragMove(QMouseEvent* event)
{
    if (m_dragging)
        move(event->globalPosition().toPoint() - m_dragOrigin);
}

void TNetMenu::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        dragStart(event);
}

void TNetMenu::mouseMoveEvent(QMouseEvent* event)
{
    dragMove(event);
}

void TNetMenu::mouseReleaseEvent(QMouseEvent*)
{
    m_dragging = false;
}

bool TNetMenu::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyRelease: {
        // The form sees every key released in it before its controls do.
        const auto* key = static_cast<QKeyEvent*>(event);
        return !key->isAutoRepeat() && keyReleased(key->key(), watched == m_text);
    }
    case QEvent::Enter:
        if (watched == m_text)
            m_text->setFocus();
        return false;
    case QEvent::FocusIn:
        if (watched == m_text && holdsPlaceholder())
            m_text->selectAll();
        return false;
    default:
        break;
    }
    auto* mouse = dynamic_cast<QMouseEvent*>(event);
    if (watched != m_title || !mouse)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (mouse->button() == Qt::LeftButton)
            dragStart(mouse);
        return true;
    case QEvent::MouseMove:
        dragMove(mouse);
        return true;
    case QEvent::MouseButtonRelease:
        if (mouse->button() == Qt::LeftButton)
            m_dragging = false;
        else if (mouse->button() == Qt::RightButton)
            StartFadeOut();
        return true;
    default:
        return false;
    }
}
