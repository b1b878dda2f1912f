#pragma once

#include <QString>

class QWidget;

// What the program needs from the windowing system beyond Qt's own widgets.
class Desktop
{
public:
    virtual ~Desktop() = default;
    virtual bool trayAvailable() const = 0;
    // Raises and activates the window; true when it is the active window afterwards.
    virtual bool forceForeground(QWidget* window) = 0;
    // The application's default error report: a message box with the failure's text.
    virtual void showError(const QString& text) = 0;
    // A yes/no question; true for yes.
    virtual bool confirm(const QString& title, const QString& question) = 0;
    // The folder dialog, file-system folders only, with a line that says what the choice will
    // do (none when `note` is empty); empty when the user cancels.
    virtual QString chooseFolder(const QString& caption, const QString& startFolder,
                                 const QString& note) = 0;
    // The picture-open dialog; filters as QFileDialog takes them. Empty when the user cancels.
    virtual QString choosePicture(const QString& title, const QString& startFolder,
                                  const QString& filters) = 0;
};
