#pragma once

#include "net/FtpError.h"
#include "net/FtpSettings.h"
#include "net/FtpSocket.h"
#include "net/TlsChannel.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <memory>

class FtpPace;

// Bytes moved so far and the whole size (-1 when the server did not say).
using FtpProgress = std::function<void(qint64 done, qint64 total)>;

// One reply of the server: its code and its lines as received (without line ends).
struct FtpReply
{
    int code = 0;
    QStringList lines;
    QString text() const { return lines.join(u'\n'); }
};

// Where a download into `localPath` keeps its bytes until the transfer is complete.
QString partialDownloadPath(const QString& localPath);

// A blocking FTP client: the client side of RFC 959 with passive data connections and binary
// transfers. Every call returns when the server has answered; every wait is bounded by the
// settings' limits (FtpTimeouts.h): a whole reply within the reply timeout, at most 1000 lines
// and 256 KiB, and a transfer that moves at least the minimum bytes in every rate window. A call
// either completes or throws FtpError carrying the server's reply text or the socket error. A
// refused reply, or a data connection that cannot be opened, leaves the connection open; a timeout
// while a reply or data is awaited, a lost connection or an unreadable reply closes it (connected()
// is false afterwards), since the next reply could no longer be told from a late one.
//
// Data connections are passive: PASV (EPSV only with extendedPassive and when FEAT offers EPRT
// and EPSV), dialled at the control connection's peer address with the reply's port, and
// connected before the transfer command is sent. Transfers stream through one buffer of
// transferBufferBytes; memory use does not grow with the file size. TCP keep-alive (with the
// settings' idle time and interval) and TCP_NODELAY are set on the control connection when it
// opens.
//
// TLS (RFC 4217), as the settings' `tls` says: after the greeting (and HOST) the client asks
// AUTH TLS, shakes hands, and sends PBSZ 0 and PROT P before USER, so that the login and every
// data connection are protected. Each data connection's handshake comes after the transfer
// command's 1xx reply, resumes the control connection's session and ends with close_notify. A
// certificate counts when the system's store vouches for it and the host name, or when it is
// the one pinned for this "host:port" (TlsPins); one seen first is pinned. A server with a pin
// that refuses AUTH TLS or shows another certificate that no store vouches for fails the
// connect (Kind::Tls) with a message that names the server and what changed: there is no
// fallback to plain text. A server without a pin that refuses AUTH TLS is used in plain text,
// unless the settings require TLS.
//
// No events are processed during a call; the progress callbacks run on the calling thread.
class FtpClient
{
public:
    explicit FtpClient(FtpSettings settings = {});
    ~FtpClient(); // closes the connection without QUIT

    FtpClient(const FtpClient&) = delete;
    FtpClient& operator=(const FtpClient&) = delete;

    FtpSettings& settings() { return m_settings; }
    const FtpSettings& settings() const { return m_settings; }
    // A random name of this client object, the same over reconnects, by which the locks it takes
    // on the server are known as its own (ServerLock).
    const QString& ownerToken() const { return m_ownerToken; }

    // Opens the control connection and logs in: greeting (1xx then 220, or 220), HOST (once
    // more without it if the server drops the connection), USER/PASS, FEAT, CLNT, the command
    // encoding (UTF-8 when offered, else windows-1251), TYPE I, SYST, SITE ZONE, TYPE I.
    // Fails at once on an empty host or an open connection (which stays open).
    void connect();
    // QUIT, reads a reply for at most 100 ms, closes. Does nothing when not connected.
    void disconnect();
    bool connected() const { return m_control.isOpen(); }

    // RETR into localPath. The bytes go into a temporary file beside it (created anew with
    // `permissions` before the umask, so a private file is never readable by others), which
    // replaces localPath only after a complete transfer: a failed download leaves an existing
    // local file as it was. Always overwrites, never resumes. The transfer counts only when it
    // brings exactly the size the server reports: the 150 reply's "(123 bytes)", else SIZE
    // asked first when FEAT offers it. With maxBytes >= 0, a file reported larger is refused
    // before RETR, and a transfer that brings more is stopped (the connection stays usable):
    // both throw Kind::TooLarge and leave localPath as it was.
    void download(const QString& remoteName, const QString& localPath,
                  const FtpProgress& progress = {}, unsigned permissions = 0666,
                  qint64 maxBytes = -1);
    // STOR of the whole local file, opened read-only; an empty remote name means the local
    // file's name.
    void upload(const QString& localPath, const QString& remoteName = {},
                const FtpProgress& progress = {});
    // NLST in the current folder (TYPE A for it, TYPE I again afterwards): the names exactly as
    // the server sends them, which may include "." and ".." (pure-ftpd). A 450 reply counts as
    // an empty folder.
    QStringList listNames();
    // The current folder's entries with their sizes and times: MLSD when FEAT offers MLST (RFC
    // 3659), else LIST, optionally of one `name`. The lines as sent; listsMachineReadable()
    // tells which form they are in.
    QStringList listDetails(const QString& name = {});
    bool listsMachineReadable() const { return offers(QStringLiteral("MLST")); }
    // The entries of the folder at `path` (a full path works from any current folder): MLSD
    // when offered, in whatever TYPE is set (RFC 3659 sends it as if TYPE L 8), else LIST in
    // TYPE A. The current folder stays as it is.
    QStringList listFolderDetails(const QString& path);
    // MLST of one file or folder: its facts line ("type=file;size=3;modify=...; name") over the
    // control connection, without a data connection; empty when the server refuses (a missing
    // file) or does not offer MLST.
    QString fileFacts(const QString& path);
    void makeFolder(const QString& name);   // MKD
    void removeFolder(const QString& name); // RMD
    void deleteFile(const QString& name);   // DELE
    void changeFolder(const QString& path); // CWD
    void folderUp();                        // CDUP
    // PWD: the text between the first two double quotes of the reply.
    QString currentFolder();
    void rename(const QString& oldName, const QString& newName); // RNFR + RNTO
    // SIZE: the number of a 213 reply, -1 for any other reply (a folder, a missing file).
    qint64 size(const QString& name);
    // MDTM: the modification time in UTC; invalid for any reply but 213 (a missing file, and a
    // folder on most servers).
    QDateTime modificationTime(const QString& name);
    void noop(); // NOOP
    // When the server last completed a reply on this connection (the epoch of the steady clock
    // before the first): proof that the connection and the network answer.
    std::chrono::steady_clock::time_point lastAnswer() const { return m_lastAnswer; }

