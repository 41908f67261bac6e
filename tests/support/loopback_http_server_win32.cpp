#include "support/loopback_http_server_win32.h"

#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h, which must come first.
#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>

namespace quarn::test {
namespace {

class WinsockStartup {
  public:
    WinsockStartup() {
        WSADATA data{};
        if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) {
            throw std::runtime_error("WSAStartup failed");
        }
    }
    ~WinsockStartup() { ::WSACleanup(); }
    WinsockStartup(const WinsockStartup&) = delete;
    WinsockStartup& operator=(const WinsockStartup&) = delete;
};

class Socket {
  public:
    explicit Socket(SOCKET socket = INVALID_SOCKET) : socket_(socket) {}
    Socket(Socket&& other) noexcept : socket_(std::exchange(other.socket_, INVALID_SOCKET)) {}
    Socket& operator=(Socket&&) = delete;
    ~Socket() {
        if (socket_ != INVALID_SOCKET) {
            ::closesocket(socket_);
        }
    }
    SOCKET get() const { return socket_; }

  private:
    SOCKET socket_;
};

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

Socket ListenOnLoopback() {
    Socket listener(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    const sockaddr_in address = Loopback(0);
    if (listener.get() == INVALID_SOCKET ||
        ::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener.get(), SOMAXCONN) != 0) {
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    return listener;
}

std::uint16_t PortOf(SOCKET socket) {
    sockaddr_in address{};
    int size = sizeof address;
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

const char* Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 404:
            return "Not Found";
        default:
            return "Status";
    }
}

void SendAll(SOCKET socket, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const int n = ::send(socket, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n <= 0) {
            return;
        }
        sent += static_cast<std::size_t>(n);
    }
}

}  // namespace

struct LoopbackHttpServer::State {
    WinsockStartup winsock;
    Socket listener = ListenOnLoopback();
    std::uint16_t port = PortOf(listener.get());

    mutable std::mutex mutex;
    std::condition_variable stopping;
    bool stop = false;
    std::map<std::string, HttpReply> replies;
    std::vector<std::string> requests;
    std::size_t holding = 0;
    std::uint64_t releases = 0;  // how many times Release() was called
    std::vector<std::thread> connections;
    std::thread acceptor;

