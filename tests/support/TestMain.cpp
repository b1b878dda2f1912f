#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Widgets are created for real but never reach a screen. A test may ask for a screen of a
    // given size with the offscreen platform's options ("offscreen:configfile=...").
    if (!qEnvironmentVariable("QT_QPA_PLATFORM").startsWith(QLatin1String("offscreen")))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
