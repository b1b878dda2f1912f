#pragma once

#include <QWidget>

class AppContext;

// The user picker.
class TfList : public QWidget
{
    Q_OBJECT

public:
    explicit TfList(AppContext& ctx);

private:
    AppContext& m_ctx;
};
