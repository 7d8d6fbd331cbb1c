#pragma once
// ConnectionSockets ends the connections a server of this process accepted on a port, so that
// the server's stop does not wait for clients still sending: the HTTP library reads a request
// until its client stops sending (each read waits up to a timeout, the whole request has no
// bound) and joins its threads only once every connection is done. A socket shut down (not
// closed: the library still owns and closes it) wakes its reader with an end of input.
// Example: server.stop(); ConnectionSockets::shutDown(port); thread.join();
// Threading: any thread; Linux only (it lists /proc/self/fd), does nothing elsewhere.

namespace QVRAdKit::Workbench::ConnectionSockets {

// Shuts down, both ways, every connected TCP socket of this process whose own port is
// localPort: the server's side of its connections (clients of the same process have ports of
// their own). Answers how many.
int shutDown(int localPort);

}  // namespace QVRAdKit::Workbench::ConnectionSockets
