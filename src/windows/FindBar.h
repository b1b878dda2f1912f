#pragma once

#include <QFrame>
#include <QList>
#include <QPointer>

#include <optional>

class AppContext;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// A small bar over the top right corner of a text view that finds a typed text in it: the
// count of matches, the current one highlighted and scrolled into view, next and previous
// going round at the ends. Ctrl+F opens it, Esc closes it.
class FindBar : public QFrame
{
    Q_OBJECT

public:
    FindBar(AppContext& ctx, QPlainTextEdit* view);

    // A key pressed in the window that owns the view, before the window's own key handling:
    // true when the bar used it, false when it is typing for the bar's box that the window must
    // leave alone, nothing when the bar has no part in it.
    std::optional<bool> keyPress(QWidget* receiver, const QKeyEvent& key);

    void openBar();
    void closeBar();
    void next();
    void previous();
    // The match shown, from 0, or -1; and how many there are.
    int current() const { return m_current; }
    int count() const { return static_cast<int>(m_matches.size()); }

    QLineEdit* box() const { return m_box; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void search();
    void go(int index);
    void showMatches();
    void place();

    static constexpr int kTxtFindMatches = 390;
    static constexpr int kTxtNoMatches = 391;
    static constexpr int kTxtFindPlaceholder = 392;
    static constexpr int kTxtNextMatch = 393;
    static constexpr int kTxtPreviousMatch = 394;
    static constexpr int kTxtCloseFind = 395;

    AppContext& m_ctx;
    QPlainTextEdit* m_view;
    QLineEdit* m_box = nullptr;
    QLabel* m_count = nullptr;
    QPushButton* m_previous = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_close = nullptr;
    QPointer<QWidget> m_returnFocus; // where the focus was when the bar opened
    QList<qsizetype> m_matches;
    qsizetype m_length = 0;
    int m_current = -1;
};
