#pragma once

#include <QFrame>

#include <optional>

class AppContext;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QTreeWidget;

// Finding a user in a long list: what the user types while the list has the focus shows in a
// small line above the list, and the list shows only the users whose name, region or activity
// holds it. Backspace takes the last character back, Esc clears the line and hides it. Rows are
// hidden, never removed, so the list's rows stay the directory's and a refresh of the list keeps
// the filter.
class UserFilter : public QFrame
{
    Q_OBJECT

public:
    // The columns of the list that the typed text is looked for in: name, region, activity.
    UserFilter(AppContext& ctx, QTreeWidget* list, QList<int> columns);

    // A key pressed in the window that owns the list, before the window's own key handling:
    // true when the filter used it, nothing when it has no part in it.
    std::optional<bool> keyPress(QWidget* receiver, const QKeyEvent& key);

    QString text() const;
    void setText(const QString& typed);
    void clear();
    // The rows shown with the filter as it is.
    int shownCount() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply();
    void applyTo(int first, int last);
    void place();

    static constexpr int kTxtFilterCaption = 396;
    static constexpr int kTxtFilterHint = 397;

    QTreeWidget* m_list;
    QList<int> m_columns;
    QLabel* m_caption = nullptr;
    QLineEdit* m_line = nullptr;
};
