#include "UserActions.h"

#include <QApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QWindow>

namespace useractions {

QObject* findNamed(QObject* window, const QString& name, const char* className)
{
    for (QObject* o : window->findChildren<QObject*>(name)) {
        if (o->inherits(className))
            return o;
    }
    throw MissingControl(QStringLiteral("no %1 named \"%2\" in %3")
                             .arg(QString::fromLatin1(className), name,
                                  QString::fromLatin1(window->metaObject()->className()))
                             .toStdString());
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    constexpr int kLookEveryMs = 20;
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            return false;
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(std::min<qint64>(left, kLookEveryMs)), Qt::PreciseTimer,
                           &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void idle(int ms)
{
    QEventLoop loop;
    // A coarse timer of a minute may end up to 3 s early.
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void click(QWidget* widget, QPoint at)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, at.isNull() ? widget->rect().center() : at);
}

void typeInto(QLineEdit* box, const QString& text)
{
    click(box);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, text);
}

bool clickRow(QTreeWidget* list, const QString& text, int column)
{
    const QList<QTreeWidgetItem*> rows = list->findItems(text, Qt::MatchExactly, column);
    if (rows.isEmpty())
        return false;
    list->scrollToItem(rows.first());
    click(list->viewport(), list->visualItemRect(rows.first()).center());
    return true;
}

QPoint windowDropPoint(QWidget* window)
{
    // Qt hands a drag to the control under the pointer, or to the first of its parents that
    // takes drops; the window gets it where neither does.
    for (int y = window->height() - 20; y > 0; y -= 20) {
        for (int x = 20; x < window->width(); x += 20) {
            QWidget* target = window->childAt(x, y);
            while (target && target != window && !target->acceptDrops())
                target = target->parentWidget();
            if (!target || target == window)
                return {x, y};
        }
    }
    return {};
}

bool dropFiles(QWidget* window, QPoint at, const QStringList& paths)
{
    QWindow* native = window->windowHandle();
    if (!native)
        return false;
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls.append(QUrl::fromLocalFile(p));
    data.setUrls(urls);
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(native, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(native, &move);
    QDropEvent drop(at, actions, &data, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(native, &drop);
    return true;
}

} // namespace useractions
