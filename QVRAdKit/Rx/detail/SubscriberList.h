#pragma once
// A list of subscriptions, made whole by adding to or removing from another one, and immutable
// once published. Up to two entries sit inside the list itself, so the common subject (one or two
// subscribers) costs one allocation per change of its list instead of two (the list and its
// vector's buffer). A list that its owner alone holds, and that no emission walks, may instead be
// changed in place (append, extract): a subject with many subscribers then does not copy all of
// them at each subscription and disposal.
// Example:
//   auto list = SubscriberList<S>::adding(nullptr, first);
//   list = SubscriberList<S>::adding(list.get(), second);
//   for (const auto& entry : *list) entry->observer->onNext(value);
//   list = SubscriberList<S>::removing(*list, first.get());  // null once none remains

#include <array>
#include <cstddef>
#include <memory>
#include <span>
#include <utility>
#include <vector>

namespace QVRAdKit::Rx::detail {

template <class S>
class SubscriberList {
  struct ConstructionKey {
    explicit ConstructionKey() = default;
  };

 public:
  using Entry = std::shared_ptr<S>;

  explicit SubscriberList(ConstructionKey /*key*/) {}

  // old's entries (none for a null old), then entry.
  static std::shared_ptr<SubscriberList> adding(const SubscriberList* old, Entry entry) {
    auto list = std::make_shared<SubscriberList>(ConstructionKey{});
    list->reserve((old ? old->size_ : 0) + 1);
    if (old) {
      for (const Entry& kept : *old) list->push(kept);
    }
    list->push(std::move(entry));
    return list;
  }

  // old's entries without removed; null when none remains.
  static std::shared_ptr<SubscriberList> removing(const SubscriberList& old, const S* removed) {
    std::size_t size = 0;
    for (const Entry& kept : old) size += kept.get() != removed ? 1U : 0U;
    if (size == 0) return nullptr;
    auto list = std::make_shared<SubscriberList>(ConstructionKey{});
    list->reserve(size);
    for (const Entry& kept : old) {
      if (kept.get() != removed) list->push(kept);
    }
    return list;
  }

  // In place, on a list no one else holds or walks.
  void append(Entry entry) {
    if (!spilled_ && size_ == kInline) {
      more_.reserve(2 * kInline);
      for (std::size_t i = 0; i < size_; ++i) more_.push_back(std::move(inline_[i]));
      spilled_ = true;
    }
    push(std::move(entry));
  }
  // In place, on a list no one else holds or walks: takes removed out, keeping the order of the
  // others, and hands it back so that the caller releases it where it chooses; null if absent.
  Entry extract(const S* removed) {
    Entry* entries = spilled_ ? more_.data() : inline_.data();
    for (std::size_t i = 0; i < size_; ++i) {
      if (entries[i].get() != removed) continue;
      Entry taken = std::move(entries[i]);
      for (std::size_t j = i + 1; j < size_; ++j) entries[j - 1] = std::move(entries[j]);
      --size_;
      if (spilled_) more_.pop_back();
      return taken;
    }
    return nullptr;
  }

  [[nodiscard]] bool contains(const S* entry) const {
    for (const Entry& held : *this) {
      if (held.get() == entry) return true;
    }
    return false;
  }
  [[nodiscard]] std::size_t size() const { return size_; }
  [[nodiscard]] const Entry* begin() const { return entries().data(); }
  [[nodiscard]] const Entry* end() const { return entries().data() + size_; }

 private:
  static constexpr std::size_t kInline = 2;

  [[nodiscard]] std::span<const Entry> entries() const {
    return spilled_ ? std::span<const Entry>(more_.data(), size_)
                    : std::span<const Entry>(inline_.data(), size_);
  }
  // Called once, with the final size, before the entries are pushed: a list that fits keeps them
  // inline, a longer one keeps all of them in more_.
  void reserve(std::size_t size) {
    spilled_ = size > kInline;
    if (spilled_) more_.reserve(size);
  }
  void push(Entry entry) {
    if (spilled_) {
      more_.push_back(std::move(entry));
    } else {
      inline_[size_] = std::move(entry);
    }
    ++size_;
  }

  std::array<Entry, kInline> inline_;
  std::vector<Entry> more_;
  std::size_t size_ = 0;
  bool spilled_ = false;
};

}  // namespace QVRAdKit::Rx::detail
