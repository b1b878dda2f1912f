#pragma once

#include <QImage>

// The clickable images of the main window's frame, at the sizes of their controls.
namespace chrome {

enum class State
{
    Normal,
    Hover
};

QImage backButton(State state);  // 38 x 38, top right
QImage minimizeTab(State state); // 176 x 38, top centre
QImage closeTab(State state);    // 113 x 17, beside the back button
QImage moreTab(State state);     // 40 x 136, opens the settings panel

// 44 x 40; the marked star is shown while the open correspondent is a favourite.
QImage favouriteStar(bool marked);

} // namespace chrome
