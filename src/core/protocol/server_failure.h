#pragma once

#include <string>

namespace tallyhawk
{

// Why the last deal server request gave no result, in more detail than the transport's status: the
// status values stay those of the request's steps, this tells a person what went wrong.
enum class ServerFailure
{
    None,
    NotConfigured, // no host, or a port that cannot be one
    NoSocket, // the system gave no socket
    NameNotResolved,
    ConnectionRefused,
    ConnectTimedOut,
    Unreachable, // the network or the host could not be reached
    SendFailed,
    NoReply, // connected, but no reply began within the wait
    ClosedWithoutReply, // the server closed the connection before sending anything
    ReplyCutShort, // the reply stopped in the middle (closed, or a piece did not come in time)
    ReplyTooLarge, // a frame over TcpLink::kMaxFrameLength
    NotDealServer, // bytes that are not a frame, or a frame that is not a message
    TimeLimit, // the request as a whole ran past its limit
    Stopped, // the program asked the request to end
    ErrorReply, // the server answered with its error reply
    OtherReply, // a reply to another request, or without the wanted text
};

// What happened and what to try, for people: a lower-case clause without a final full stop, to follow
// a caller's own words ("The deal server at HOST:PORT gave no reply: ...").
std::string ServerFailureText(ServerFailure failure);

} // namespace tallyhawk
