#pragma once
#include <string>
#include <sys/types.h>

namespace testing_support
{

struct PyFtpdOptions
{
    std::string user = "tessel";
    std::string password = "tessel-secret";
    // Also lets "anonymous" log on, read-only.
    bool anonymous = false;
    // Bytes a second each data connection may move each way (0: no limit).
    int throttle = 0;
    // The folder to serve; empty for a fresh temporary folder removed at the end.
    std::string root;
    // Where a session starts, as the server names it (e.g. "/home/u"); the
    // folder is made inside the root. Empty: the root, "/".
    std::string home;
    // The handler's encoding: "utf-8" (pyftpdlib's own) or "latin-1", an old
    // server's, which reads commands and writes replies and listings one
    // byte per character while the files on disk keep UTF-8 names.
    std::string encoding = "utf-8";
    // FTP over TLS (AUTH TLS) with this certificate and key; with tlsRequired
    // the server refuses logons and transfers in the clear.
    std::string tlsCert;
    std::string tlsKey;
    bool tlsRequired = false;
};

// A real pyftpdlib server on a free loopback port (127.0.0.1), for tests that
// need a whole FTP server. Passive and active mode both work. The constructor
// returns once the server accepts connections and throws std::runtime_error
// (with the server's log) when it cannot start. The destructor stops it by its
// PID; a test program that dies without that still takes the server with it.
class PyFtpdServer
{
public:
    explicit PyFtpdServer(PyFtpdOptions options = {});
    ~PyFtpdServer();
    PyFtpdServer(const PyFtpdServer&) = delete;
    PyFtpdServer& operator=(const PyFtpdServer&) = delete;

    unsigned short Port() const { return m_port; }
    const std::string& Root() const { return m_options.root; }
    const std::string& User() const { return m_options.user; }
    const std::string& Password() const { return m_options.password; }
    pid_t Pid() const { return m_pid; }
    // What the server logged so far (one line per command and reply); print it
    // when a test fails.
    std::string Log() const;

private:
    void Stop() noexcept;

    PyFtpdOptions m_options;
    std::string m_workFolder; // holds the log and, unless chosen, the root
    pid_t m_pid = -1;
    unsigned short m_port = 0;
};

} // namespace testing_support
