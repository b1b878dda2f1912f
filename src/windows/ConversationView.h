#pragma once

#include "windows/MainControls.h"

#include "core/PendingDrop.h"
#include "core/UserDirectory.h"
#include "core/uLocal.h"
#include "session/ClientSession.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class AppContext;
class QEvent;
class QLabel;
class QTimer;
class TNetwork;

// The conversation on screen in the main window: the chat view, the message box and its send
// button, the quick-send window's results, and files dropped for the correspondent. Sending is
// a request of the client session; the view shows its result. What is sent while the server is
// away waits in the outbox until it is back, or until the user gives it up.
class ConversationView : public QObject
{
    Q_OBJECT

public:
    ConversationView(TNetwork& window, MainControls::Conversation& controls, AppContext& ctx);

    void onSend(); // sendbutClick
    void onMessageSent(const MessageResult& result);
    void onQuickSent(const QuickSendResult& result);
    // Opens the quick-send window, modal, for the send button's recipient.
    void onQuickSend(); // smsClick
    // Enter in the message box sends, Shift+Enter breaks the line; true when the key was used up.
    bool messageKey(int key, Qt::KeyboardModifiers modifiers); // msgKeyDown
    // News in the conversation on screen: the view lights up a few times (high).
    void flash();
    void onChatFlashTick(); // highTimer
    // The message box as an opened correspondent leaves it.
    void clearMessageBox();
    void focusMessageBox();
    // The conversation on screen, as the state holds it.
    QStringList chatLines() const;

    void dropFiles(const QStringList& paths);
    void onFilesSent(const FilesResult& result);
    // Opens the drop-zone window for the send button's recipient and fades the window away.
    void onSendFile(); // LMDButton2Click
    // The readable files of a drop; what is left out is reported.
    QStringList sendableDropped(const QStringList& paths);
    // The notice phrases for a recipient with these phrases, the sender's when they are missing.
    QStringList noticePhrases(const PhraseTable& recipientPhrases) const;
    // Drag and drop events of the message box; true when they were files, taken here.
    bool msgDragEvent(QEvent* event);

    // Files dropped here while the server was away, which the outbox sends when it is back.
    PendingDrop waitingFiles() const;
    // The user gave up the waiting files (a click on their label, or Esc).
    void cancelWaitingFiles();

signals:
    // The user asks for the quick-send window, or for the drop zone for this recipient.
    void quickSendRequested();
    void dropZoneRequested(const QString& recipient);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What the view shows follows the state: the layout, and the lines on screen.
    void renderLayout();
    void renderLines();
    void sendMessage(const QString& recipient, bool viaEnter);
    // The message waits in the outbox and leaves the message box as a sent one does; false when
    // nobody is signed in to send it as.
    bool keepForLater(const QString& recipient, const QString& header, const QString& text,
                      bool viaEnter);
    // How many messages to the correspondent on screen wait, over the top of the conversation;
    // a click on it gives the newest up.
    void renderWaiting();
    void cancelNewestWaitingMessage();
    // The labels over the foot of the conversation, one above the other.
    void stackFootLabels();
    void sendDropped(const PendingDrop::Files& files);
    void showWaitingFiles();
    // Whether the correspondent has seen the newest own messages, under the conversation.
    void renderSeenMark();
    // The conversation on the user's screen tells its correspondent how far it was read.
    void recordSeen();

    static constexpr int kTxtNotFilesNotSent = 137;
    // The conversation is gone from the server, most likely with the correspondent's account.
    static constexpr int kTxtConversationGone = 402;
    static constexpr int kTxtPeerCopyFailed = 140;
    static constexpr int kTxtNotSent = 150;
    static constexpr int kTxtServerUnreachable = 151;
    static constexpr int kTxtLoading = 328;

    // A message in the own copy whose correspondent's copy failed: sending the same text to
    // the same correspondent again reuses its header, so it is not written twice.
    struct UnsentEntry
    {
        QString recipient;
        QString text;
        QString header;
    };

    TNetwork& m_window;
    MainControls::Conversation& m_ui;
    AppContext& m_ctx;
    UnsentEntry m_unsentEntry;
    std::optional<MessageRequest> m_pendingSend; // a message on its way
    int m_filesPending = 0;                      // drops on their way
    // How many dropped files wait for the server, over the foot of the conversation; a click on
    // it gives them up.
    QLabel* m_dropStateLabel = nullptr; // dropState
    QLabel* m_seenLabel = nullptr;      // seenMark
    QLabel* m_waitingLabel = nullptr;   // waitingMessages
    // User, correspondent and entry digest of the last mark asked for.
    QString m_seenAsked;
    QTimer* m_chatFlashTimer = nullptr; // high
    int m_chatFlashCount = 0;           // highCount
};
