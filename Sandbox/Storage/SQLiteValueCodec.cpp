#include "Sandbox/Storage/SQLiteValueCodec.h"

#include <sqlite3.h>

#include <cstdint>
#include <limits>
#include <type_traits>
#include <utility>
#include <variant>

namespace QVRAdKit::Sandbox::SQLiteValueCodec {

namespace {

// The type tag kept beside each value, so that a date reads back as a date and not a double.
enum class TypeTag : int { boolean = 0, integer = 1, real = 2, text = 3, date = 4 };

}  // namespace

std::string inQuotes(std::string_view text) {
  std::string result;
  result.reserve(text.size() + 2);
  result += '"';
  result += text;
  result += '"';
  return result;
}

int bindText(sqlite3_stmt* statement, int index, std::string_view text) {
  return sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                           SQLITE_STATIC);
}

std::string_view columnText(sqlite3_stmt* statement, int column) {
  const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
  if (data == nullptr) return {};
  return {data, static_cast<std::size_t>(sqlite3_column_bytes(statement, column))};
}

int bindValue(sqlite3_stmt* statement, const StorableValue& value) {
  return std::visit(
      [statement](const auto& held) {
        using T = std::decay_t<decltype(held)>;
        auto tag = [statement](TypeTag type) {
          return sqlite3_bind_int(statement, 3, static_cast<int>(type));
        };
        if constexpr (std::is_same_v<T, bool>) {
          if (int rc = tag(TypeTag::boolean); rc != SQLITE_OK) return rc;
          return sqlite3_bind_int(statement, 4, held ? 1 : 0);
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          if (int rc = tag(TypeTag::integer); rc != SQLITE_OK) return rc;
          return sqlite3_bind_int64(statement, 4, held);
        } else if constexpr (std::is_same_v<T, double>) {
          if (int rc = tag(TypeTag::real); rc != SQLITE_OK) return rc;
          return sqlite3_bind_double(statement, 4, held);  // NaN is stored as NULL
        } else if constexpr (std::is_same_v<T, std::string>) {
          if (int rc = tag(TypeTag::text); rc != SQLITE_OK) return rc;
          return bindText(statement, 4, held);
        } else {
          if (int rc = tag(TypeTag::date); rc != SQLITE_OK) return rc;
          return sqlite3_bind_double(statement, 4, held.timeIntervalSince1970());
        }
      },
      value);
}

std::optional<StorableValue> decodeValue(sqlite3_stmt* statement) {
  const int type = sqlite3_column_int(statement, 2);
  const int storage = sqlite3_column_type(statement, 3);
  // SQLite stores NaN as NULL; a real or a date read back as NULL was a NaN.
  auto real = [&]() -> std::optional<double> {
    if (storage == SQLITE_FLOAT) return sqlite3_column_double(statement, 3);
    if (storage == SQLITE_NULL) return std::numeric_limits<double>::quiet_NaN();
    return std::nullopt;
  };
  // Built in place: moving a finished variant into the optional trips GCC 12's
  // maybe-uninitialized check under the sanitizers.
  auto make = [](auto held) {
    return std::optional<StorableValue>(std::in_place, std::move(held));
  };
  switch (static_cast<TypeTag>(type)) {
    case TypeTag::boolean: {
      if (storage != SQLITE_INTEGER) return std::nullopt;
      const auto number = sqlite3_column_int64(statement, 3);
      if (number != 0 && number != 1) return std::nullopt;
      return make(number == 1);
    }
    case TypeTag::integer:
      if (storage != SQLITE_INTEGER) return std::nullopt;
      return make(static_cast<std::int64_t>(sqlite3_column_int64(statement, 3)));
    case TypeTag::real:
      if (auto number = real()) return make(*number);
      return std::nullopt;
    case TypeTag::text:
      if (storage != SQLITE_TEXT) return std::nullopt;
      return make(std::string(columnText(statement, 3)));
    case TypeTag::date:
      if (auto number = real()) return make(Platform::Date(*number));
      return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace QVRAdKit::Sandbox::SQLiteValueCodec
