#pragma once

// A small HTTP server on 127.0.0.1 for the update tests: it serves fixed
// replies by path, can leave out Content-Length or hold a reply back, and
// records every request it saw. It listens from construction until it goes.

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quarn::test {

struct HttpReply {
    int status = 200;
    std::string body;
    bool contentLength = true;              // without it the body ends when the connection closes
    std::chrono::milliseconds holdBack{0};  // before anything is sent
    // The body in pieces of this many bytes, each after a pause (0: at once).
    std::size_t pieceSize = 0;
    std::chrono::milliseconds piecePause{0};
};

class LoopbackHttpServer {
  public:
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    // Paths not given a reply get 404.
    void Serve(const std::string& path, HttpReply reply);
    std::wstring Url(const std::string& path) const;
    std::uint16_t Port() const;
    // The request lines ("GET /path HTTP/1.1") in the order they came.
    std::vector<std::string> Requests() const;

    // A port on 127.0.0.1 that nothing listens on.
    static std::uint16_t DeadPort();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace quarn::test
