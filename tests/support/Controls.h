#pragma once

// Reaching a window's controls and timers as a person and the clock do: by their object names,
// with real mouse events, and timers fired through their own timeout.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QTimerEvent>
#include <QTreeWidget>
#include <QWidget>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

// The child of `window` of type T named `name`; a missing one ends the test with its name.
template <typename T> T* control(const QObject* window, const char* name)
{
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        throw std::runtime_error(std::string("no control named \"") + name + "\" of type " +
                                 T::staticMetaObject.className());
    return found;
}

// A left click in the middle of the control.
inline void click(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton);
}
inline void click(const QObject* window, const char* name)
{
    click(control<QWidget>(window, name));
}

// Presses `key` on `focused` as the keyboard would; true when the window used the key up before
// the control saw it.
inline bool keyUsedUp(QWidget* focused, Qt::Key key)
{
    struct Spy : QObject
    {
        bool seen = false;
        bool eventFilter(QObject*, QEvent* event) override
        {
            seen = seen || event->type() == QEvent::KeyPress;
            return false;
        }
    } spy;
    focused->installEventFilter(&spy);
    QTest::keyClick(focused, key);
    focused->removeEventFilter(&spy);
    return !spy.seen;
}

// Runs the timer's handler once through its own timeout event, as the time would, and leaves
// it stopped at the interval it had. The event is delivered at once rather than from an event
// loop, so no other timer of the test steps in. True when the handler left it running: the code
// wants it to go on.
inline bool fire(QTimer* timer)
{
    const int interval = timer->interval();
    QSignalSpy fired(timer, &QTimer::timeout);
    timer->start(0);
    QTimerEvent due(timer->timerId());
    QCoreApplication::sendEvent(timer, &due);
    EXPECT_TRUE(fired.count() > 0 || fired.wait(5000))
        << "timer " << timer->objectName().toStdString() << " did not fire";
    const bool goesOn = timer->isActive();
    timer->stop();
    // A handler that set an interval of its own keeps it.
    if (timer->interval() == 0)
        timer->setInterval(interval);
    return goesOn;
}
inline bool fire(const QObject* window, const char* name)
{
    return fire(control<QTimer>(window, name));
}

// One tick of a running timer (a fade's step): fired, and left running when its handler wants
// it to go on.
inline void tick(QTimer* timer)
{
    if (fire(timer))
        timer->start();
}
inline void tick(const QObject* window, const char* name)
{
    tick(control<QTimer>(window, name));
}

// Whether the timer runs: the code has it waiting to fire.
inline bool running(const QObject* window, const char* name)
{
    return control<QTimer>(window, name)->isActive();
}

// Fires a running timer until its handler stops it (a fade to its end); how often it fired.
inline int fireWhileRunning(QTimer* timer, int most = 200)
{
    int ticks = 0;
    if (!timer->isActive())
        return 0;
    while (ticks < most) {
        ++ticks;
        if (!fire(timer))
            break;
    }
    return ticks;
}

// What a label, a box or a button shows.
inline QString textOf(const QObject* window, const char* name)
{
    QObject* c = control<QWidget>(window, name);
    if (auto* label = qobject_cast<QLabel*>(c))
        return label->text();
    if (auto* line = qobject_cast<QLineEdit*>(c))
        return line->text();
    if (auto* button = qobject_cast<QAbstractButton*>(c))
        return button->text();
    if (auto* box = qobject_cast<QPlainTextEdit*>(c))
        return box->toPlainText();
    throw std::runtime_error(std::string("control \"") + name + "\" shows no text");
}

// Whether the control was hidden (its window may be hidden too).
inline bool hidden(const QObject* window, const char* name)
{
    return control<QWidget>(window, name)->isHidden();
}

// Whether the control shows whenever its window does.
inline bool shownIn(const QWidget* window, const char* name)
{
    return control<QWidget>(window, name)->isVisibleTo(window);
}

// The row of `users` whose name column reads `name`, or null.
inline QTreeWidgetItem* userItem(QTreeWidget* users, const QString& name)
{
    for (int i = 0; i < users->topLevelItemCount(); ++i) {
        if (users->topLevelItem(i)->text(1) == name)
            return users->topLevelItem(i);
    }
    return nullptr;
}

// Makes row `row` of the window's user list the current one, as a click on it does.
inline void pickRow(const QObject* window, int row)
{
    auto* users = control<QTreeWidget>(window, "users");
    users->setCurrentItem(users->topLevelItem(row));
}

// Clicks the row of `name` in the window's user list; false when no row shows that name.
inline bool clickUser(const QObject* window, const QString& name)
{
    auto* users = control<QTreeWidget>(window, "users");
    QTreeWidgetItem* item = userItem(users, name);
    if (!item)
        return false;
    users->scrollToItem(item);
    QTest::mouseClick(users->viewport(), Qt::LeftButton, {}, users->visualItemRect(item).center());
    return true;
}