    // What the last Connect learnt, and the last reply read.
    QString greeting() const { return m_greeting; }
    QStringList features() const { return m_features; }
    bool offers(const QString& feature) const;
    QString system() const { return m_system; }
    bool usesUtf8() const { return m_utf8; }
    const FtpReply& lastReply() const { return m_lastReply; }

    // What the last Connect learnt about TLS: the control connection is protected (false
    // whenever not connected), data connections are (the server took PROT P), the certificate
    // and the protocol version. lastDataResumed() tells whether the last protected data
    // connection resumed the control connection's session.
    bool tlsActive() const { return connected() && m_control.secure(); }
    bool dataProtected() const { return tlsActive() && m_protectData; }
    const TlsPeer& tlsPeer() const { return m_peer; }
    QString tlsVersion() const { return m_tlsVersion; }
    bool lastDataResumed() const { return m_lastDataResumed; }

private:
    void login();
    // AUTH TLS, the handshake, the certificate's check and PBSZ/PROT, as the settings say.
    void secureControl(const QString& host);
    void checkCertificate(const TlsPeer& peer, const QString& pinned);
    void ensureConnected() const;
    QByteArray encode(const QString& text) const;
    QString decode(const QByteArray& bytes) const;

    using Deadline = std::chrono::steady_clock::time_point;

    void send(const QByteArray& line);
    // The whole reply, all its lines, must arrive within the timeout; a negative one means the
    // settings' reply timeout.
    const FtpReply& readReply(int timeoutMs = -1);
    const FtpReply& readReplyBy(Deadline deadline);
    QByteArray readLine(Deadline deadline);
    // Sends one command and reads its reply; throws unless its code is accepted (an empty list
    // accepts any reply).
    const FtpReply& command(const QByteArray& line, std::initializer_list<int> accepted = {});
    const FtpReply& command(const QString& verb, const QString& argument,
                            std::initializer_list<int> accepted);
    [[noreturn]] void refuse(const FtpReply& reply);
    [[noreturn]] void fail(const FtpError& error);

    FtpSocket openDataConnection(const QByteArray& transferCommand);
    // One chunk of a transfer into the transfer buffer (0 at its end), and all of one chunk out,
    // each failing the transfer when it stalls or falls below the minimum pace.
    qint64 receiveData(FtpSocket& data, FtpPace& pace);
    void sendData(FtpSocket& data, const char* bytes, qint64 size, FtpPace& pace);
    void finishTransfer();
    // After the transfer command's 1xx reply: TLS on the data connection when PROT P holds.
    void protectData(FtpSocket& data);
    // The end of a transfer on this side: close_notify on a protected connection, then close.
    void endData(FtpSocket& data);
    char* transferBuffer();
    // The data connection broke: report the server's explanation when it gives one.
    [[noreturn]] void dataFailed(FtpSocket& data, const FtpError& error);
    // A local failure mid-transfer: drop the data connection, take the final reply, throw.
    [[noreturn]] void abandonTransfer(FtpSocket& data, const FtpError& error);
    // A listing command's lines, in TYPE A unless `asText` is false.
    QStringList listLines(const QByteArray& command, bool asText = true);

    FtpSettings m_settings;
    std::unique_ptr<TlsContext> m_tlsContext; // outlives every socket that uses it
    FtpSocket m_control;
    QString m_hostText; // "host:port" for messages
    QByteArray m_input;
    qsizetype m_inputPos = 0;
    FtpReply m_lastReply;
    QString m_greeting;
    QStringList m_features;
    QString m_system;
    bool m_utf8 = false;
    QString m_tlsHost; // the name or address the certificate is checked against
    bool m_protectData = false;
    TlsPeer m_peer;
    QString m_tlsVersion;
    bool m_lastDataResumed = false;
    std::chrono::steady_clock::time_point m_lastAnswer{};
    std::unique_ptr<char[]> m_buffer;
    int m_bufferSize = 0;
    QString m_ownerToken;
};
