#pragma once
// Interruption turns the first SIGINT, SIGTERM or SIGHUP into a request to stop, which the sandbox
// checks between steps of its clock and between Monte Carlo sessions: a run stopped by a person (or
// by a closed terminal) still writes the events it tracked, prints what it played and removes its
// temporary storage. Interrupted system calls are restarted (SA_RESTART; the writers also resume
// writes a signal cut short), so a run blocked on a full pipe goes on once the reader drains it
// and then stops. A second terminating signal, of any of the three kinds, ends the process at
// once: the handler removes the files listed in TemporaryFiles, says so on stderr and lets that
// signal end the process (exit status 128 + the signal). Before a run begins, while the program
// still reads its inputs and opens its outputs (a FIFO without a writer or reader blocks its
// open), there is nothing to stop at a next step: there, the first signal ends the process at once.
// Example:
//   Interruption::install();
//   host.stopRequested = [] { return Interruption::requested(); };
// Threading: requested() and signal() from any thread; the handler only touches lock-free
// atomics and async-signal-safe calls.

namespace QVRAdKit::Sandbox {

class Interruption {
 public:
  // Handles SIGINT, SIGTERM and SIGHUP for this process.
  static void install();
  [[nodiscard]] static bool requested() { return signal() != 0; }
  // The signal that asked to stop; 0 when none did.
  [[nodiscard]] static int signal();
  // As if that signal had arrived first (what the handler does); 0 forgets the request.
  static void request(int signal);
  // Whether the first signal ends the process at once (before a run begins) rather than asking
  // the run to stop; off until set.
  static void setStopsAtOnce(bool atOnce);
};

}  // namespace QVRAdKit::Sandbox
