#pragma once

#include <QWidget>

class AppContext;

// The main window.
class TNetwork : public QWidget
{
    Q_OBJECT

public:
    explicit TNetwork(AppContext& ctx);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void prepareFolders();
    void prepareMyImages();
    AppContext& m_ctx;
};
