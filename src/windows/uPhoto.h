#pragma once

#include "windows/WindowFader.h"

#include <QWidget>

class AppContext;
class FrameImage;

// The avatar viewer: a user's picture large, in a black square in the middle of the screen. A
// click or Esc puts it away.
class TPhoto : public QWidget
{
    Q_OBJECT

public:
    explicit TPhoto(AppContext& ctx);

    // Shows the picture of the file, or the stock picture when the file is missing or is no
    // picture. A viewer already on screen starts again with the new picture.
    void showPicture(const QString& path);
    // Fades the viewer out from full opacity; it closes at the end of the fade.
    void StartFadeOut();
    bool fading() const { return m_fader->running(); }
    const Fade& fade() const { return m_fader->fade(); }
    // The file the opener asked for, which may not be the one shown.
    const QString& requestedPicture() const { return m_requestedPicture; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void loadPicture();
    void onPictureClick(); // Image1Click
    void onFadedOut();

    static constexpr int kSide = 700;

    AppContext& m_ctx;
    FrameImage* m_picture = nullptr; // Image1
    WindowFader* m_fader = nullptr;  // owns the fade timer fx
    QString m_requestedPicture;      // the window's Hint
};
