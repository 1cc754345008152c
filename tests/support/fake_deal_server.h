#pragma once

#include "support/loopback_server.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk::test
{

// One item of an item reply, as the server sends it.
struct FakeItem
{
    std::int32_t id = 1;
    std::int32_t kind = 1;
    std::int32_t storeId = 0;
    std::int32_t categoryId = 0;
    std::int32_t date = 0;
    std::int32_t hot = 0;
    std::string title;
    std::string description;
    std::string extra;
    std::string storeName;
    std::string categoryName;
};

// A deal server on 127.0.0.1 and a free port. Each accepted connection takes the next script from
// a queue, in the order of acceptance: by default it first reads the client's request frame
// (recorded), then runs the script's steps; without a script it closes after the request.
// Connections are served side by side; the server stops quickly in its destructor.
class FakeDealServer
{
public:
    class Script
    {
    public:
        // Writes the bytes as they are (a whole frame, a piece of one, a bad header...).
        Script& Send(std::string bytes);
        // Writes the frame of one payload.
        Script& Reply(std::string_view payload);
        // Writes the bytes in pieces of `pieceSize` with a pause before each piece after the first.
        Script& Trickle(std::string bytes, std::size_t pieceSize, std::chrono::milliseconds pause);
        Script& Pause(std::chrono::milliseconds duration);
        // Closes the connection; later steps are not run.
        Script& Close();
        // Keeps the connection open and says nothing until the server stops.
        Script& Hang();
        // Runs the steps at once instead of reading a request first.
        Script& WithoutRequest();

    private:
        friend class FakeDealServer;
        struct Step
        {
            enum class Kind
            {
                Write,
                Pause,
                Close,
                Hang,
            } kind;
            std::string bytes;
            std::chrono::milliseconds pause{0};
        };
        std::vector<Step> steps_;
        bool readRequest_ = true;
    };

    FakeDealServer();
    ~FakeDealServer();

    std::uint16_t port() const { return server_.port(); }
    int connectionsAccepted() const { return server_.connectionsAccepted(); }

    // The script of the next connection not yet served.
    void Push(Script script);
    // Shorthand for a script that answers with one frame.
    void PushReply(std::string_view payload);

    // The bytes each connection's request carried, in the order of acceptance (empty for one
    // still being read or served without reading a request).
    std::vector<std::string> Requests() const;
    // How long the server waits for each piece of a request (default 2 s).
    void SetRequestWait(std::chrono::milliseconds wait);

    // A frame: "<!>", the big-endian length, the payload.
    static std::string Frame(std::string_view payload);
    // A frame header with any marker and length.
    static std::string Header(std::string_view marker, std::uint32_t length);
    // A payload: the code's four digits, then each field and "<~>".
    static std::string Payload(std::int32_t code, const std::vector<std::string>& fields);
    // A 9001 item reply payload to `requestCode`; `announced` replaces the item count of field 2.
    static std::string ItemReply(std::int32_t requestCode,
                                 const std::vector<FakeItem>& items,
                                 std::optional<std::int32_t> announced = std::nullopt);

private:
    void Serve(LoopbackPeer& peer);
    std::string ReadRequest(LoopbackPeer& peer);

    mutable std::mutex mutex_;
    // Connections take their scripts strictly in the order they were accepted.
    std::condition_variable turn_;
    int nextTurn_ = 0;
    std::deque<Script> scripts_;
    std::vector<std::string> requests_;
    std::chrono::milliseconds requestWait_{2000};
    // Last member: its thread starts serving once everything above exists.
    LoopbackServer server_;
};

} // namespace tallyhawk::test
