// The yardstick of the start-up comparison: a Qt program that shows a tray icon and nothing else.
#include <QApplication>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QPixmap picture(22, 22);
    picture.fill(Qt::darkCyan);
    QSystemTrayIcon icon{QIcon(picture)};
    icon.setToolTip(QStringLiteral("bare"));
    icon.show();
    return QApplication::exec();
}
