#include "windows/DraftKeeper.h"

#include "platform/SettingsStore.h"

#include <QPlainTextEdit>
#include <QTimer>

namespace {

// Long enough that steady typing rewrites the settings file seldom, short enough that little is
// lost when the program is killed.
constexpr int kSaveDelayMs = 1500;

} // namespace

DraftKeeper::DraftKeeper(QPlainTextEdit* box, SettingsStore& store, drafts::Box kind)
    : QObject(box), m_box(box), m_store(store), m_kind(kind)
{
    setObjectName(QStringLiteral("draftKeeper"));
    m_saveTimer = new QTimer(this);
    m_saveTimer->setObjectName(QStringLiteral("draftSave"));
    m_saveTimer->setSingleShot(true);
    m_saveTimer->setInterval(kSaveDelayMs);
    connect(m_saveTimer, &QTimer::timeout, this, &DraftKeeper::flush);
    connect(m_box, &QPlainTextEdit::textChanged, this, &DraftKeeper::typed);
}

DraftKeeper::~DraftKeeper()
{
    // Quitting: what was typed last is not lost.
    flush();
}

void DraftKeeper::open(const QString& owner, const QString& peer)
{
    flush();
    m_owner = owner;
    m_key = drafts::key(owner, peer, m_kind);
    m_loading = true;
    m_box->setPlainText(m_store.value(m_key));
    m_loading = false;
    m_box->moveCursor(QTextCursor::End);
}

void DraftKeeper::leave()
{
    flush();
    m_key.clear();
    m_loading = true;
    m_box->clear();
    m_loading = false;
}

void DraftKeeper::sent(const QString& peer, const QString& text)
{
    flush();
    if (m_owner.isEmpty())
        return;
    const QString key = drafts::key(m_owner, peer, m_kind);
    if (m_store.value(key) == text)
        m_store.remove(key);
}

void DraftKeeper::flush()
{
    m_saveTimer->stop();
    if (!m_unsaved || m_key.isEmpty())
        return;
    m_unsaved = false;
    if (m_text.isEmpty())
        m_store.remove(m_key);
    else
        m_store.setValue(m_key, m_text);
}

void DraftKeeper::typed()
{
    if (m_loading || m_key.isEmpty())
        return;
    // Kept here as well: when the window goes away its box is gone before this keeper writes.
    m_text = m_box->toPlainText();
    m_unsaved = true;
    m_saveTimer->start();
}
