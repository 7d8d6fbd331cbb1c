#pragma once
// The row codec shared by the key-value store and its opener: a StorableValue is kept as a type
// tag (parameter or column 2, counted from 0 in results) beside the value itself (column 3), so
// that a date reads back as a date and a boolean as a boolean. Also the small text helpers of
// both. Threading: pure functions over the statement they are given.

#include <optional>
#include <string>
#include <string_view>

#include "QVRAdKit/Host/Storage.h"

struct sqlite3_stmt;

namespace QVRAdKit::Sandbox::SQLiteValueCodec {

// text in double quotes, for error messages.
[[nodiscard]] std::string inQuotes(std::string_view text);

// Binds text to parameter index without copying it; the text must outlive the step.
int bindText(sqlite3_stmt* statement, int index, std::string_view text);

// The text of a result column (empty for NULL), valid until the next step.
[[nodiscard]] std::string_view columnText(sqlite3_stmt* statement, int column);

// Binds the type tag (parameter 3) and the value (parameter 4) of an upsert.
int bindValue(sqlite3_stmt* statement, const StorableValue& value);

// The value of a loaded row (type tag in column 2, value in column 3), or none when its storage
// class does not fit its type tag.
[[nodiscard]] std::optional<StorableValue> decodeValue(sqlite3_stmt* statement);

}  // namespace QVRAdKit::Sandbox::SQLiteValueCodec
