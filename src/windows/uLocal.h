#pragma once

#include <QWidget>

class AppContext;

// The localisation window: never shown; its creation prepares the data folders and the texts
// every later window takes its captions from.
class TLC : public QWidget
{
    Q_OBJECT

public:
    explicit TLC(AppContext& ctx);

private:
    void FormCreate();
    AppContext& m_ctx;
};
