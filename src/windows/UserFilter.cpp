#include "windows/UserFilter.h"

#include "app/AppContext.h"
#include "core/UserSearch.h"
#include "windows/WindowLook.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

namespace {

// Right-aligned on the list's top edge, clear of the frame's controls above it.
constexpr int kWidth = 240;
constexpr int kHeight = 22;

// A key that types a character into the filter rather than moving or acting in the list.
bool types(const QKeyEvent& key, bool filterEmpty)
{
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = key.text();
    if (text.isEmpty() || !text.at(0).isPrint())
        return false;
    // Space alone still does what it does in the list; within a typed text it parts words.
    return !(filterEmpty && text.at(0).isSpace());
}

} // namespace

UserFilter::UserFilter(AppContext& ctx, QTreeWidget* list, QList<int> columns)
    : QFrame(list->parentWidget()), m_list(list), m_columns(std::move(columns))
{
    setObjectName(QStringLiteral("userFilter"));
    setToolTip(ctx.text(kTxtFilterHint));
    setAutoFillBackground(true);
    setStyleSheet(QStringLiteral(
        "#userFilter { background: #611422; border: none; }"
        "QLabel { color: #DBDDC6; background: transparent; }"
        "QLineEdit { color: #1E1E1E; background: #F4F4F4; border: none; padding: 0 4px; }"));
    m_caption = new QLabel(ctx.text(kTxtFilterCaption), this);
    m_caption->setObjectName(QStringLiteral("userFilterCaption"));
    m_caption->setFont(look::pixelFont(look::calibri(), 13, true));
    m_line = new QLineEdit(this);
    m_line->setObjectName(QStringLiteral("userFilterText"));
    m_line->setFont(look::pixelFont(look::calibri(), 15, false));
    // The typing goes to the list; the line only shows it, and its clear button clears it.
    m_line->setFocusPolicy(Qt::NoFocus);
    m_line->setClearButtonEnabled(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 1, 1, 1);
    row->setSpacing(6);
    row->addWidget(m_caption);
    row->addWidget(m_line, 1);
    resize(kWidth, kHeight);
    hide();

    connect(m_line, &QLineEdit::textChanged, this, [this] {
        apply();
        if (m_line->text().isEmpty())
            hide();
    });
    // The list is refilled when the directory changes and its rows retyped for marks; new and
    // changed rows are filtered as they come.
    QAbstractItemModel* model = m_list->model();
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& parent, int first, int last) {
                if (!parent.isValid())
                    applyTo(first, last);
            });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) {
                if (!from.parent().isValid())
                    applyTo(from.row(), to.row());
            });
    m_list->installEventFilter(this);
}

std::optional<bool> UserFilter::keyPress(QWidget* receiver, const QKeyEvent& key)
{
    if (receiver != m_list)
        return std::nullopt;
    if (key.key() == Qt::Key_Escape) {
        if (text().isEmpty())
            return std::nullopt; // the window's own Escape
        clear();
        return true;
    }
    if (key.key() == Qt::Key_Backspace) {
        if (text().isEmpty())
            return std::nullopt;
        setText(text().chopped(1));
        return true;
    }
    if (!types(key, text().isEmpty()))
        return std::nullopt;
    setText(text() + key.text());
    return true;
}

QString UserFilter::text() const
{
    return m_line->text();
}

void UserFilter::setText(const QString& typed)
{
    if (!typed.isEmpty()) {
        place();
        show();
        raise();
    }
    m_line->setText(typed);
}

void UserFilter::clear()
{
    setText(QString());
}

int UserFilter::shownCount() const
{
    int shown = 0;
    for (int k = 0; k < m_list->topLevelItemCount(); ++k)
        shown += m_list->topLevelItem(k)->isHidden() ? 0 : 1;
    return shown;
}

void UserFilter::apply()
{
    applyTo(0, m_list->topLevelItemCount() - 1);
    // The correspondent when found, else the first found: not some rows down the list.
    if (QTreeWidgetItem* current = m_list->currentItem(); current && !current->isHidden())
        m_list->scrollToItem(current);
    else
        m_list->scrollToTop();
}

void UserFilter::applyTo(int first, int last)
{
    const QString typed = m_line->text();
    for (int k = std::max(first, 0); k <= last && k < m_list->topLevelItemCount(); ++k) {
        QTreeWidgetItem* item = m_list->topLevelItem(k);
        QStringList fields;
        for (int column : m_columns)
            fields.append(item->text(column));
        const bool hide = !usersearch::matches(fields, typed);
        if (item->isHidden() != hide)
            item->setHidden(hide);
    }
}

void UserFilter::place()
{
    const QRect list = m_list->geometry();
    setGeometry(list.right() + 1 - kWidth, list.top() - kHeight, kWidth, kHeight);
}

bool UserFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list) {
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
            place();
        // The list put away (signing out): what was typed goes with it. A hidden window keeps it.
        if (event->type() == QEvent::Hide && m_list->isHidden())
            clear();
    }
    return QFrame::eventFilter(watched, event);
}
