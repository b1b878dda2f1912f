#pragma once

#include <QImage>

// The program's mark and the pictures that stand for people.
namespace portraits {

QImage appIcon(int size); // square, transparent corners
QImage miniBar();         // 48 x 48 on the mini bar's own background colour
QImage defaultAvatar();   // 300 x 300, a new account's picture

// Sample pictures offered in a new "My images" folder.
QImage sampleLarkspur();
QImage sampleDunes();
QImage sampleOrbits();

} // namespace portraits
