#include "support/trickling_deal_server.h"

#include "support/fake_deal_server.h"

namespace tallyhawk::test
{
namespace
{

constexpr std::chrono::milliseconds kRequestWait{2000};

} // namespace

TricklingDealServer::TricklingDealServer(std::string_view payload, std::chrono::milliseconds interval)
    : frame_(FakeDealServer::Frame(payload))
    , interval_(interval)
    , server_([this](LoopbackPeer& peer) { Serve(peer); })
{ }

std::chrono::milliseconds TricklingDealServer::FullReplyTime() const
{
    return interval_ * static_cast<long long>(frame_.size());
}

void TricklingDealServer::Serve(LoopbackPeer& peer)
{
    std::string header = peer.Read(7, kRequestWait);
    if (header.size() == 7) {
        std::uint32_t length = 0;
        for (std::size_t i = 3; i < 7; ++i) {
            length = (length << 8) | static_cast<unsigned char>(header[i]);
        }
        peer.Read(length, kRequestWait);
    }
    for (char byte : frame_) {
        if (!peer.Pause(interval_) || !peer.Write(std::string_view(&byte, 1))) {
            return;
        }
    }
    peer.WaitUntilStopped();
}

} // namespace tallyhawk::test
