// The avatar viewer opened from the main window of a client signed in on the demo server: which
// picture it shows, how large and where, and how it goes away. CTest gives this test a
// 1920 x 1080 screen (support/screen-1920x1080.json).
#include "support/ClientFolder.h"
#include "support/DemoPair.h"
#include "support/DemoServer.h"
#include "support/Fades.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"
#include "support/TestClient.h"

#include "core/UserDirectory.h"
#include "windows/FrameImage.h"
#include "windows/uPhoto.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

QByteArray png(int width, int height, Qt::GlobalColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// What of the window is not the black background, as it is painted.
QRect paintedArea(QWidget* window)
{
    const QImage image = window->grab().toImage();
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (qRed(c) > 60 || qGreen(c) > 60 || qBlue(c) > 60)
                area |= QRect(x, y, 1, 1);
        }
    }
    return area;
}

void overwrite(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QColor colourAt(QWidget* window, QPoint at)
{
    return window->grab().toImage().pixelColor(at);
}

class AvatarViewer : public DemoPair
{
protected:
    void SetUp() override
    {
        DemoPair::SetUp();
        if (IsSkipped())
            return;
        // Each registers with the picture of its data folder: Bob a wide one, Alice a large
        // square one.
        prepareClientFolder(root, "bob", png(350, 200, Qt::red));
        prepareClientFolder(root, "alice", png(1400, 1400, Qt::green));
        bob = signedIn("Bob");
        alice = signedIn("Alice");
        ASSERT_EQ(textOf(alice->w(), "User"), "Alice");
        // From here on Alice's stock picture is blue, to tell it from both avatars.
        root.write("alice/app/0rg_System/avax.png", png(8, 8, Qt::blue));
        photo = alice->ctx->Photo();
    }

    QWidget* control(const char* name) const { return alice->w()->findChild<QWidget*>(name); }
    QString temp(const QString& name) const { return alice->ctx->folders().tempDataDir + name; }
    void click(const char* name, Qt::MouseButton button = Qt::LeftButton) const
    {
        QTest::mouseClick(control(name), button);
    }
    void openBob() const
    {
        TNetwork* w = alice->w();
        fire(w, "msgrld");
        alice->settle();
        const int row = UserDirectory::find(w->directory().users(), "Bob");
        ASSERT_GE(row, 0);
        auto* list = w->findChild<QTreeWidget*>("users");
        list->setCurrentItem(list->topLevelItem(row));
        alice->settle();
        ASSERT_EQ(qobject_cast<QLabel*>(control("user2name"))->text(), "Bob");
    }
    // Shown, centred on the screen, fading in from transparent.
    void expectOpening() const
    {
        ASSERT_TRUE(photo->isVisible());
        EXPECT_EQ(photo->size(), QSize(700, 700));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        EXPECT_EQ(photo->pos(),
                  screen.topLeft() + QPoint(screen.width() / 2 - 350, screen.height() / 2 - 350));
        if (screen.size() == QSize(1920, 1080)) {
            EXPECT_EQ(photo->pos(), QPoint(610, 190));
        }
        EXPECT_TRUE(photo->fading());
        EXPECT_EQ(photo->fade().direction(), Fade::Direction::In);
        EXPECT_EQ(photo->fade().alpha(), 0);
    }

    TPhoto* photo = nullptr;
};

} // namespace

TEST_F(AvatarViewer, TheOwnPictureOpensFromThePictureAndTheNameAndGoesOnEsc)
{
    // The right button is not for the viewer.
    click("ava", Qt::RightButton);
    EXPECT_FALSE(photo->isVisible());

    click("ava");
    expectOpening();
    EXPECT_EQ(photo->requestedPicture(), temp("ava.png"));
    // 1400 x 1400 fills the square.
    EXPECT_EQ(paintedArea(photo), QRect(0, 0, 700, 700));
    EXPECT_EQ(colourAt(photo, {350, 350}), QColor(Qt::green));
    runFade(photo);
    EXPECT_EQ(photo->fade().alpha(), 245);

    QTest::keyClick(photo, Qt::Key_Escape);
    EXPECT_EQ(photo->fade().direction(), Fade::Direction::Out);
    EXPECT_EQ(photo->fade().alpha(), 245);
    EXPECT_TRUE(photo->isVisible());
    runFade(photo);
    EXPECT_FALSE(photo->isVisible());
    // The picture is let go with the window.
    EXPECT_TRUE(photo->findChild<FrameImage*>("Image1")->picture().isNull());

    click("User");
    expectOpening();
    EXPECT_EQ(colourAt(photo, {350, 350}), QColor(Qt::green));
}

TEST_F(AvatarViewer, TheCorrespondentsPictureFitsTheSquareAndGivesWayToTheOwn)
{
    openBob();
    click("user2");
    expectOpening();
    EXPECT_EQ(photo->requestedPicture(), temp("myava.png"));
    // 350 x 200 is shown 700 x 400, black above and below.
    EXPECT_EQ(paintedArea(photo), QRect(0, 150, 700, 400));
    EXPECT_EQ(colourAt(photo, {350, 350}), QColor(Qt::red));

    // A click anywhere on the picture, the black part included.
    QTest::mouseClick(photo->findChild<QWidget*>("Image1"), Qt::LeftButton, {}, {350, 50});
    EXPECT_EQ(photo->fade().direction(), Fade::Direction::Out);
    runFade(photo);
    EXPECT_FALSE(photo->isVisible());

    click("user2name");
    EXPECT_EQ(colourAt(photo, {350, 350}), QColor(Qt::red));
    runFade(photo);
    // The own picture asked for while this one is shown starts the viewer again.
    click("ava");
    expectOpening();
    EXPECT_EQ(colourAt(photo, {350, 100}), QColor(Qt::green));
}

TEST_F(AvatarViewer, AMissingOrBrokenPictureShowsTheStockOneWithoutAnError)
{
    // Broken: not a picture at all.
    overwrite(temp("ava.png"), "not a picture");
    click("ava");
    expectOpening();
    EXPECT_EQ(paintedArea(photo), QRect(0, 0, 700, 700));
    EXPECT_EQ(colourAt(photo, {350, 350}), QColor(Qt::blue));

    // Missing.
    ASSERT_TRUE(QFile::remove(temp("ava.png")));
    click("User");
    EXPECT_EQ(colourAt(photo, {350, 350}), QColor(Qt::blue));

    openBob();
    overwrite(temp("myava.png"), "\x89PNG broken");
    click("user2");
    expectOpening();
    EXPECT_EQ(colourAt(photo, {350, 350}), QColor(Qt::blue));

    // Without the stock picture too, the square stays black.
    ASSERT_TRUE(QFile::remove(root.path("alice/app/0rg_System/avax.png")));
    click("ava");
    expectOpening();
    EXPECT_TRUE(paintedArea(photo).isEmpty());

    EXPECT_TRUE(alice->fakes.desktop->errors.isEmpty());
}
