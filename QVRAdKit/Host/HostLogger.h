#pragma once
// The host's logging calls. Each carries the calling unit's file text (QVR_FILE_TEXT: its path cut
// to "QVRAdKit/..." without extension), the operation's documented name and the line.
// Example: QVLog(LogFlag::warning, "ADs would be paused", QVR_FILE_TEXT, "shouldShowAd(for:)",
// __LINE__);

#include <string_view>

#include "QVRAdKit/Host/LogFlag.h"
#include "QVRAdKit/Platform/ModuleFileText.h"

namespace QVRAdKit {

using Platform::moduleFileText;

// Sends a message to the logger of the current environment (stderr when there is no logger or no
// environment).
void QVLog(LogFlag flag, std::string_view message, std::string_view file, std::string_view function,
           int line);
// Records an unexpected state and returns; the caller goes on.
void QVLogAssertionFailure(std::string_view message, std::string_view file,
                           std::string_view function, int line);

}  // namespace QVRAdKit
