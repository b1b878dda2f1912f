#include "windows/FindBar.h"

#include "app/AppContext.h"
#include "core/TextFind.h"
#include "windows/WindowLook.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>

namespace {

constexpr int kWidth = 330;
constexpr int kHeight = 30;
constexpr int kMargin = 4;

bool isEnter(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

QPushButton* barButton(QWidget* parent, const QString& name, const QString& caption,
                       const QString& hint)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setToolTip(hint);
    b->setFlat(true);
    b->setCursor(Qt::PointingHandCursor);
    // The focus stays in the box, so that Enter goes on finding.
    b->setFocusPolicy(Qt::NoFocus);
    b->setFixedSize(24, 22);
    return b;
}

} // namespace

FindBar::FindBar(AppContext& ctx, QPlainTextEdit* view) : QFrame(view), m_ctx(ctx), m_view(view)
{
    setObjectName(QStringLiteral("findBar"));
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    // Its own look: the view's and the window's sheets are for other controls.
    setStyleSheet(QStringLiteral(
        "#findBar { background: #611422; border: 1px solid #3A0C14; }"
        "QLineEdit { color: #1E1E1E; background: #F4F4F4; border: none; padding: 0 4px; }"
        "QLabel { color: #DBDDC6; background: transparent; }"
        "QPushButton { color: #DBDDC6; background: transparent; border: none; }"
        "QPushButton:hover { color: #FFFFFF; background: #7E2030; }"));

    m_box = new QLineEdit(this);
    m_box->setObjectName(QStringLiteral("findText"));
    m_box->setPlaceholderText(ctx.text(kTxtFindPlaceholder));
    m_box->setFont(look::pixelFont(look::calibri(), 14, false));
    m_box->setFixedHeight(22);
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("findCount"));
    m_count->setFont(look::pixelFont(look::calibri(), 13, true));
    m_count->setMinimumWidth(78);
    m_count->setAlignment(Qt::AlignCenter);
    m_previous = barButton(this, QStringLiteral("findPrevious"), QStringLiteral("▲"),
                           ctx.text(kTxtPreviousMatch));
    m_next =
        barButton(this, QStringLiteral("findNext"), QStringLiteral("▼"), ctx.text(kTxtNextMatch));
    m_close =
        barButton(this, QStringLiteral("findClose"), QStringLiteral("✕"), ctx.text(kTxtCloseFind));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    row->setSpacing(2);
    row->addWidget(m_box, 1);
    row->addWidget(m_count);
    row->addWidget(m_previous);
    row->addWidget(m_next);
    row->addWidget(m_close);
    resize(kWidth, kHeight);
    hide();
    // A click on the bar or its buttons keeps the typing in the box, not in the view below.
    setFocusPolicy(Qt::ClickFocus);
    setFocusProxy(m_box);

    connect(m_box, &QLineEdit::textChanged, this, [this] {
        // A new text starts again from what the view shows.
        m_current = -1;
        search();
    });
    connect(m_previous, &QPushButton::clicked, this, &FindBar::previous);
    connect(m_next, &QPushButton::clicked, this, &FindBar::next);
    connect(m_close, &QPushButton::clicked, this, &FindBar::closeBar);
    // The poll rewrites the conversation while the bar is open; the count follows it.
    connect(m_view->document(), &QTextDocument::contentsChanged, this, [this] {
        if (!isHidden())
            search();
    });
    m_view->installEventFilter(this);
}

std::optional<bool> FindBar::keyPress(QWidget* receiver, const QKeyEvent& key)
{
    if (!receiver || receiver->window() != m_view->window())
        return std::nullopt;
    const Qt::KeyboardModifiers mods =
        key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (key.key() == Qt::Key_F && mods == Qt::ControlModifier) {
        // Only over a conversation on screen.
        if (!m_view->isVisibleTo(m_view->window()))
            return std::nullopt;
        openBar();
        return true;
    }
    const bool backwards = mods == Qt::ShiftModifier;
    if (!isHidden() && key.key() == Qt::Key_F3 && (mods == Qt::NoModifier || backwards)) {
        backwards ? previous() : next();
        return true;
    }
    if (isHidden() || (receiver != m_box && receiver != m_view))
        return std::nullopt;
    // Esc in the conversation below closes the bar first, as the innermost thing open.
    if (key.key() == Qt::Key_Escape) {
        closeBar();
        return true;
    }
    if (receiver != m_box)
        return std::nullopt;
    if (isEnter(key.key())) {
        backwards ? previous() : next();
        return true;
    }
    return false;
}