    void Accept() {
        for (;;) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(listener.get(), &readable);
            timeval wait{0, 100 * 1000};
            const int ready = ::select(0, &readable, nullptr, nullptr, &wait);
            {
                const std::lock_guard lock(mutex);
                if (stop) {
                    return;
                }
            }
            if (ready == 1) {
                Socket client(::accept(listener.get(), nullptr, nullptr));
                if (client.get() != INVALID_SOCKET) {
                    const std::lock_guard lock(mutex);
                    connections.emplace_back(
                        [this, socket = std::move(client)]() mutable { Answer(socket); });
                }
            }
        }
    }

    // Waits, unless the server ends meanwhile: true when it does.
    bool Pause(std::chrono::milliseconds pause) {
        std::unique_lock lock(mutex);
        return stopping.wait_for(lock, pause, [this] { return stop; });
    }

    // Keeps the connection open, silent or sending a blank at every pause,
    // until the server ends or the test releases the replies to requests
    // that came before (generation). A client that has gone meanwhile
    // changes nothing: the reply still counts as held.
    void Hold(Socket& client, std::uint64_t generation, bool trickle,
              std::chrono::milliseconds pause) {
        std::unique_lock lock(mutex);
        ++holding;
        const auto over = [&] { return stop || releases != generation; };
        bool clientThere = true;
        while (!over()) {
            if (!trickle) {
                stopping.wait(lock, over);
                break;
            }
            if (stopping.wait_for(lock, pause, over)) {
                break;
            }
            if (clientThere) {
                lock.unlock();
                clientThere = ::send(client.get(), " ", 1, 0) == 1;
                lock.lock();
            }
        }
        --holding;
    }

    void Answer(Socket& client) {
        // A client that connects and sends nothing must not keep the server.
        const DWORD patience = 10000;
        ::setsockopt(client.get(), SOL_SOCKET, SO_RCVTIMEO,
                     reinterpret_cast<const char*>(&patience), sizeof patience);
        std::string request;
        char chunk[2048];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const int n = ::recv(client.get(), chunk, sizeof chunk, 0);
            if (n <= 0) {
                return;
            }
            request.append(chunk, static_cast<std::size_t>(n));
        }
        const std::string line = request.substr(0, request.find("\r\n"));
        const std::size_t pathStart = line.find(' ') + 1;
        const std::string path = line.substr(pathStart, line.find(' ', pathStart) - pathStart);
        HttpReply reply{404, "not here"};
        std::uint64_t generation = 0;  // a Release() from now on lets it go
        {
            std::unique_lock lock(mutex);
            requests.push_back(line);
            generation = releases;
            if (const auto found = replies.find(path); found != replies.end()) {
                reply = found->second;
            }
            if (stopping.wait_for(lock, reply.holdBack, [this] { return stop; })) {
                return;
            }
        }
        if (reply.ending == ReplyEnding::kNoReply) {
            return;
        }
        if (reply.ending == ReplyEnding::kSilent) {
            Hold(client, generation, false, {});
            return;
        }
        std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + Reason(reply.status) +
                           "\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n";
        if (reply.contentLength) {
            // A trickle announces a length it never reaches.
            const std::size_t length =
                reply.ending == ReplyEnding::kTrickle ? std::size_t{1} << 30 : reply.body.size();
            head += "Content-Length: " + std::to_string(length) + "\r\n";
        }
        const bool shortened =
            reply.ending == ReplyEnding::kCut || reply.ending == ReplyEnding::kStall;
        const std::string body =
            shortened ? reply.body.substr(0, reply.sendOnly) : std::move(reply.body);
        if (reply.pieceSize == 0) {
            SendAll(client.get(), head + "\r\n" + body);
        } else {
            SendAll(client.get(), head + "\r\n");
            for (std::size_t at = 0; at < body.size(); at += reply.pieceSize) {
                if (Pause(reply.piecePause)) {
                    return;
                }
                SendAll(client.get(), body.substr(at, reply.pieceSize));
            }
        }
        if (reply.ending == ReplyEnding::kStall || reply.ending == ReplyEnding::kTrickle) {
            Hold(client, generation, reply.ending == ReplyEnding::kTrickle, reply.piecePause);
        }
        ::shutdown(client.get(), SD_SEND);
    }
};

LoopbackHttpServer::LoopbackHttpServer() : state_(std::make_unique<State>()) {
    state_->acceptor = std::thread([state = state_.get()] { state->Accept(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    {
        const std::lock_guard lock(state_->mutex);
        state_->stop = true;
    }
    state_->stopping.notify_all();
    state_->acceptor.join();
    // No new connection comes now; the answering threads end on the stop.
    for (std::thread& connection : state_->connections) {
        connection.join();
    }
}

void LoopbackHttpServer::Serve(const std::string& path, HttpReply reply) {
    const std::lock_guard lock(state_->mutex);
    state_->replies[path] = std::move(reply);
}

std::wstring LoopbackHttpServer::Url(const std::string& path) const {
    return L"http://127.0.0.1:" + std::to_wstring(state_->port) +
           std::wstring(path.begin(), path.end());
}

std::uint16_t LoopbackHttpServer::Port() const {
    return state_->port;
}

std::size_t LoopbackHttpServer::Holding() const {
    const std::lock_guard lock(state_->mutex);
    return state_->holding;
}

void LoopbackHttpServer::Release() {
    {
        const std::lock_guard lock(state_->mutex);
        ++state_->releases;
    }
    state_->stopping.notify_all();
}

std::vector<std::string> LoopbackHttpServer::Requests() const {
    const std::lock_guard lock(state_->mutex);
    return state_->requests;
}

std::uint16_t LoopbackHttpServer::DeadPort() {
    const WinsockStartup winsock;
    // A port the system just handed out and nobody holds any more.
    const Socket probe = ListenOnLoopback();
    return PortOf(probe.get());
}

}  // namespace quarn::test
