#pragma once

// Every wait of the FTP client is bounded, so that a silent server fails the operation instead
// of freezing the user-interface thread that runs it. The documented client waited forever
// (timeouts of 0); these are the limits used instead.
inline constexpr int kFtpConnectTimeoutMs = 10'000; // TCP connect, control and data
inline constexpr int kFtpReplyTimeoutMs = 30'000;   // longest silence while a reply is awaited
inline constexpr int kFtpDataIdleTimeoutMs = 60'000; // longest silence on a data connection

// Size of the one buffer a transfer streams through (measured with bench/ftp from 64 KiB to
// 512 KiB on loopback; see FtpClient.cpp for the figures).
inline constexpr int kFtpTransferBufferBytes = 256 * 1024;

// The limits one client object applies; tests shorten them to keep a timeout test quick.
struct FtpTimeouts
{
    int connectMs = kFtpConnectTimeoutMs;
    int replyMs = kFtpReplyTimeoutMs;
    int dataIdleMs = kFtpDataIdleTimeoutMs;
};
