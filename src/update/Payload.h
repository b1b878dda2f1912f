#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The updater carries the new runnable folder inside itself: its own program bytes, then an
// archive of the folder, then the archive's size and a mark, so one signed file holds all.
namespace payload {

// Every regular file and folder below `folder` (links are left out), with the owner's mode
// bits. Empty, with `error` set, when a file cannot be read.
// Top-level names in `leaveOut` stay out.
QByteArray packFolder(const QString& folder, QString* error = nullptr,
                      const QStringList& leaveOut = {});
// Writes the archive into `target` (which must not exist yet). Refuses names that would leave
// the target (absolute, "..", empty parts) and a damaged archive; false with `error` set.
bool unpack(const QByteArray& archive, const QString& target, QString* error = nullptr);

QByteArray attach(const QByteArray& program, const QByteArray& archive);
// The archive of an updater file; empty when it carries none.
QByteArray extract(const QByteArray& updaterFile);

// A program file carries its build number as this text followed by the decimal number and ";",
// so that a release can be checked against the number it is offered under.
inline constexpr char kBuildMark[] = "larkspire-build:";
// The build number the program file carries; nothing when it carries none.
std::optional<int> programBuild(const QByteArray& programFile);

} // namespace payload
