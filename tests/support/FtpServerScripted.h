#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// A tiny FTP server that plays a script written in the test, for the behaviours no real server
// shows on demand (a 120 greeting, a dropped connection, odd multi-line replies, silence, a data
// connection closed early). It listens on 127.0.0.1 and a free port and runs the script on its
// own thread, once for each accepted connection. Every wait of the script is bounded, so a
// client that misbehaves fails the test instead of hanging it.
class ScriptedFtpServer
{
public:
    class Session
    {
    public:
        // Sends text + CR LF; "\n" inside `lines` separates lines of a multi-line reply.
        void reply(const QByteArray& lines);
        // The next command line without CR LF; empty when the client closed the connection.
        QByteArray read();
        // Reads a command and records a failure unless it starts with `verb`.
        QByteArray expect(const QByteArray& verb);
        // Greeting 220 and the whole login sequence of the client: HOST, AUTH TLS when the
        // client asks (refused), USER, PASS, FEAT (answered with `features`, one per line),
        // TYPE I, SYST, TYPE I.
        void login(const QByteArrayList& features = {});
        // Expects PASV, listens for one data connection and answers 227 with `address` (the
        // numbers a hostile server would name; the port is always the real one).
        void passive(const QByteArray& address = "127,0,0,1");
        // Accepts the data connection announced by passive().
        void acceptData();
        void sendData(const QByteArray& bytes);
        QByteArray receiveData(); // until the client closes the data connection
        void closeData();
        // Sends `bytes` one at a time, `gapMs` apart, on the control or the data connection;
        // stops early, returning false, once the client has closed it.
        bool trickle(const QByteArray& bytes, int gapMs, bool onData = false);
        // Sends `line` + CR LF again and again until the client closes the connection.
        void flood(const QByteArray& line);
        // Closes the control connection at once, without a reply.
        void drop();
        // Says nothing until the client closes the connection (bounded).
        void stayQuiet();
        void fail(const QString& why);

    private:
        friend class ScriptedFtpServer;
        ScriptedFtpServer* m_server = nullptr;
        int m_control = -1;
        int m_dataListener = -1;
        int m_data = -1;
        QByteArray m_input;
    };

    using Script = std::function<void(Session& session, int connection)>;

    // Runs `script` for each of the first `connections` connections.
    explicit ScriptedFtpServer(Script script, int connections = 1);
    ~ScriptedFtpServer(); // waits for the script to end

    QString address() const; // "127.0.0.1:<port>"
    // Every command line received, as raw bytes.
    QByteArrayList received() const;
    // Empty when the script ran as written, else what went wrong.
    QString failures() const;

private:
    void run(int connections);

    Script m_script;
    int m_listener = -1;
    quint16 m_port = 0;
    mutable std::mutex m_mutex;
    QByteArrayList m_received;
    QString m_failures;
    std::thread m_thread;
};
