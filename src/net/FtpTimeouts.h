#pragma once

#include <QtGlobal>

// Every wait of the FTP client is bounded, so that a silent or dribbling server fails the
// operation instead of holding the thread that runs it. A server that answers byte by byte
// would pass a limit on silence alone, so replies and transfers are bounded as a whole too.
inline constexpr int kFtpConnectTimeoutMs = 10'000;  // TCP connect, control and data
inline constexpr int kFtpReplyTimeoutMs = 30'000;    // a whole reply, from first byte to last
inline constexpr int kFtpDataIdleTimeoutMs = 60'000; // longest silence on a data connection

// The slowest transfer that still counts as moving: fewer than 16 KiB in any 30 s fails it
// (about 0.5 KiB/s; a file of 1 MiB may take at most about half an hour). Below this a
// transfer is a server stuck in a loop or an attack, and it would hold the session's one
// connection for good.
inline constexpr int kFtpRateWindowMs = 30'000;
inline constexpr qint64 kFtpMinBytesPerWindow = 16 * 1024;

// Size of the one buffer a transfer streams through. Measured with bench/ftp (512 MiB against
// vsftpd on loopback, files on tmpfs, median of 10): 64 KiB downloads in 0.90 s and uploads in
// 0.74 s, 256 KiB in 0.89 s and 0.81 s; 128 and 512 KiB were no faster. A buffer that stays in
// the processor's cache beats a larger one.
inline constexpr int kFtpTransferBufferBytes = 64 * 1024;

// The limits one client object applies; tests shorten them to keep a timeout test quick.
struct FtpTimeouts
{
    int connectMs = kFtpConnectTimeoutMs;
    int replyMs = kFtpReplyTimeoutMs;
    int dataIdleMs = kFtpDataIdleTimeoutMs;
    int rateWindowMs = kFtpRateWindowMs;
    qint64 minBytesPerWindow = kFtpMinBytesPerWindow;
};
