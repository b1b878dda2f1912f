#pragma once

#include <QApplication>

#include <functional>

// The application object; a failure that a handler does not catch ends that handler and is
// shown to the user, and the program keeps running.
class LarkspireApplication : public QApplication
{
    Q_OBJECT

public:
    LarkspireApplication(int& argc, char** argv);
    void setErrorReport(std::function<void(const QString&)> report);
    bool notify(QObject* receiver, QEvent* event) override;

private:
    std::function<void(const QString&)> m_report;
};
