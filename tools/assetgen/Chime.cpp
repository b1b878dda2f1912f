#include "Chime.h"

#include <QDataStream>
#include <QIODevice>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kSeconds = 0.85;

struct Note
{
    double start;     // seconds
    double frequency; // Hz
    double level;
};

// A rising fifth, like a small bell: A5 then E6.
constexpr std::array<Note, 2> kNotes{{{0.0, 880.0, 0.8}, {0.16, 1318.5, 1.0}}};

double bell(double t, double frequency)
{
    // Struck-bell envelope: a 4 ms attack, then exponential decay; overtones fade faster.
    const double attack = std::min(1.0, t / 0.004);
    const double w = 2 * std::numbers::pi * frequency * t;
    return attack *
           (std::exp(-t / 0.28) * std::sin(w) + 0.28 * std::exp(-t / 0.12) * std::sin(2 * w) +
            0.08 * std::exp(-t / 0.06) * std::sin(3.01 * w));
}

} // namespace

QByteArray chimeWave()
{
    const int count = static_cast<int>(kRate * kSeconds);
    std::vector<double> mix(static_cast<size_t>(count), 0.0);
    for (int i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kRate;
        for (const Note& n : kNotes)
            if (t >= n.start)
                mix[static_cast<size_t>(i)] += n.level * bell(t - n.start, n.frequency);
    }
    // Quiet by design: a peak at half of full scale, and a short fade so the end never clicks.
    const double peak =
        std::max(1e-9, std::abs(*std::max_element(mix.begin(), mix.end(), [](double a, double b) {
                     return std::abs(a) < std::abs(b);
                 })));
    const int fade = kRate / 20;
    QByteArray pcm;
    QDataStream out(&pcm, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    for (int i = 0; i < count; ++i) {
        const double tail = std::min(1.0, static_cast<double>(count - 1 - i) / fade);
        const double v = 0.5 * mix[static_cast<size_t>(i)] / peak * tail;
        out << static_cast<qint16>(std::lround(v * 32767));
    }

    QByteArray file;
    QDataStream wav(&file, QIODevice::WriteOnly);
    wav.setByteOrder(QDataStream::LittleEndian);
    const auto size = static_cast<quint32>(pcm.size());
    wav.writeRawData("RIFF", 4);
    wav << quint32(36 + size);
    wav.writeRawData("WAVEfmt ", 8);
    wav << quint32(16) << quint16(1) << quint16(1) << quint32(kRate) << quint32(kRate * 2)
        << quint16(2) << quint16(16);
    wav.writeRawData("data", 4);
    wav << size;
    wav.writeRawData(pcm.constData(), pcm.size());
    return file;
}
