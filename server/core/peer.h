#pragma once

#include <string>

#include "net/packet.h"

namespace qira::server {

// One user's link to the server: a TCP connection or a computer player in
// the same process. Both receive exactly the same messages.
class Peer {
public:
    virtual ~Peer() = default;
    // Hands one whole message to the user's client.
    virtual void Deliver(const net::Bytes& message) = 0;
    // Ends the link from the server's side. The link reports its end back
    // later, never from inside this call.
    virtual void Disconnect() = 0;
    // Where the link comes from, for the log.
    virtual std::string Describe() const = 0;
};

}  // namespace qira::server
