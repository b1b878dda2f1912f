#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The 8-bit Cyrillic code page every file of the system is written in.
namespace cp1251 {

QString decode(QByteArrayView bytes);
// Characters the code page cannot hold become "?".
QByteArray encode(const QString& text);
// The characters of text that the code page cannot hold, each once, in order of appearance.
QString unencodable(const QString& text);

} // namespace cp1251
