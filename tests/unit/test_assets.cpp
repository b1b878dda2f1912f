#include "support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QImageReader>
#include <QRawFont>
#include <QSet>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

QString dataFolder()
{
    return qEnvironmentVariable("LARKSPIRE_BIN_DIR") + QStringLiteral("/0rg_System/");
}

QString path(const char* name)
{
    return dataFolder() + QString::fromUtf8(name);
}

QImage load(const char* name)
{
    return QImage(path(name)).convertToFormat(QImage::Format_ARGB32);
}

struct Picture
{
    const char* name;
    const char* format; // what the content is, whatever the extension says
    int width;
    int height;
    bool cutOut; // transparent around its shape, drawn over the window's background
};

// Each size is the size of the control that shows the picture.
constexpr Picture kPictures[] = {
    {"Larkspire.jpg", "jpeg", 48, 48, false},    {"network.jpg", "jpeg", 1200, 700, false},
    {"dragform.jpg", "jpeg", 220, 180, false},   {"block1.png", "png", 338, 417, true},
    {"more.png", "png", 40, 136, true},          {"More.png", "png", 40, 136, true},
    {"MoreM.png", "png", 40, 136, true},         {"back2.png", "png", 38, 38, true},
    {"back2M.png", "png", 38, 38, true},         {"minimize2.png", "png", 176, 38, true},
    {"Minimize2M.png", "png", 176, 38, true},    {"close_button.png", "png", 113, 17, true},
    {"close_buttonM.png", "png", 113, 17, true}, {"fav_icon.png", "png", 44, 40, true},
    {"fav_icon_on.png", "png", 44, 40, true},    {"avax.png", "png", 300, 300, false},
    {"Larkspire.png", "png", 256, 256, true},
};

struct Font
{
    const char* name;
    const char* family; // empty: any display face will do
};

constexpr Font kFonts[] = {
    {"calibri.ttf", "Carlito"}, // metric-compatible, so laid-out captions keep their widths
    {"HATTEN.TTF", ""},
    {"Fontatigo 4F-Regular.ttf", ""},
};

// Brightness as seen over a black background, so a glow counts as well as a lighter fill.
double meanLight(const QImage& image)
{
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            sum += qGray(c) * qAlpha(c) / 255.0;
        }
    return sum / (image.width() * image.height());
}

int opaquePixels(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += qAlpha(image.pixel(x, y)) > 128;
    return n;
}

int distinctColours(const QImage& image)
{
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            seen.insert(image.pixel(x, y));
    return static_cast<int>(seen.size());
}

bool near(QRgb actual, QRgb expected, int tolerance)
{
    return std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(actual) - qBlue(expected)) <= tolerance;
}

} // namespace

TEST(DataFolder, EveryFileExistsUnderItsExactName)
{
    const QStringList present = QDir(dataFolder()).entryList(QDir::Files);
    for (const Picture& p : kPictures)
        EXPECT_TRUE(present.contains(QString::fromUtf8(p.name))) << p.name;
    for (const Font& f : kFonts)
        EXPECT_TRUE(present.contains(QString::fromUtf8(f.name))) << f.name;
    for (const char* name : {"Larkspire.ico", "notify.wav", "LC.xo"})
        EXPECT_TRUE(present.contains(QString::fromUtf8(name))) << name;
    EXPECT_TRUE(QFileInfo(path("temp1")).isDir());
}

TEST(DataFolder, HoldsNothingTheProgramDoesNotKnow)
{
    QSet<QString> known;
    for (const Picture& p : kPictures)
        known.insert(QString::fromUtf8(p.name));
    for (const Font& f : kFonts)
        known.insert(QString::fromUtf8(f.name));
    for (const char* name :
         {"Larkspire.ico", "notify.wav", "LC.xo", "vinfo.xo", "rg.ind", "st.ind", "temp1", "net"})
        known.insert(QString::fromUtf8(name));
    const QStringList present =
        QDir(dataFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& entry : present)
        EXPECT_TRUE(known.contains(entry)) << entry.toStdString();
}

TEST(Pictures, DecodeAtTheSizeOfTheirControls)
{
    for (const Picture& p : kPictures) {
        SCOPED_TRACE(p.name);
        QImageReader reader(path(p.name));
        reader.setDecideFormatFromContent(true);
        EXPECT_EQ(reader.format(), QByteArray(p.format));
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
        EXPECT_EQ(image.size(), QSize(p.width, p.height));
        // A flat or nearly flat picture means a drawing step went missing.
        EXPECT_GT(distinctColours(image.convertToFormat(QImage::Format_ARGB32)), 12);
    }
}

TEST(Pictures, CutOutsAreTransparentAtTheCornerAndOthersOpaque)
{
    for (const Picture& p : kPictures) {
        SCOPED_TRACE(p.name);
        const QImage image = load(p.name);
        ASSERT_FALSE(image.isNull());
        const int cornerAlpha = qAlpha(image.pixel(0, image.height() - 1));
        if (p.cutOut)
            EXPECT_EQ(cornerAlpha, 0);
        else
            EXPECT_EQ(opaquePixels(image), image.width() * image.height());
    }
}

TEST(Pictures, EdgesMeetTheirWindowsWithoutASeam)
{
    // The mini bar's background colour shows around its picture while it fades.
    const QImage bar = load("Larkspire.jpg");
    for (const QPoint corner : {QPoint(0, 0), QPoint(47, 0), QPoint(0, 47), QPoint(47, 47)})
        EXPECT_TRUE(near(bar.pixel(corner), qRgb(47, 47, 53), 6))
            << corner.x() << "," << corner.y();
    // The drop zone's busy label (wine, 175 pixels wide) sits in the picture's bottom band.
    const QImage drop = load("dragform.jpg");
    for (const QPoint p : {QPoint(4, 170), QPoint(120, 176), QPoint(182, 162)})
        EXPECT_TRUE(near(drop.pixel(p), qRgb(0x6b, 0x16, 0x25), 8)) << p.x() << "," << p.y();
}

