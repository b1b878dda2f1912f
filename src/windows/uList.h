#pragma once

#include "windows/WindowFader.h"

#include <QRect>
#include <QStringList>
#include <QWidget>

class AppContext;
class QListWidget;

// The user picker: a narrow column of large names above and to the left of the mini bar,
// the favourites when there are any and otherwise the whole directory, from which the user
// picks the recipient of files dropped on the bar.
class TfList : public QWidget
{
    Q_OBJECT

public:
    explicit TfList(AppContext& ctx);

    // Shows the picker beside `bar`; the other windows take no input until it closes, and
    // `finished` then tells the pick.
    void Pick(const QRect& bar);
    // The last pick; empty after a cancel.
    const QString& Hint() const { return m_choice; }
    // The names offered, in order: the favourites, or every listed user when there are none.
    static QStringList offered(const QStringList& favourites, const QStringList& directoryNames);
    const Fade& fade() const { return m_fader->fade(); }

signals:
    // The picker closed; `choice` is empty when the user cancelled.
    void finished(const QString& choice);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void FormShow();
    void usersSelect(const QString& name);
    void cancel();

    AppContext& m_ctx;
    QListWidget* m_names = nullptr; // users
    WindowFader* m_fader = nullptr; // fx
    QString m_choice;               // Hint
    QRect m_bar;                    // the mini bar the picker stands beside
    bool m_closing = false;
};
