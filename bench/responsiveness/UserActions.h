#pragma once

// What a user does to the program, and how the harness sees the outcome: controls are found by
// their object names and worked with real input events; waiting runs the event loop, so the
// program's timers fire as they would on a desktop.
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <stdexcept>

class QLineEdit;
class QTreeWidget;

namespace useractions {

// A control the harness relies on is gone or renamed.
class MissingControl : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

QObject* findNamed(QObject* window, const QString& name, const char* className);

template <class T> T* find(QObject* window, const char* name)
{
    QObject* found = findNamed(window, QString::fromLatin1(name), T::staticMetaObject.className());
    return static_cast<T*>(found);
}

// Runs the event loop until done() holds or timeoutMs passed; whether it held. The wait never
// sleeps the thread, so it adds nothing to the stalls it is measuring.
bool waitUntil(const std::function<bool()>& done, int timeoutMs);
// Runs the event loop for this long.
void idle(int ms);

// A left click at `at` (the middle when null).
void click(QWidget* widget, QPoint at = {});
// Clicks into the box, selects what it holds and types `text` over it.
void typeInto(QLineEdit* box, const QString& text);
// Clicks the row whose `column` reads `text`; false when no row does.
bool clickRow(QTreeWidget* list, const QString& text, int column);

// A point of `window` where a drop lands on the window itself rather than on a control that
// takes drops of its own (an editable text box would insert the file's name).
QPoint windowDropPoint(QWidget* window);
// Files dragged from the file manager and let go over `at`: drag enter, drag move and drop
// reach the window's native window as the desktop delivers them, carrying text/uri-list.
// Whether the window accepted the drag.
bool dropFiles(QWidget* window, QPoint at, const QStringList& paths);

} // namespace useractions
