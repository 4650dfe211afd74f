#pragma once

// TCP keepalive for a connected socket: after 60 s without traffic the kernel
// sends a probe every 10 s, and after 6 unanswered probes the connection
// fails (ETIMEDOUT), so that a peer whose machine vanished is noticed like
// any other drop instead of holding its connection for ever.
namespace KeepAlive {

constexpr int IdleSeconds = 60;
constexpr int IntervalSeconds = 10;
constexpr int Probes = 6;

// Switches keepalive on for handle with the times above; false when the
// system refused one of the settings.
bool Enable(int handle);

}  // namespace KeepAlive
