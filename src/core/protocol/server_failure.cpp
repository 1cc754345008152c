#include "core/protocol/server_failure.h"

namespace tallyhawk
{

std::string ServerFailureText(ServerFailure failure)
{
    switch (failure) {
    case ServerFailure::None:
        return "no failure";
    case ServerFailure::NotConfigured:
        return "no usable server address is set; set the server's host and a port from 1 to 65535";
    case ServerFailure::NoSocket:
        return "the system gave no network socket; close some programs and try again";
    case ServerFailure::NameNotResolved:
        return "the server's name was not found; check the host name and the network connection";
    case ServerFailure::ConnectionRefused:
        return "the connection was refused; check the port and that the server is running";
    case ServerFailure::ConnectTimedOut:
        return "no connection could be made in time; check the host, the network and any firewall";
    case ServerFailure::Unreachable:
        return "the server could not be reached; check the network connection and the host";
    case ServerFailure::SendFailed:
        return "the request could not be sent; try again later";
    case ServerFailure::NoReply:
        return "the server did not answer in time; try again later";
    case ServerFailure::ClosedWithoutReply:
        return "the server closed the connection without a reply; check that the port is the deal server's";
    case ServerFailure::ReplyCutShort:
        return "the reply stopped half-way; try again later";
    case ServerFailure::ReplyTooLarge:
        return "the reply is over 16 MiB and was refused; check that the host and port are the deal server's";
    case ServerFailure::NotDealServer:
        return "the reply is not one of a deal server; check the host and port";
    case ServerFailure::TimeLimit:
        return "the reply took longer than the request's time limit as a whole; try again later";
    case ServerFailure::Stopped:
        return "the request was cancelled";
    case ServerFailure::ErrorReply:
        return "the server answered with an error; try again later";
    case ServerFailure::OtherReply:
        return "the server's reply did not answer the request; try again later";
    }
    return "unknown failure";
}

} // namespace tallyhawk
