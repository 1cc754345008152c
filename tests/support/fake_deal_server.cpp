#include "support/fake_deal_server.h"

#include <algorithm>

namespace tallyhawk::test
{
namespace
{

// Requests are small; a larger announced length is read only this far.
constexpr std::uint32_t kMaxRequestRead = 1 << 20;

} // namespace

FakeDealServer::Script& FakeDealServer::Script::Send(std::string bytes)
{
    steps_.push_back({Step::Kind::Write, std::move(bytes), {}});
    return *this;
}

FakeDealServer::Script& FakeDealServer::Script::Reply(std::string_view payload)
{
    return Send(Frame(payload));
}

FakeDealServer::Script&
FakeDealServer::Script::Trickle(std::string bytes, std::size_t pieceSize, std::chrono::milliseconds pause)
{
    for (std::size_t at = 0; at < bytes.size(); at += pieceSize) {
        if (at > 0) {
            Pause(pause);
        }
        Send(bytes.substr(at, pieceSize));
    }
    return *this;
}

FakeDealServer::Script& FakeDealServer::Script::Pause(std::chrono::milliseconds duration)
{
    steps_.push_back({Step::Kind::Pause, {}, duration});
    return *this;
}

FakeDealServer::Script& FakeDealServer::Script::Close()
{
    steps_.push_back({Step::Kind::Close, {}, {}});
    return *this;
}

FakeDealServer::Script& FakeDealServer::Script::Hang()
{
    steps_.push_back({Step::Kind::Hang, {}, {}});
    return *this;
}

FakeDealServer::Script& FakeDealServer::Script::WithoutRequest()
{
    readRequest_ = false;
    return *this;
}

FakeDealServer::FakeDealServer()
    : server_([this](LoopbackPeer& peer) { Serve(peer); })
{ }

FakeDealServer::~FakeDealServer()
{
    server_.Stop();
}

void FakeDealServer::Push(Script script)
{
    std::lock_guard lock(mutex_);
    scripts_.push_back(std::move(script));
}

void FakeDealServer::PushReply(std::string_view payload)
{
    Push(Script().Reply(payload));
}

std::vector<std::string> FakeDealServer::Requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

void FakeDealServer::SetRequestWait(std::chrono::milliseconds wait)
{
    std::lock_guard lock(mutex_);
    requestWait_ = wait;
}

std::string FakeDealServer::ReadRequest(LoopbackPeer& peer)
{
    std::chrono::milliseconds wait;
    {
        std::lock_guard lock(mutex_);
        wait = requestWait_;
    }
    std::string request = peer.Read(7, wait);
    if (request.size() == 7 && request.compare(0, 3, "<!>") == 0) {
        std::uint32_t length = 0;
        for (int i = 3; i < 7; ++i) {
            length = (length << 8) | static_cast<unsigned char>(request[static_cast<std::size_t>(i)]);
        }
        request += peer.Read(std::min(length, kMaxRequestRead), wait);
    }
    return request;
}

void FakeDealServer::Serve(LoopbackPeer& peer)
{
    Script script;
    bool scripted = false;
    const std::size_t slot = static_cast<std::size_t>(peer.sequence());
    {
        std::unique_lock lock(mutex_);
        turn_.wait(lock, [&] { return nextTurn_ == peer.sequence(); });
        if (!scripts_.empty()) {
            script = std::move(scripts_.front());
            scripts_.pop_front();
            scripted = true;
        }
        if (requests_.size() <= slot) {
            requests_.resize(slot + 1);
        }
        ++nextTurn_;
    }
    turn_.notify_all();
    if (!scripted || script.readRequest_) {
        std::string request = ReadRequest(peer);
        std::lock_guard lock(mutex_);
        requests_[slot] = std::move(request);
    }
    for (const Script::Step& step : script.steps_) {
        switch (step.kind) {
        case Script::Step::Kind::Write:
            if (!peer.Write(step.bytes)) {
                return;
            }
            break;
        case Script::Step::Kind::Pause:
            if (!peer.Pause(step.pause)) {
                return;
            }
            break;
        case Script::Step::Kind::Close:
            return;
        case Script::Step::Kind::Hang:
            peer.WaitUntilStopped();
            return;
        }
    }
}

std::string FakeDealServer::Header(std::string_view marker, std::uint32_t length)
{
    std::string header(marker);
    header.push_back(static_cast<char>(length >> 24));
    header.push_back(static_cast<char>(length >> 16));
    header.push_back(static_cast<char>(length >> 8));
    header.push_back(static_cast<char>(length));
    return header;
}

std::string FakeDealServer::Frame(std::string_view payload)
{
    return Header("<!>", static_cast<std::uint32_t>(payload.size())) + std::string(payload);
}

std::string FakeDealServer::Payload(std::int32_t code, const std::vector<std::string>& fields)
{
    std::string payload = std::to_string(code);
    for (const std::string& field : fields) {
        payload += field;
        payload += "<~>";
    }
    return payload;
}

std::string FakeDealServer::ItemReply(std::int32_t requestCode,
                                      const std::vector<FakeItem>& items,
                                      std::optional<std::int32_t> announced)
{
    std::vector<std::string> fields{
        std::to_string(requestCode),
        std::to_string(announced.value_or(static_cast<std::int32_t>(items.size())))};
    for (const FakeItem& item : items) {
        for (std::int32_t number : {item.id, item.kind, item.storeId, item.categoryId, item.date, item.hot}) {
            fields.push_back(std::to_string(number));
        }
        for (const std::string* text :
             {&item.title, &item.description, &item.extra, &item.storeName, &item.categoryName}) {
            fields.push_back(*text);
        }
    }
    return Payload(9001, fields);
}

} // namespace tallyhawk::test
