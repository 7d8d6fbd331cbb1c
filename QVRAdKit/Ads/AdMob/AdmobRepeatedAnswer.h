#pragma once
// The Google Mobile Ads loader answers each load once. An answer after the first (a bridge that
// calls its completion twice, or late for a load that already ended) is ignored by the adapters;
// this names it in the log, so a faulty bridge is not silent.

#include <string>
#include <string_view>

#include "QVRAdKit/Host/HostLogger.h"

namespace QVRAdKit {

inline void reportRepeatedLoadAnswer(std::string_view completion, const std::string& adUnitID,
                                     std::string_view file, int line) {
  QVLogAssertionFailure(std::string(completion) + " answered a load of \"" + adUnitID +
                            "\" that had already ended; the answer is ignored",
                        file, completion, line);
}

}  // namespace QVRAdKit
