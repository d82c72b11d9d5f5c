#include "tests/support/LoopbackServer.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>

namespace testsupport {

namespace {

struct WinsockInit {
    WinsockInit() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
};

void EnsureWinsock() { static WinsockInit init; }

bool SendAll(SOCKET socket, const char* data, size_t size) {
    while (size > 0) {
        const int chunk = static_cast<int>(std::min<size_t>(size, 64 * 1024));
        const int sent = send(socket, data, chunk, 0);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text) {
    size_t start = text.find_first_not_of(" \t");
    size_t end = text.find_last_not_of(" \t\r\n");
    return start == std::string::npos ? "" : text.substr(start, end - start + 1);
}

const char* Reason(int status) {
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

}  // namespace

std::string LoopbackServer::Request::Header(const std::string& name) const {
    const std::string wanted = Lower(name);
    for (const auto& header : headers) {
        if (Lower(header.first) == wanted) return header.second;
    }
    return "";
}

LoopbackServer::LoopbackServer() {
    EnsureWinsock();
    default_response_.status = 404;
    default_response_.body = "not found";
    default_response_.content_type = "text/plain";

    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET) return;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener_, SOMAXCONN) != 0) {
        closesocket(listener_);
        listener_ = INVALID_SOCKET;
        return;
    }
    int length = sizeof(address);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
    stopping_ = true;
    if (listener_ != INVALID_SOCKET) {
        closesocket(listener_);
        listener_ = INVALID_SOCKET;
    }
    if (acceptor_.joinable()) acceptor_.join();
    std::vector<std::thread> connections;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        connections.swap(connections_);
    }
    for (std::thread& connection : connections) {
        if (connection.joinable()) connection.join();
    }
}

std::string LoopbackServer::host() const { return "127.0.0.1:" + std::to_string(port_); }

std::string LoopbackServer::Url(const std::string& path_and_query) const {
    return "http://" + host() + path_and_query;
}

void LoopbackServer::Serve(const std::string& path, Response response) {
    std::lock_guard<std::mutex> lock(mutex_);
    responses_[path] = std::move(response);
}

void LoopbackServer::Serve(const std::string& path, const std::string& body, int status) {
    Response response;
    response.status = status;
    response.body = body;
    Serve(path, std::move(response));
}

void LoopbackServer::SetDefault(Response response) {
    std::lock_guard<std::mutex> lock(mutex_);
    default_response_ = std::move(response);
}

std::vector<LoopbackServer::Request> LoopbackServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<LoopbackServer::Request> LoopbackServer::RequestsFor(const std::string& path) const {
    std::vector<Request> result;
    for (const Request& request : Requests()) {
        if (request.path == path) result.push_back(request);
    }
    return result;
}

size_t LoopbackServer::RequestCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.size();
}

bool LoopbackServer::WaitForRequests(size_t count, DWORD timeout_ms) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return state_changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                     [&] { return requests_.size() >= count; });
}

void LoopbackServer::ClearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

unsigned short LoopbackServer::UnusedPort() {
    EnsureWinsock();
    // Bind to an ephemeral port and close it again: nothing listens there afterwards.
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    int length = sizeof(address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    closesocket(probe);
    return ntohs(address.sin_port);
}

void LoopbackServer::AcceptLoop() {
    while (!stopping_) {
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) {
            if (stopping_) break;
            continue;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        ++open_connections_;
        connections_.emplace_back([this, client] {
            HandleConnection(client);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                --open_connections_;
            }
            state_changed_.notify_all();
        });
    }
}

LoopbackServer::Wait LoopbackServer::WaitWatching(SOCKET client, DWORD ms) const {
    const DWORD start = GetTickCount();
    for (;;) {
        if (stopping_) return Wait::kStopping;
        const DWORD waited = GetTickCount() - start;
        if (waited >= ms) return Wait::kElapsed;
        // The client sends nothing after its request: the socket turns readable only when the
        // client closes (or resets) the connection.
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(client, &readable);
        const DWORD slice = std::min<DWORD>(ms - waited, 10);
        timeval timeout = {0, static_cast<long>(slice * 1000)};
        const int ready = select(0, &readable, nullptr, nullptr, &timeout);
        if (ready == SOCKET_ERROR) return Wait::kClientClosed;
        if (ready > 0) {
            char scratch[512];
            const int got = recv(client, scratch, sizeof(scratch), 0);
            if (got <= 0) return Wait::kClientClosed;
        }
    }
}

void LoopbackServer::Record(Outcome outcome) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        outcomes_.push_back(std::move(outcome));
    }
    state_changed_.notify_all();
}

