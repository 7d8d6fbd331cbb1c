#pragma once
// Interruption turns the first SIGINT or SIGTERM into a request to stop, which the sandbox checks
// between steps of its clock and between Monte Carlo sessions: a run stopped by a person still
// writes the events it tracked, prints what it played and removes its temporary storage. The
// handler then gives the signal back its default action, so a second one ends the process at once.
// Example:
//   Interruption::install();
//   host.stopRequested = [] { return Interruption::requested(); };
// Threading: requested() and signal() from any thread; the handler only stores a lock-free atomic.

namespace QVRAdKit::Sandbox {

class Interruption {
 public:
  // Handles SIGINT and SIGTERM for this process.
  static void install();
  [[nodiscard]] static bool requested() { return signal() != 0; }
  // The signal that asked to stop; 0 when none did.
  [[nodiscard]] static int signal();
  // As if that signal had arrived (what the handler does); 0 forgets the request.
  static void request(int signal);
};

}  // namespace QVRAdKit::Sandbox
