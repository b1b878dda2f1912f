#pragma once

#include "core/Drafts.h"

#include <QObject>
#include <QString>

class QPlainTextEdit;
class QTimer;
class SettingsStore;

// Keeps what is typed into a message box and not sent as the draft of the correspondent the
// box belongs to, in the local settings store, and puts it back when that correspondent is
// opened again. Typing is written out a moment after it stops, and at once when the box changes
// hands or goes away.
class DraftKeeper : public QObject
{
    Q_OBJECT

public:
    DraftKeeper(QPlainTextEdit* box, SettingsStore& store, drafts::Box kind);
    ~DraftKeeper() override;

    // The box now belongs to `owner`'s conversation with `peer`: what it held is kept for the
    // one before, and it shows peer's draft.
    void open(const QString& owner, const QString& peer);
    // The box belongs to no one until the next open (the user picked someone else and the
    // conversation is on its way): what it held is kept, and it empties.
    void leave();
    // A message went to `peer`: its draft goes, unless the box holds more than was sent.
    void sent(const QString& peer, const QString& text);
    // Writes out what waits.
    void flush();

private:
    void typed();

    QPlainTextEdit* m_box;
    SettingsStore& m_store;
    drafts::Box m_kind;
    QTimer* m_saveTimer = nullptr;
    QString m_owner;
    QString m_key;          // the draft the box holds; empty: none
    QString m_text;         // what the box holds, as last typed
    bool m_loading = false; // the box is being filled from the store
    bool m_unsaved = false;
};
