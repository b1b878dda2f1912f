#include "windows/uPhoto.h"

#include "app/AppContext.h"
#include "core/PictureFit.h"
#include "core/WindowPlacement.h"
#include "windows/FrameImage.h"
#include "windows/WindowLook.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace {

// Stands in for an avatar that is missing or cannot be read.
const QString kStockAvatar = QStringLiteral("avax.png");

} // namespace

TPhoto::TPhoto(AppContext& ctx) : m_ctx(ctx)
{
    setObjectName(QStringLiteral("Photo"));
    setWindowTitle(QStringLiteral("Larkspire"));
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setFixedSize(kSide, kSide);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    // Esc reaches the viewer only when it can hold the focus.
    setFocusPolicy(Qt::StrongFocus);

    m_picture =
        new FrameImage(QStringLiteral("Image1"), this, FrameImage::Fit::StretchProportional);
    m_picture->setGeometry(0, 0, kSide, kSide);
    m_picture->setCursor(Qt::PointingHandCursor);
    m_picture->installEventFilter(this);

    m_fader = new WindowFader(this, QStringLiteral("fx"));
    connect(m_fader, &WindowFader::fadedOut, this, &TPhoto::onFadedOut);
}

void TPhoto::showPicture(const QString& path)
{
    // Showing a shown window would not run the show step again.
    if (isVisible())
        hide();
    m_requestedPicture = path;
    show();
}

void TPhoto::showEvent(QShowEvent* event)
{
    FormShow();
    QWidget::showEvent(event);
}

void TPhoto::FormShow()
{
    loadPicture();
    const QRect area = look::availableArea();
    move(placement::keepInside(fit::centredOn(area, size()), size(), area));
    m_fader->fadeIn();
    raise();
    m_ctx.platform().desktop->forceForeground(this);
    setFocus();
}

void TPhoto::loadPicture()
{
    // A broken picture is no reason for an error box: the stock one is shown instead.
    if (!m_requestedPicture.isEmpty() && m_picture->loadPicture(m_requestedPicture))
        return;
    if (!m_picture->loadPicture(m_ctx.folders().programDataDir + kStockAvatar))
        m_picture->clearPicture();
}

void TPhoto::StartFadeOut()
{
    m_fader->fadeOut();
}

void TPhoto::onPictureClick()
{
    StartFadeOut();
}

void TPhoto::onFadedOut()
{
    close();
}

void TPhoto::hideEvent(QHideEvent* event)
{
    // However the viewer went away, the fade ends and the picture is let go.
    if (!event->spontaneous()) {
        m_fader->stop();
        m_picture->clearPicture();
    }
    QWidget::hideEvent(event);
}

void TPhoto::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && !event->isAutoRepeat()) {
        StartFadeOut();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

bool TPhoto::eventFilter(QObject* watched, QEvent* event)
{
    // A click: the left button released over the picture, which fills the window.
    if (watched == m_picture && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            m_picture->rect().contains(mouse->position().toPoint())) {
            onPictureClick();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
