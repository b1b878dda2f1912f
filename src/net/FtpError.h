#pragma once

#include "core/Error.h"

// The failure of one FTP operation. Its message is the server's reply text (all lines, as sent)
// when the server refused, otherwise a sentence naming the socket error, the timeout or the local
// file problem; the application's default error report shows it as it is.
class FtpError : public Error
{
public:
    enum class Kind
    {
        Reply,      // the server answered with a code the operation does not accept
        Socket,     // connect, send or receive failed (sysError() holds errno)
        Closed,     // the server closed the connection
        Timeout,    // a bounded wait expired
        Local,      // the local file could not be opened, read or written
        Usage,      // the call was not possible: not connected, already connected, empty host
        Protocol,   // the server sent something that is not an FTP reply
        Incomplete, // a download brought other than the size the server reported
        TooLarge,   // a download would bring more than the caller's limit; nothing was kept
        Tls         // the TLS handshake failed, the certificate is not the one pinned, or a
                    // server that offered TLS before (or must) does not now
    };

    FtpError(Kind kind, const QString& message, int replyCode = 0, int sysError = 0)
        : Error(message), m_kind(kind), m_replyCode(replyCode), m_sysError(sysError)
    {
    }

    Kind kind() const { return m_kind; }
    // The reply's code for Kind::Reply, else 0.
    int replyCode() const { return m_replyCode; }
    // errno for Kind::Socket and Kind::Local, else 0.
    int sysError() const { return m_sysError; }

private:
    Kind m_kind;
    int m_replyCode;
    int m_sysError;
};
