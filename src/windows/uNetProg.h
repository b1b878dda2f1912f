#pragma once

#include "windows/WindowFader.h"

namespace poll {
struct Announcement;
}

#include <QWidget>

class AppContext;
class QLabel;
class QPushButton;
class QTimer;

// The new-message popup: announces a message or received files at the top of the screen,
// shrinks to a "+" square after ten seconds, and opens the conversation when clicked. What it
// asks of the main window goes out as its signals, which ClientWindows connects.
class Tnetprog : public QWidget
{
    Q_OBJECT

public:
    explicit Tnetprog(AppContext& ctx);

    // The sender of the latest announcement.
    const QString& sender() const { return m_sender; } // Hint
    // What `txt` holds: "text.text" for a message, "files" while a notice's files come down,
    // the received file's name, or empty for several files.
    const QString& marker() const { return m_marker; }
    // 0 fade in, 1 fade out and close, 2 fade out and shrink to "+".
    int fadeMode() const { return m_fadeMode; }

    int alpha() const { return m_fader->fade().alpha(); }

    void showRequest();
    void beginClosing();
    void resetWidth();
    // Makes `txt` and the window wide enough for its text, never narrower, and centres the
    // window again; the "+" square keeps its size.
    void widenText();

    // The poll cycle's news, when it is the popup's to show (ClientWindows routes it here): a
    // message or a notice of files, and later the notice's files.
    void announce(const poll::Announcement& a);
    void filesFetched(const poll::Announcement& a);

    // Handlers, public so that tests can run them as the events would.
    void fxTimer();
    void Timer1Timer();
    void capClick();
    void opnowClick();

signals:
    // The popup came on screen: a show of the main window from here on is a full one.
    void announcementShown();
    // A click on a message: the user wants the main window to answer in.
    void showMainWindowRequested();
    // The user wants the sender's conversation in the main window; `typeReply` also puts the
    // cursor in the message box.
    void openConversationRequested(const QString& sender, bool typeReply);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void fadedOut();
    void place();
    void openConversation(bool focusMessage);
    // Empty when the sender or the file name could point outside the received-files folder.
    QString receivedFile() const;
    QString senderFolder() const;

    AppContext& m_ctx;
    WindowFader* m_fader = nullptr; // owns the fade timer fx
    QString m_sender;               // Hint
    QString m_marker;
    // 0 or 1; with the marker it decides whether the open button shows.
    int m_mode = 0;
    int m_fadeMode = 0;
    QLabel* m_caption = nullptr;         // cap
    QLabel* m_text = nullptr;            // txt
    QPushButton* m_openButton = nullptr; // opnow
    QLabel* m_plus = nullptr;            // maximize
    QTimer* m_shrinkTimer = nullptr;     // Timer1
};
