// Draws every picture of the data folder, plus the new-message chime, into the folder given.

#include "Chime.h"
#include "Chrome.h"
#include "Draw.h"
#include "Portraits.h"
#include "Scenes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>

#include <cstdio>
#include <functional>

namespace {

struct Picture
{
    const char16_t* name;
    std::function<QImage()> draw;
};

using chrome::State;

// Names keep their exact letter case: the windows load several spellings of the same picture.
const Picture kPictures[] = {
    {u"Larkspire.jpg", portraits::miniBar},
    {u"Larkspire.png", [] { return portraits::appIcon(256); }},
    {u"Larkspire.ico", [] { return portraits::appIcon(256); }},
    {u"network.jpg", scenes::mainBackground},
    {u"block1.png", scenes::settingsPanel},
    {u"dragform.jpg", scenes::dropZone},
    {u"more.png", [] { return chrome::moreTab(State::Normal); }},
    {u"More.png", [] { return chrome::moreTab(State::Normal); }},
    {u"MoreM.png", [] { return chrome::moreTab(State::Hover); }},
    {u"back2.png", [] { return chrome::backButton(State::Normal); }},
    {u"back2M.png", [] { return chrome::backButton(State::Hover); }},
    {u"minimize2.png", [] { return chrome::minimizeTab(State::Normal); }},
    {u"Minimize2M.png", [] { return chrome::minimizeTab(State::Hover); }},
    {u"close_button.png", [] { return chrome::closeTab(State::Normal); }},
    {u"close_buttonM.png", [] { return chrome::closeTab(State::Hover); }},
    {u"fav_icon.png", [] { return chrome::favouriteStar(true); }},
    {u"fav_icon_on.png", [] { return chrome::favouriteStar(false); }},
    {u"avax.png", portraits::defaultAvatar},
    {u"temp1/larkspur.jpg", portraits::sampleLarkspur},
    {u"temp1/dunes.jpg", portraits::sampleDunes},
    {u"temp1/orbits.jpg", portraits::sampleOrbits},
};

bool save(const QImage& image, const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    QImageWriter writer(path);
    QImage data;
    if (suffix == u"jpg") {
        writer.setFormat("jpeg");
        writer.setQuality(96);
        // JPEG has no alpha: compose onto black rather than let the writer guess.
        QImage opaque = draw::canvas(image.width(), image.height(), Qt::black);
        QPainter(&opaque).drawImage(0, 0, image);
        data = draw::flatten(opaque).convertToFormat(QImage::Format_RGB32);
    } else {
        data = draw::flatten(image).convertToFormat(QImage::Format_ARGB32);
        writer.setFormat(suffix == u"ico" ? "ico" : "png");
    }
    if (writer.write(data))
        return true;
    std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(writer.errorString()));
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: larkspire_assetgen <data folder>\n");
        return 2;
    }
    const QDir out(args.at(1));
    if (!out.mkpath(QStringLiteral("temp1"))) {
        std::fprintf(stderr, "cannot create %s\n",
                     qPrintable(out.filePath(QStringLiteral("temp1"))));
        return 1;
    }

    bool ok = true;
    for (const Picture& picture : kPictures)
        ok = save(picture.draw(), out.filePath(QString::fromUtf16(picture.name))) && ok;

    QFile chime(out.filePath(QStringLiteral("notify.wav")));
    const QByteArray wave = chimeWave();
    if (!chime.open(QIODevice::WriteOnly) || chime.write(wave) != wave.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(chime.fileName()));
        ok = false;
    }
    return ok ? 0 : 1;
}