bool LoopbackServer::WaitConnectionsClosed(DWORD timeout_ms) {
    std::vector<std::thread> finished;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!state_changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                       [&] { return open_connections_ == 0; }))
            return false;
        finished.swap(connections_);
    }
    for (std::thread& connection : finished) connection.join();
    return true;
}

std::vector<LoopbackServer::Outcome> LoopbackServer::Outcomes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return outcomes_;
}

bool LoopbackServer::WaitForOutcomes(size_t count, DWORD timeout_ms) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return state_changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                     [&] { return outcomes_.size() >= count; });
}

void LoopbackServer::HandleConnection(SOCKET client) {
    DWORD timeout = 10000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));

    std::string data;
    char buffer[8192];
    size_t header_end = std::string::npos;
    while ((header_end = data.find("\r\n\r\n")) == std::string::npos) {
        const int got = recv(client, buffer, sizeof(buffer), 0);
        if (got <= 0) {
            closesocket(client);
            return;
        }
        data.append(buffer, got);
    }

    Request request;
    const std::string head = data.substr(0, header_end);
    size_t line_end = head.find("\r\n");
    const std::string request_line = head.substr(0, line_end);
    const size_t first_space = request_line.find(' ');
    const size_t second_space = request_line.find(' ', first_space + 1);
    request.method = request_line.substr(0, first_space);
    request.target = request_line.substr(first_space + 1, second_space - first_space - 1);
    const size_t question = request.target.find('?');
    request.path = request.target.substr(0, question);
    if (question != std::string::npos) request.query = request.target.substr(question + 1);
    size_t content_length = 0;
    size_t position = line_end == std::string::npos ? head.size() : line_end + 2;
    while (position < head.size()) {
        size_t next = head.find("\r\n", position);
        if (next == std::string::npos) next = head.size();
        const std::string line = head.substr(position, next - position);
        const size_t colon = line.find(':');
        if (colon != std::string::npos) {
            request.headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
            if (Lower(Trim(line.substr(0, colon))) == "content-length") {
                content_length = static_cast<size_t>(strtoull(line.c_str() + colon + 1, nullptr, 10));
            }
        }
        position = next + 2;
    }
    request.body = data.substr(header_end + 4);
    while (request.body.size() < content_length) {
        const int got = recv(client, buffer, sizeof(buffer), 0);
        if (got <= 0) break;
        request.body.append(buffer, got);
    }

    Response response;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = responses_.find(request.path);
        response = found != responses_.end() ? found->second : default_response_;
        requests_.push_back(request);
    }
    state_changed_.notify_all();

    Outcome outcome;
    outcome.path = request.path;
    const auto finish = [&](Wait ended) {
        outcome.client_closed = ended == Wait::kClientClosed;
        Record(std::move(outcome));
        closesocket(client);
    };
    if (response.delay_ms) {
        const Wait waited = WaitWatching(client, response.delay_ms);
        if (waited != Wait::kElapsed) return finish(waited);
    }
    if (response.drop) {
        outcome.complete = true;
        return finish(Wait::kElapsed);
    }
    std::string header = "HTTP/1.1 " + std::to_string(response.status) + " " + Reason(response.status) +
                         "\r\nContent-Type: " + response.content_type +
                         "\r\nContent-Length: " + std::to_string(response.body.size()) +
                         "\r\nCache-Control: no-cache\r\nConnection: close\r\n";
    for (const auto& extra : response.headers) header += extra.first + ": " + extra.second + "\r\n";
    header += "\r\n";
    if (!SendAll(client, header.data(), header.size())) return finish(Wait::kClientClosed);
    const size_t body_size =
        request.method == "HEAD" ? 0 : std::min(response.body.size(), response.truncate_after);
    const size_t piece =
        response.slow_piece && response.slow_interval_ms ? response.slow_piece : body_size;
    while (outcome.body_sent < body_size) {
        if (piece < body_size) {
            const Wait waited = WaitWatching(client, response.slow_interval_ms);
            if (waited != Wait::kElapsed) return finish(waited);
        }
        const size_t size = std::min(piece, body_size - outcome.body_sent);
        if (!SendAll(client, response.body.data() + outcome.body_sent, size)) {
            return finish(Wait::kClientClosed);
        }
        outcome.body_sent += size;
    }
    outcome.complete = true;
    shutdown(client, SD_SEND);
    // Let the client read everything before the socket goes away.
    while (recv(client, buffer, sizeof(buffer), 0) > 0) {
    }
    finish(Wait::kElapsed);
}

}  // namespace testsupport
