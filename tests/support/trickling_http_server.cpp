#include "support/trickling_http_server.h"

namespace tallyhawk::test
{
namespace
{

HttpResponse Trickled(HttpResponse response, std::chrono::milliseconds interval)
{
    response.chunkBytes = 1;
    response.chunkDelay = interval;
    return response;
}

} // namespace

TricklingHttpServer::TricklingHttpServer(std::chrono::milliseconds interval, std::size_t bodyBytes)
    : interval_(interval)
{
    HttpResponse page = HttpResponse::Make(200, std::string(bodyBytes, 't'));
    pageBytes_ = page.bytes.size();
    server_.Respond("/page", Trickled(std::move(page), interval));
    server_.Respond("/moved", Trickled(HttpResponse::Redirect(302, "/page"), interval));
}

std::chrono::milliseconds TricklingHttpServer::FullPageTime() const
{
    return interval_ * static_cast<long long>(pageBytes_);
}

} // namespace tallyhawk::test
