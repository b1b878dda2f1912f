#pragma once

#include <QWidget>

class AppContext;

// The new-message popup.
class Tnetprog : public QWidget
{
    Q_OBJECT

public:
    explicit Tnetprog(AppContext& ctx);

private:
    AppContext& m_ctx;
};
