#pragma once
// TrialShard is the part of a Monte Carlo run that one process played over a range of seeds,
// kept in a file so that shards played on many machines merge into the report of one run over
// all their seeds (ShardMerge). The file is one JSON object that says what it is:
//   {"format":"qvr-sandbox-shard","formatVersion":2,"toolVersion":"1.0.0",
//    "configuration":"<fingerprint>","candidate":"<fingerprint>"|null,"premium":false,
//    "sessionSeconds":7200,"minutes":120,"seeds":{"first":F,"last":L},
//    "requested":{"first":F,"last":L2},"sessions":N,"stopped":false,"state":{...},
//    "digest":"<fingerprint of the text before ,"digest">"}
// seeds are those played (none when no session ended: first and last null), requested those asked
// for; they differ when a stop ended the shard early. The state holds the report's whole-number
// sums: totals per row (counts and latency bucket counts), per-session sums, and with a candidate
// configuration the paired comparison. Reading a shard back gives the report it was written from,
// exactly (doubles are written with enough digits to read back the same). A file is read exactly
// or refused: a field named twice, a field no writer gives, a missing one or a NUL byte in the
// text is named with its place. The digest finds a changed byte that every sum still allows; a
// shard is read as written, so a file laid out anew is refused too.
// A fingerprint names a configuration, or the text a digest covers: FNV-1a (64 bits, hex), a check
// against mixing shards by mistake or reading a damaged one, not a guard against forgery.
// Example:
//   TrialShard shard{...};
//   write(TrialShard::json(shard));
//   auto back = TrialShard::parse(text, "part-3.json");
// Threading: pure functions.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "QVRAdKit/Platform/Expected.h"
#include "Sandbox/MonteCarlo/MonteCarloReport.h"

namespace QVRAdKit::Sandbox {

struct TrialShard {
  static constexpr const char* kFormat = "qvr-sandbox-shard";
  static constexpr int kFormatVersion = 2;

  std::string toolVersion;
  std::string configuration;
  std::optional<std::string> candidate;
  bool premium = false;
  std::uint64_t requestedFirst = 0;
  std::uint64_t requestedLast = 0;
  // Seeds played: report.firstSeed .. report.firstSeed + report.sessions - 1.
  MonteCarloReport report;

  // One line, without a trailing newline.
  [[nodiscard]] static std::string json(const TrialShard& shard);
  // The shard a file's text holds; an error naming origin and what is wrong otherwise.
  [[nodiscard]] static Platform::Expected<TrialShard> parse(std::string_view text,
                                                            const std::string& origin);
  [[nodiscard]] static std::string fingerprint(std::string_view canonicalText);
  // The fingerprint of a configuration's JSON text played under a consent region and answer: of
  // its content, not its layout (the text as the JSON reader writes it back; a text it refuses
  // counts as it is), so the same configuration gives the same fingerprint on every machine.
  [[nodiscard]] static std::string configurationFingerprint(std::string_view configurationText,
                                                            std::string_view region,
                                                            std::string_view answer);

  bool operator==(const TrialShard&) const = default;
};

}  // namespace QVRAdKit::Sandbox