TEST(Pictures, HoverImagesAreVisiblyBrighter)
{
    const std::pair<const char*, const char*> pairs[] = {{"back2.png", "back2M.png"},
                                                         {"minimize2.png", "Minimize2M.png"},
                                                         {"close_button.png", "close_buttonM.png"},
                                                         {"More.png", "MoreM.png"}};
    for (const auto& [normal, hover] : pairs) {
        SCOPED_TRACE(hover);
        const QImage a = load(normal);
        const QImage b = load(hover);
        ASSERT_EQ(a.size(), b.size());
        EXPECT_GT(meanLight(b), meanLight(a) * 1.25);
    }
}

TEST(Pictures, MoreTabLooksTheSameAfterItsHoverEnds)
{
    // "more.png" is shown first and "More.png" after a hover: a difference would flicker.
    EXPECT_EQ(load("more.png"), load("More.png"));
}

TEST(Pictures, FavouriteMarkDiffersFromTheUnmarkedStar)
{
    const QImage marked = load("fav_icon.png");
    const QImage unmarked = load("fav_icon_on.png");
    EXPECT_GT(opaquePixels(marked), 2 * opaquePixels(unmarked));
}

TEST(Icon, IcoAndPngDecodeWithTransparency)
{
    QImageReader ico(path("Larkspire.ico"));
    ico.setDecideFormatFromContent(true);
    EXPECT_EQ(ico.format(), QByteArray("ico"));
    const QImage icon = ico.read().convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(icon.isNull()) << ico.errorString().toStdString();
    EXPECT_EQ(icon.width(), icon.height());
    EXPECT_GE(icon.width(), 48);
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(icon.pixel(icon.width() / 2, icon.height() / 2)), 255);

    // Shortcuts, launchers and the tray must show one and the same mark.
    const QImage png =
        load("Larkspire.png").scaled(64, 64, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage small = icon.scaled(64, 64, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double difference = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            difference += std::abs(qGray(png.pixel(x, y)) - qGray(small.pixel(x, y)));
    EXPECT_LT(difference / (64 * 64), 3.0);
}

TEST(Fonts, LoadAndCoverCyrillicAndLatin)
{
    const QString sample = QStringLiteral("АБВЖЩЫЯабвжщыяЁё№ Calibri 0123");
    for (const Font& f : kFonts) {
        SCOPED_TRACE(f.name);
        const int id = QFontDatabase::addApplicationFont(path(f.name));
        ASSERT_GE(id, 0);
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        ASSERT_FALSE(families.isEmpty());
        if (*f.family) {
            EXPECT_EQ(families.first(), QString::fromUtf8(f.family));
        }
        const QRawFont raw(path(f.name), 19);
        ASSERT_TRUE(raw.isValid());
        for (const QChar c : sample)
            EXPECT_TRUE(c.isSpace() || raw.supportsCharacter(c)) << QString(c).toStdString();
        QFontDatabase::removeApplicationFont(id);
    }
}

TEST(Templates, HoldOnlySmallPictures)
{
    const QFileInfoList entries =
        QDir(path("temp1")).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    ASSERT_FALSE(entries.isEmpty());
    for (const QFileInfo& entry : entries) {
        SCOPED_TRACE(entry.fileName().toStdString());
        EXPECT_TRUE(entry.isFile());
        EXPECT_LT(entry.size(), 100 * 1024);
        const QImage image(entry.filePath());
        ASSERT_FALSE(image.isNull());
        // Offered as avatars, which are shown square.
        EXPECT_EQ(image.width(), image.height());
        EXPECT_GE(image.width(), 150);
    }
}

TEST(Chime, IsAShortQuietPcmWave)
{
    QFile file(path("notify.wav"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray wav = file.readAll();
    ASSERT_GT(wav.size(), 44);
    EXPECT_LT(wav.size(), 50 * 1024);
    const auto* b = reinterpret_cast<const uchar*>(wav.constData());
    auto u16 = [&](int at) { return qFromLittleEndian<quint16>(b + at); };
    auto u32 = [&](int at) { return qFromLittleEndian<quint32>(b + at); };
    EXPECT_EQ(wav.left(4), QByteArray("RIFF"));
    EXPECT_EQ(u32(4), static_cast<quint32>(wav.size() - 8));
    EXPECT_EQ(wav.mid(8, 8), QByteArray("WAVEfmt "));
    EXPECT_EQ(u16(20), 1); // PCM
    const int channels = u16(22);
    const quint32 rate = u32(24);
    EXPECT_EQ(u16(34), 16); // bits per sample
    EXPECT_EQ(u32(28), rate * channels * 2);
    ASSERT_EQ(wav.mid(36, 4), QByteArray("data"));
    const quint32 bytes = u32(40);
    ASSERT_EQ(bytes, static_cast<quint32>(wav.size() - 44));

    const double seconds = static_cast<double>(bytes) / (rate * channels * 2);
    EXPECT_GT(seconds, 0.2);
    EXPECT_LT(seconds, 2.0);
    int peak = 0;
    for (quint32 at = 44; at + 1 < static_cast<quint32>(wav.size()); at += 2)
        peak = std::max(peak, std::abs(static_cast<int>(qFromLittleEndian<qint16>(b + at))));
    EXPECT_GT(peak, 4000);  // audible
    EXPECT_LT(peak, 30000); // and not clipped
    // Ends in silence, so stopping early or late never clicks.
    EXPECT_LT(std::abs(static_cast<int>(qFromLittleEndian<qint16>(b + wav.size() - 2))), 64);
}
