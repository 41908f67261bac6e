#pragma once

// A small HTTP server on 127.0.0.1 for the update tests: it serves fixed
// replies by path, can leave out Content-Length, hold a reply back, cut it
// short, stall or trickle, and records every request it saw. It listens from
// construction until it goes.

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quarn::test {

// How a reply ends.
enum class ReplyEnding {
    kComplete,  // the whole body, then the connection closes
    kCut,       // the first sendOnly bytes of the body, then the connection closes
    kStall,     // the first sendOnly bytes, then silence on an open connection until Release()
    // The body, then one blank every piecePause without end, until Release();
    // its Content-Length (if any) is one the trickle never reaches.
    kTrickle,
    kNoReply,  // no head at all: the request is read and the connection closed
    kSilent,   // no head either, but the connection stays open until Release()
};

struct HttpReply {
    int status = 200;
    std::string body;
    bool contentLength = true;              // without it the body ends when the connection closes
    std::chrono::milliseconds holdBack{0};  // before anything is sent
    // The body in pieces of this many bytes, each after a pause (0: at once).
    std::size_t pieceSize = 0;
    std::chrono::milliseconds piecePause{0};
    ReplyEnding ending = ReplyEnding::kComplete;
    std::size_t sendOnly = 0;  // for kCut and kStall
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

    // Replies that stall, trickle or stay silent and have not been released:
    // each counts from the moment it has sent what it sends before it holds
    // (nothing, its head and part of the body, or the body before the
    // trickle), until Release() or the server's end, whatever the client
    // does meanwhile.
    std::size_t Holding() const;
    // Lets every reply to a request that has come so far end and close its
    // connection, also one that has not yet reached its hold.
    void Release();

    // A port on 127.0.0.1 that nothing listens on.
    static std::uint16_t DeadPort();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace quarn::test
