#pragma once

#include <QByteArray>

// A soft two-note chime for new messages, as a complete 16-bit mono PCM WAV file.
QByteArray chimeWave();
