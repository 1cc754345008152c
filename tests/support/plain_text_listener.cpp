#include "support/plain_text_listener.h"

#include <sys/socket.h>

namespace tallyhawk::test
{

PlainTextListener::PlainTextListener()
    : server_([](LoopbackPeer& peer) {
        peer.Read(4096, std::chrono::milliseconds(100));
        peer.Write("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
        // Closed only after the client, so the answer is not lost to a reset.
        ::shutdown(peer.fd(), SHUT_WR);
        peer.Read(4096, std::chrono::seconds(2));
    })
{ }

std::string PlainTextListener::Url(std::string_view scheme) const
{
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(server_.port()) + "/page";
}

} // namespace tallyhawk::test
