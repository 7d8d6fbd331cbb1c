#include "QVRAdKit/Platform/Environment.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <typeindex>
#include <utility>

#include "QVRAdKit/Platform/InMemoryUserDefaults.h"
#include "QVRAdKit/Platform/SystemClock.h"

namespace QVRAdKit::Platform {

namespace {

// Installed by process-wide scopes: seen by threads that have no environment of their own.
std::atomic<Environment*> installedEnvironment{nullptr};
// Installed by the calling thread's scopes, or by the background executor on its threads.
thread_local Environment* threadEnvironment = nullptr;

// How long runUntil waits at a time before asking done() again, for conditions that other threads
// satisfy without posting to the main queue.
constexpr std::chrono::milliseconds kRunUntilSlice{5};

}  // namespace

Environment::Environment(Options options)
    : manualClock_(std::move(options.manualClock)),
      clock_(manualClock_    ? manualClock_
             : options.clock ? std::move(options.clock)
                             : std::make_shared<const SystemClock>()),
      userDefaults_(options.userDefaults ? std::move(options.userDefaults)
                                         : std::make_shared<InMemoryUserDefaults>()),
      notificationCenter_(std::make_shared<NotificationCenter>()),
      application_(std::make_unique<Application>(notificationCenter_)),
      device_(std::make_unique<Device>(notificationCenter_)),
      mainQueue_(std::make_unique<MainQueue>(clock_)),
      background_(std::make_unique<BackgroundExecutor>(options.backgroundThreadCount,
                                                       [this] { threadEnvironment = this; })) {}

Environment::~Environment() {
  // From inside one of its own main-queue tasks (a delegate that drops the app), the drain that
  // called it would go on over a freed queue: stop here with the reason instead.
  if (mainQueue_->isDraining()) {
    ThreadConfinement::abortWith(
        "QVRAdKit: an Environment was destroyed while its main queue was running a task (from "
        "one of the module's callbacks?): destroy it after the run loop's drain has returned\n");
  }
  {
    // What is destroyed here (captures of background and main-queue tasks, registered services)
    // may still look the environment up.
    const Scope whileDestroying(*this, Scope::Reach::thisThread);
    // Background work may still reach the registry or post to the main queue: stop it first.
    background_->shutdown();
    std::vector<std::unique_ptr<Slot>> registry;
    {
      std::lock_guard lock(registryMutex_);
      registry.swap(ownedSlots_);
      for (auto& slot : indexedSlots_) slot.store(nullptr, std::memory_order_release);
      overflowSlots_.clear();
    }
    registry.clear();  // destroyed without the lock: their destructors may use the registry
    mainQueue_->discardPending();
  }
  // Destroyed while a Scope still installs it: uninstalled rather than left dangling.
  Environment* self = this;
  installedEnvironment.compare_exchange_strong(self, nullptr);
  if (threadEnvironment == this) threadEnvironment = nullptr;
}

void Environment::confineToCurrentThread() {
  if (background_->threadCount() != BackgroundExecutor::kDrainedByHand) {
    ThreadConfinement::abortWith(
        "QVRAdKit: an Environment with background threads cannot be confined to one thread\n");
  }
  mainQueue_->confineToCurrentThread();
  background_->confineToCurrentThread();
  confinement_.confine();
  registryMutex_.confineToCurrentThread();
  notificationCenter_->confineToCurrentThread();
  application_->confineToCurrentThread();
}

std::unique_ptr<Environment> Environment::makeForTesting() {
  Options options;
  options.manualClock = std::make_shared<ManualClock>();
  return std::make_unique<Environment>(std::move(options));
}

std::unique_ptr<Environment> Environment::makeSystem() {
  return std::make_unique<Environment>(Options{});
}

Environment& Environment::current() {
  if (Environment* environment = installed()) return *environment;
  std::fputs(
      "QVRAdKit: no Platform::Environment is installed. Install one with "
      "Platform::Environment::Scope (and drain its main queue) before using the module.\n",
      stderr);
  std::abort();
}

Environment* Environment::installed() noexcept {
  if (threadEnvironment != nullptr) return threadEnvironment;
  return installedEnvironment.load(std::memory_order_acquire);
}

Environment::Scope::Scope(Environment& environment, Reach reach)
    : reach_(reach), previousOnThread_(std::exchange(threadEnvironment, &environment)) {
  if (reach_ == Reach::process) {
    previousInProcess_ = installedEnvironment.exchange(&environment, std::memory_order_acq_rel);
  }
}

Environment::Scope::~Scope() {
  threadEnvironment = previousOnThread_;
  if (reach_ == Reach::process) {
    installedEnvironment.store(previousInProcess_, std::memory_order_release);
  }
}

std::size_t Environment::typeKey(const std::type_info& type) {
  static std::mutex mutex;
  static std::unordered_map<std::type_index, std::size_t> keys;
  std::lock_guard lock(mutex);
  return keys.try_emplace(std::type_index(type), keys.size()).first->second;
}

Environment::Slot* Environment::slotFor(std::size_t key, bool create) const {
  if (key < kIndexedSlots) {
    if (Slot* slot = indexedSlots_[key].load(std::memory_order_acquire)) return slot;
    if (!create) return nullptr;
  }
  // The registry under its lock, out of line: the look-up of an indexed slot above, which nearly
  // every use of a service makes, then saves no registers and sets up no frame.
  const auto registered = [ this, key, create ]() __attribute__((noinline))->Slot* {
    std::lock_guard lock(registryMutex_);
    if (key < kIndexedSlots) {
      if (Slot* slot = indexedSlots_[key].load(std::memory_order_acquire)) return slot;
    } else if (auto found = overflowSlots_.find(key); found != overflowSlots_.end()) {
      return found->second;
    }
    if (!create) return nullptr;
    Slot* slot = ownedSlots_.emplace_back(std::make_unique<Slot>()).get();
    if (key < kIndexedSlots) {
      indexedSlots_[key].store(slot, std::memory_order_release);
    } else {
      overflowSlots_.emplace(key, slot);
    }
    return slot;
  };
  return registered();
}

std::uint64_t Environment::newServiceVersion() {
  static std::atomic<std::uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

bool Environment::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    mainQueue_->runUntilIdle();
    if (done()) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    mainQueue_->waitForReadyTask(std::min(deadline, now + kRunUntilSlice));
  }
}

void Environment::advance(TimeInterval interval) {
  if (!manualClock_) {
    mainQueue_->runUntilIdle();
    return;
  }
  const Date target = manualClock_->now().addingTimeInterval(interval);
  for (;;) {
    mainQueue_->runUntilIdle();
    const std::optional<Date> next = mainQueue_->nextDueDate();
    if (!next || *next > target) break;
    if (*next > manualClock_->now()) manualClock_->set(*next);
  }
  if (manualClock_->now() < target) manualClock_->set(target);
  mainQueue_->runUntilIdle();
}

}  // namespace QVRAdKit::Platform
