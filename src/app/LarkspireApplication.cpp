#include "app/LarkspireApplication.h"

#include "core/Error.h"

#include <QDebug>

LarkspireApplication::LarkspireApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void LarkspireApplication::setErrorReport(std::function<void(const QString&)> report)
{
    m_report = std::move(report);
}

bool LarkspireApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const Error& e) {
        if (m_report)
            m_report(e.message());
    } catch (const std::exception& e) {
        if (m_report)
            m_report(QString::fromLocal8Bit(e.what()));
    }
    return false;
}
