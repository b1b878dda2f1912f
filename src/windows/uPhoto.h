#pragma once

#include <QWidget>

class AppContext;

// The avatar viewer.
class TPhoto : public QWidget
{
    Q_OBJECT

public:
    explicit TPhoto(AppContext& ctx);

private:
    AppContext& m_ctx;
};
