#pragma once

#include "windows/WindowFader.h"

struct QuickSendResult;

#include <QPoint>
#include <QWidget>

class AppContext;
class QLabel;
class QLineEdit;
class QPushButton;

// The quick-send window: a borderless strip that opens modally beside the pointer over the main
// window and sends a one-line message to the main window's current recipient, starting the
// conversation when there is none yet, or asks for the drop-zone window instead.
class TNetMenu : public QWidget
{
    Q_OBJECT

public:
    explicit TNetMenu(AppContext& ctx);
    ~TNetMenu() override;

    // Where the window goes for a pointer at `pointer`: beside it, on the side that fits.
    static QPoint placement(QPoint pointer, int width);

    // Opens the window; the other windows of the program take no input until it closes.
    void ShowModal();
    // Fades the window out from full opacity; it closes at the end of the fade.
    Q_INVOKABLE void StartFadeOut();
    const Fade& fade() const { return m_fader->fade(); }

    // Handlers, public so that the main window and the tests can run them as the events would.
    void fxTimer();
    void Button2Click();
    void LMDButton1Click();
    void LMDButton2Click();
    void textChange();
    // A key released in the window; true when it was used.
    bool keyReleased(int key, bool inText);

signals:
    // The file button: the user would rather send files to the recipient, from the drop zone.
    void fileSendRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void onQuickSent(const QuickSendResult& result);
    // The recipient of every send: the main window's correspondent.
    QString recipient() const;
    bool holdsPlaceholder() const;
    // What is typed and not sent stays as the recipient's draft of this window.
    void keepDraft();
    void dragStart(QMouseEvent* event);
    void dragMove(QMouseEvent* event);

    AppContext& m_ctx;
    WindowFader* m_fader = nullptr;       // owns the fade timer fx
    QLabel* m_title = nullptr;            // LMDLabel1: "For" and the recipient
    QLineEdit* m_text = nullptr;          // text
    QPushButton* m_sendButton = nullptr;  // Button2
    QPushButton* m_fileButton = nullptr;  // LMDButton1
    QPushButton* m_closeButton = nullptr; // LMDButton2
    bool m_dragging = false;
    QPoint m_dragOrigin; // the pointer within the window at the press
    QString m_sending;   // the text on its way, which a second press must not send again
    QString m_draftKey;  // the draft of the recipient while the window is open
};
