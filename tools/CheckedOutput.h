#pragma once
// CheckedOutput writes to a stream the program does not own (standard output) and keeps the
// first failure with the reason of the call that failed, "cannot write the summary to standard
// output: Broken pipe", so that a run whose output was lost says why and never exits 0. What is
// written after a failure is dropped.
// Example:
//   CheckedOutput out(std::cout);
//   out.put("the summary", text);
//   out.flush("the summary");
//   if (out.failure()) report(*out.failure());
// Threading: one thread at a time.

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace QVRAdKit::Sandbox {

class CheckedOutput {
 public:
  explicit CheckedOutput(std::ostream& out) : out_(out) {}

  // what names the text in the message ("the narration").
  void put(std::string_view what, std::string_view text);
  void flush(std::string_view what);
  [[nodiscard]] const std::optional<std::string>& failure() const { return failure_; }

 private:
  void check(std::string_view what);

  std::ostream& out_;
  std::optional<std::string> failure_;
};

}  // namespace QVRAdKit::Sandbox
