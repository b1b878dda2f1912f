#pragma once

#include <QWidget>

class AppContext;

// The quick-send window.
class TNetMenu : public QWidget
{
    Q_OBJECT

public:
    explicit TNetMenu(AppContext& ctx);

private:
    AppContext& m_ctx;
};
