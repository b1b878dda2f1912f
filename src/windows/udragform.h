#pragma once

#include <QWidget>

class AppContext;

// The drop-zone window.
class Tdragform : public QWidget
{
    Q_OBJECT

public:
    explicit Tdragform(AppContext& ctx);

private:
    AppContext& m_ctx;
};
