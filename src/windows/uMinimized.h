#pragma once

#include <QWidget>

class AppContext;
class QSystemTrayIcon;

// The mini bar: the application's main window, and the owner of the notification-area icon.
class TMinimized : public QWidget
{
    Q_OBJECT

public:
    explicit TMinimized(AppContext& ctx);
    ~TMinimized() override;

    void showTrayIcon();
    QSystemTrayIcon* Tray1() const { return m_tray; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    AppContext& m_ctx;
    QSystemTrayIcon* m_tray = nullptr;
};
