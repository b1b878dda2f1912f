#pragma once

#include "core/PendingDrop.h"
#include "windows/WindowFader.h"

#include <QPoint>
#include <QRect>
#include <QStringList>
#include <QWidget>

class AppContext;
class FrameImage;
class QLabel;
struct FilesRequest;
struct FilesResult;

// The drop-zone window: a small picture in the bottom-right corner of the screen, above all
// windows, that sends the files dropped on it to the main window's correspondent while the main
// window is away, and asks for the main window back when it closes. Files dropped while the
// server is away wait in it until the server is back or the window closes.
class Tdragform : public QWidget
{
    Q_OBJECT

public:
    explicit Tdragform(AppContext& ctx);

    // Where the window goes in a screen's available area.
    static QPoint placement(const QRect& area);

    // Shown by the main window's file button: drops are sent, and the main window comes back
    // when this window closes.
    void ShowForNetwork();
    // Fades the window out from full opacity; it closes at the end of the fade.
    void StartFadeOut();
    const Fade& fade() const { return m_fader->fade(); }
    bool sendsToNetwork() const { return m_sendsToNetwork; }
    // The paths of the last drop.
    const QStringList& dropfiles() const { return m_dropFiles; }
    void clearDropfiles() { m_dropFiles.clear(); }
    // Files dropped while the server was away, which go up when it is back.
    PendingDrop waitingFiles() const;
    // The connection state changed: waiting files go up once the server is there.
    void sendWaitingFiles();

signals:
    // The window opened for the main window closed: the user goes back to it as it was.
    void returnToMainWindowRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void dropFiles(const QStringList& paths);
    void send(const PendingDrop::Files& files);
    // Why the last drop did not go up, or how many files wait; hidden when neither.
    void showDropState(const QString& text);
    void showWaitingFiles();
    void cancelWaitingFiles();
    void onFilesReached(const FilesRequest& request);
    void onProgress(const QString& name, int percent);
    void onFilesSent(const FilesResult& result);
    void hideBusyLabel();
    // The recipient of every send: the main window's correspondent.
    QString recipient() const;

    AppContext& m_ctx;
    FrameImage* m_picture = nullptr;    // Image1
    FrameImage* m_closeStrip = nullptr; // Image2
    QLabel* m_busyLabel = nullptr;      // LMDSimpleLabel2
    QLabel* m_dropStateLabel = nullptr; // a click gives up the waiting files
    WindowFader* m_fader = nullptr;     // fx
    QStringList m_dropFiles;            // dropfiles
    bool m_sendsToNetwork = false;      // the window's mode "net"
    int m_sendsPending = 0;
    bool m_dragging = false;
    QPoint m_dragOrigin; // the pointer within the window at the press
};
