#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

// An image control of the painted windows. It remembers which file it shows, so the hover
// logic can tell the normal picture from the hover picture, and it counts how often it read a
// file, since each picture is read from disk once per hover and not at every pointer move.
class FrameImage : public QWidget
{
    Q_OBJECT

public:
    enum class Fit
    {
        TopLeft,             // drawn at its own size from the top-left corner
        Centre,              // drawn at its own size in the middle
        Stretch,             // scaled to the control
        StretchProportional, // scaled to fit, keeping its proportions, in the middle
    };

    FrameImage(const QString& name, QWidget* parent, Fit fit = Fit::TopLeft);

    // Reads the picture; a missing or broken file leaves the control empty and returns false.
    bool loadPicture(const QString& path);
    // Names the picture but reads it only when the control is first shown: a large backdrop of
    // a window that may stay hidden all day need not sit decoded in memory.
    void loadPictureWhenShown(const QString& path);
    // Lets go of the picture; the control shows nothing.
    void clearPicture();
    // Resizes the control to its picture, as a panel that is "sized to its picture" does.
    void setAutoSize(bool on) { m_autoSize = on; }

    // A note that other code leaves on the control; it is never shown to the user.
    const QString& hint() const { return m_hint; }
    void setHint(const QString& hint) { m_hint = hint; }

    const QString& pictureFile() const { return m_file; }
    const QPixmap& picture() const { return m_picture; }
    int loads() const { return m_loads; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    Fit m_fit;
    bool m_autoSize = false;
    QString m_file;
    QString m_hint;
    QPixmap m_picture;
    int m_loads = 0;
    bool m_deferred = false;
};
