#include "windows/FrameImage.h"

#include "core/PictureFit.h"

#include <QPainter>

FrameImage::FrameImage(const QString& name, QWidget* parent, Fit fit) : QWidget(parent), m_fit(fit)
{
    setObjectName(name);
}

bool FrameImage::loadPicture(const QString& path)
{
    ++m_loads;
    m_deferred = false;
    m_file = path;
    m_picture = QPixmap(path);
    if (m_autoSize && !m_picture.isNull())
        resize(m_picture.deviceIndependentSize().toSize());
    update();
    return !m_picture.isNull();
}

void FrameImage::loadPictureWhenShown(const QString& path)
{
    m_file = path;
    m_picture = QPixmap();
    m_deferred = true;
    if (isVisible())
        loadPicture(path);
}

void FrameImage::showEvent(QShowEvent* event)
{
    if (m_deferred)
        loadPicture(m_file);
    QWidget::showEvent(event);
}

void FrameImage::clearPicture()
{
    m_deferred = false;
    m_file.clear();
    m_picture = QPixmap();
    update();
}

void FrameImage::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSize own = m_picture.deviceIndependentSize().toSize();
    switch (m_fit) {
    case Fit::TopLeft:
        p.drawPixmap(QPoint(0, 0), m_picture);
        break;
    case Fit::Centre:
        p.drawPixmap(QPoint((width() - own.width()) / 2, (height() - own.height()) / 2), m_picture);
        break;
    case Fit::Stretch:
        p.drawPixmap(rect(), m_picture);
        break;
    case Fit::StretchProportional:
        p.drawPixmap(fit::scaledInto(own, size()), m_picture);
        break;
    }
}
