#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

class FtpClient;

// What the operators of a server do with its tree: set it up, check it, list its users and
// publish a release. The command-line tool runs these; each leaves the connection closed.
namespace ops {

inline const QStringList kLanguages = {QStringLiteral("rus/"), QStringLiteral("eng/")};

// The main account as the settings file of the settings account names it.
struct MainAccount
{
    QString host;
    QString user;
    QString password;
    QString root; // the tree's root as written there
};

// Reads "fcom.xo" as the program does; nothing, with `error` set, when that fails.
std::optional<MainAccount> readSettings(FtpClient& settingsServer, QString* error);

// `root` is the tree's root as the settings file writes it; `ftp` is set up for the main
// account and need not be connected.

// One line for each problem; an empty list for a sound, writable tree.
QStringList checkTree(FtpClient& ftp, const QString& root);
// Creates what is missing of the tree (nothing that exists is changed); false with `error`.
bool initTree(FtpClient& ftp, const QString& root, QString* error);
// The names of the directory, in its order.
std::optional<QStringList> listUsers(FtpClient& ftp, const QString& root, QString* error);

// Uploads the updater and its signature into both language folders, then the build number: a
// client that reads the new number finds complete files beside it.
bool publish(FtpClient& ftp, const QString& root, int build, const QByteArray& updater,
             const QByteArray& signature, QString* error);

} // namespace ops