void FindBar::openBar()
{
    if (QWidget* from = m_view->window()->focusWidget(); from && !isAncestorOf(from))
        m_returnFocus = from;
    place();
    show();
    raise();
    m_box->setFocus();
    m_box->selectAll();
    search();
}

void FindBar::closeBar()
{
    hide();
    m_matches.clear();
    m_current = -1;
    m_view->setExtraSelections({});
    // Back to where the user was, or to the conversation.
    if (m_returnFocus && m_returnFocus->isVisibleTo(window()))
        m_returnFocus->setFocus();
    else
        m_view->setFocus();
}

void FindBar::next()
{
    go(textfind::step(m_current, count(), true));
}

void FindBar::previous()
{
    go(textfind::step(m_current, count(), false));
}

void FindBar::search()
{
    const QString needle = m_box->text();
    m_matches = textfind::matches(m_view->document()->toPlainText(), needle);
    m_length = needle.size();
    if (m_matches.isEmpty()) {
        m_current = -1;
    } else if (m_current < 0 || m_current >= count()) {
        // The first match at or after what the view shows at its top, as a reader expects.
        const int top = m_view->cursorForPosition(QPoint(0, 0)).position();
        m_current = 0;
        while (m_current < count() - 1 && m_matches.at(m_current) < top)
            ++m_current;
    }
    go(m_current);
}

void FindBar::go(int index)
{
    m_current = index;
    if (index >= 0) {
        // Both ends into view; no selection of the view's own, which would paint over the mark.
        QTextCursor at(m_view->document());
        at.setPosition(static_cast<int>(m_matches.at(index) + m_length));
        m_view->setTextCursor(at);
        m_view->ensureCursorVisible();
        at.setPosition(static_cast<int>(m_matches.at(index)));
        m_view->setTextCursor(at);
        m_view->ensureCursorVisible();
    }
    showMatches();
}

void FindBar::showMatches()
{
    QList<QTextEdit::ExtraSelection> marks;
    QTextCharFormat other;
    other.setBackground(QColor(0xF2, 0xE2, 0x9B));
    QTextCharFormat chosen;
    chosen.setBackground(QColor(0xE0, 0x8A, 0x1E));
    chosen.setForeground(Qt::black);
    for (int k = 0; k < count(); ++k) {
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(m_view->document());
        mark.cursor.setPosition(static_cast<int>(m_matches.at(k)));
        mark.cursor.setPosition(static_cast<int>(m_matches.at(k) + m_length),
                                QTextCursor::KeepAnchor);
        mark.format = k == m_current ? chosen : other;
        marks.append(mark);
    }
    m_view->setExtraSelections(marks);
    if (m_box->text().isEmpty())
        m_count->clear();
    else if (m_matches.isEmpty())
        m_count->setText(m_ctx.text(kTxtNoMatches));
    else
        m_count->setText(m_ctx.text(kTxtFindMatches).arg(m_current + 1).arg(count()));
}

void FindBar::place()
{
    const int scrollBar =
        m_view->verticalScrollBar()->isVisible() ? m_view->verticalScrollBar()->width() : 0;
    move(m_view->width() - scrollBar - width() - kMargin, kMargin);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::Resize)
        place();
    // The conversation put away (signing out): the bar does not come back with the next one.
    if (watched == m_view && event->type() == QEvent::Hide && m_view->isHidden() && !isHidden()) {
        hide();
        m_view->setExtraSelections({});
    }
    return QFrame::eventFilter(watched, event);
}
