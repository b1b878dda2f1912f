#pragma once

#include <QString>
#include <QStringList>

class AppContext;

// The program's place on this computer. A first start for the user offers to install a copy of
// the program's folder, with an autostart entry and launchers, and hands over to that copy;
// every later start brings the fonts and re-arms the autostart entry, which the user may take
// away and add again. It shows nothing but the platform's dialogs.
class Installation
{
public:
    // What the start found.
    enum class Start
    {
        HandedOver,   // installed just now: the installed copy runs and this one ends
        NotInstalled, // the user declined, or the installation stopped; this copy runs on
        Installed,    // installed before: the autostart entry follows this copy
    };

    explicit Installation(AppContext& ctx);

    // The build this executable reports to the updater and compares when updating.
    static QString ownBuild(const AppContext& ctx);
    // Writes the build record for the updater where there is none yet and returns this
    // executable's, one line.
    QStringList recordBuild() const;

    bool installed() const;
    // The step of every start; asks where to install when the program is not installed yet.
    Start start();
    // True from the moment a first start installs until the program has ended.
    bool handingOver() const { return m_handingOver; }
    // The program's fonts, once, after the start's step; none for a copy that handed over.
    void loadFonts();

    // The autostart entry: taken away once the user agrees (false when they do not), or
    // written again with the launchers.
    bool removeAutostart();
    void addAutostart();

private:
    // The chosen folder's installation; false when it stopped and this copy runs on.
    bool installInto(const QString& chosenFolder);

    static constexpr int kTxtInstallFolder = 366;
    static constexpr int kTxtInstallNote = 403; // what the installation will do
    static constexpr int kTxtRemoveAutostart = 368;

    AppContext& m_ctx;
    bool m_handingOver = false;
    bool m_fontsLoaded = false;
};
