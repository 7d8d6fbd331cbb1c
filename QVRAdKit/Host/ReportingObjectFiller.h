#pragma once
// ReportingObjectFiller writes the parameters of an object form in place: the i-th parameter
// written takes the place of the object's i-th one, keeping the memory of its name and text, so an
// object refilled for every event stops allocating once it has held the largest one. finish()
// drops what the object held beyond the parameters written. Made with appending(), it adds after
// the parameters the object already has, as a fresh object form is built.
// Example:
//   ReportingObjectFiller out(record, "ad_opened");
//   out.text("aaid", uuid);
//   out.integer("duration", 120);
//   out.finish();

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "QVRAdKit/Host/ReportingObject.h"
#include "QVRAdKit/Platform/OverwriteText.h"
#include "QVRAdKit/Platform/TextEqual.h"

namespace QVRAdKit {

class ReportingObjectFiller {
 public:
  // Refills object from its first parameter, under the event name.
  ReportingObjectFiller(ReportingObject& object, std::string_view name) : object_(object) {
    Platform::overwriteText(object.name, name);
  }
  // Adds to the parameters object already has.
  [[nodiscard]] static ReportingObjectFiller appending(ReportingObject& object) {
    return ReportingObjectFiller(object, object.parameters.size());
  }

  // Inline for the usual refill (the same name already in place), so that a constant name is
  // compared as a constant; anything else goes the general way, out of line.
  [[gnu::always_inline]] void text(std::string_view name, std::string_view value) {
    if (ReportingValue* slot = inPlace(name)) {
      if (auto* held = std::get_if<std::string>(slot)) {
        Platform::overwriteText(*held, value);
        ++count_;
        return;
      }
    }
    refillText(name, value);
  }
  [[gnu::always_inline]] void integer(std::string_view name, std::int64_t value) {
    if (ReportingValue* slot = inPlace(name)) {
      *slot = value;
      ++count_;
      return;
    }
    refillInteger(name, value);
  }
  void finish() {
    if (object_.parameters.size() > count_) {
      object_.parameters.erase(object_.parameters.begin() + static_cast<std::ptrdiff_t>(count_),
                               object_.parameters.end());
    }
  }

 private:
  ReportingObjectFiller(ReportingObject& object, std::size_t count)
      : object_(object), count_(count) {}

  // The next parameter's place when it already has this name; else nullptr.
  [[gnu::always_inline]] ReportingValue* inPlace(std::string_view name) {
    if (count_ >= object_.parameters.size()) return nullptr;
    auto& [held, value] = object_.parameters[count_];
    return Platform::TextEqual{}(held, name) ? &value : nullptr;
  }

  // The general way: the next place renamed and retyped as needed, or a new one.
  [[gnu::noinline]] void refillText(std::string_view name, std::string_view value) {
    if (ReportingValue* slot = reused(name)) {
      if (auto* held = std::get_if<std::string>(slot)) {
        Platform::overwriteText(*held, value);
      } else {
        slot->emplace<std::string>(value);
      }
    } else {
      object_.parameters.emplace_back(std::string(name), std::string(value));
    }
    ++count_;
  }

  [[gnu::noinline]] void refillInteger(std::string_view name, std::int64_t value) {
    if (ReportingValue* slot = reused(name)) {
      *slot = value;
    } else {
      object_.parameters.emplace_back(std::string(name), value);
    }
    ++count_;
  }

  // The next parameter's place when the object already has one there, renamed; else nullptr.
  // A record refilled for the same kind of event finds the same name there, left as it is.
  ReportingValue* reused(std::string_view name) {
    if (count_ >= object_.parameters.size()) return nullptr;
    auto& [held, value] = object_.parameters[count_];
    if (!Platform::TextEqual{}(held, name)) held.assign(name);
    return &value;
  }

  ReportingObject& object_;
  std::size_t count_ = 0;
};

}  // namespace QVRAdKit
