#pragma once
// A small HTTP server on 127.0.0.1 that stands in for the vendor's servers. It answers each
// path with a chosen response (status, body, delay, a body sent slowly or cut off mid-transfer,
// or a dropped connection) and records every request, so that tests can assert both what was
// sent and that nothing was sent, and how each answer ended (sent in full, or the client closed
// the connection first).
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

class LoopbackServer {
public:
    struct Request {
        std::string method;
        std::string target;  // as sent: path and query
        std::string path;
        std::string query;   // without the "?"
        std::vector<std::pair<std::string, std::string>> headers;
        std::string body;
        // The first header of that name (case-insensitive), or "".
        std::string Header(const std::string& name) const;
    };

    struct Response {
        int status = 200;
        std::string body;
        std::string content_type = "application/octet-stream";
        std::vector<std::pair<std::string, std::string>> headers;
        DWORD delay_ms = 0;                   // wait this long before answering
        size_t truncate_after = std::string::npos;  // announce the whole body, send only this much
        bool drop = false;                    // close the connection without answering
        // Slow mode: the body goes out in pieces of this many bytes, each after a pause of
        // slow_interval_ms (0: all at once).
        size_t slow_piece = 0;
        DWORD slow_interval_ms = 0;
    };

    // How the answer to one request ended, recorded when its connection is closed.
    struct Outcome {
        std::string path;
        size_t body_sent = 0;        // body bytes handed to the connection
        bool complete = false;       // everything the response was to send went out
        bool client_closed = false;  // the client closed the connection before that
    };

    LoopbackServer();  // listens on an ephemeral port at once
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool ok() const { return listener_ != INVALID_SOCKET; }
    unsigned short port() const { return port_; }
    std::string host() const;  // "127.0.0.1:port"
    std::string Url(const std::string& path_and_query) const;

    // Answers for a path (query ignored); unknown paths get the default (404).
    void Serve(const std::string& path, Response response);
    void Serve(const std::string& path, const std::string& body, int status = 200);
    void SetDefault(Response response);

    std::vector<Request> Requests() const;
    std::vector<Request> RequestsFor(const std::string& path) const;
    size_t RequestCount() const;
    bool WaitForRequests(size_t count, DWORD timeout_ms) const;
    void ClearRequests();

    // Waits until every connection accepted so far has been closed and lets go of its thread,
    // so that the server holds no handle for it; false when the time ran out first.
    bool WaitConnectionsClosed(DWORD timeout_ms);

    std::vector<Outcome> Outcomes() const;
    // Waits until `count` answers have ended; false when the time ran out first.
    bool WaitForOutcomes(size_t count, DWORD timeout_ms) const;

    // A loopback port on which nothing listens: connections to it are refused.
    static unsigned short UnusedPort();

private:
    void AcceptLoop();
    void HandleConnection(SOCKET client);
    enum class Wait { kElapsed, kClientClosed, kStopping };
    // Waits `ms`, watching for the client closing the connection and for the server stopping.
    Wait WaitWatching(SOCKET client, DWORD ms) const;
    void Record(Outcome outcome);

    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    mutable std::mutex mutex_;
    mutable std::condition_variable state_changed_;
    std::map<std::string, Response> responses_;
    Response default_response_;
    std::vector<Request> requests_;
    std::vector<Outcome> outcomes_;
    std::vector<std::thread> connections_;
    size_t open_connections_ = 0;
};

}  // namespace testsupport
