#pragma once
// Environment bundles the platform services one run of the module sees: clock, main queue,
// background executor, notification centre, application and device state and user defaults, plus
// a typed registry in which higher layers keep their per-environment services and shared
// instances (SDK implementations, process-wide singletons) without this layer knowing their types.
// The host makes one and hands it to the module's factories (AdsService::Dependencies::environment,
// QVRAdsConsentServiceImpl::create, BannerAdBuilder, ...); each object keeps the environment, or
// the services of it that it uses, and passes it on to what it makes, so that two environments in
// one process run two independent modules. Each test makes a fresh one, so that nothing leaks from
// one test into the next.
// Environment::current() is for the host's edge only: the sandbox host and the tests install
// their environment with a Scope, and three documented conveniences for single-environment hosts
// fall back on it when the host names no environment: AdsService::create without
// Dependencies::environment, BannerAdBuilder's constructor without an environment, and the
// one-argument UCR::report. Diagnostics that must work anywhere read installed() instead: the log
// functions (the installed QVLogger, else stderr), the view kit's logger and the main-queue check.
// There is no process-wide default: a module used before any environment is installed would post
// to a main queue that nobody drains and wait for ever, so current() treats that as the
// programming error it is (see below).
// Example:
//   auto env = Environment::makeForTesting();
//   auto bridge = env->sharedInstance<Bridge>([&] { return Bridge::create(*env); });
//   env->advance(600);  // runs the timers due in the next ten minutes, in order
// Threading: the accessors, the registry and current() may be used from any thread. runUntil() and
// advance() drain the main queue and belong to the thread that plays the main thread. Scopes nest
// per thread and must be destroyed in reverse order of creation, on the thread that made them.
// A scope of Reach::thisThread installs its environment for its own thread only, so that several
// threads can each run a session of their own at once (the sandbox's parallel trials do); a
// process-wide scope (the default) also serves threads that have no scope of their own. The
// background executor's threads always see the environment that owns them.
// An environment without background threads whose host runs everything on one thread can be
// confined to it (confineToCurrentThread()): its main queue, background executor, registry,
// notification centre and application then take no lock, nor does any object the thread builds
// while the environment lives (Rx::ConfinableMutex).

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <typeinfo>
#include <unordered_map>
#include <utility>
#include <vector>

#include "QVRAdKit/Platform/Application.h"
#include "QVRAdKit/Platform/BackgroundExecutor.h"
#include "QVRAdKit/Platform/Clock.h"
#include "QVRAdKit/Platform/Device.h"
#include "QVRAdKit/Platform/MainQueue.h"
#include "QVRAdKit/Platform/ManualClock.h"
#include "QVRAdKit/Platform/NotificationCenter.h"
#include "QVRAdKit/Platform/ThreadConfinement.h"
#include "QVRAdKit/Platform/UserDefaults.h"

namespace QVRAdKit::Platform {

class Environment {
 public:
  struct Options {
    // The clock: manualClock when set, otherwise clock, otherwise the system clock.
    std::shared_ptr<const Clock> clock;
    std::shared_ptr<ManualClock> manualClock;
    // BackgroundExecutor::kDrainedByHand (0): no thread; background().waitUntilIdle() runs the
    // queued work on the calling thread, which must have this environment installed.
    size_t backgroundThreadCount = 1;
    // In-memory defaults when not set.
    std::shared_ptr<UserDefaults> userDefaults;
  };

  explicit Environment(Options options);
  // Shuts the background executor down (joining its threads) before clearing the registry, then
  // destroys the rest; pending main-queue tasks are destroyed without running. Throughout, the
  // environment is current, so that the destructors of what it owned still find it.
  ~Environment();
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;

  // Manual clock at ManualClock::kDefaultStart, in-memory defaults, one background thread.
  static std::unique_ptr<Environment> makeForTesting();
  // System clock, in-memory defaults, one background thread.
  static std::unique_ptr<Environment> makeSystem();

  // On a background executor's thread, its environment. Otherwise the environment installed by
  // the innermost live Scope of the calling thread, or on a thread without one, that of the
  // innermost live process-wide Scope. Without any, current() writes
  // "QVRAdKit: no Platform::Environment is installed ..." to stderr and aborts: the module cannot
  // run without the main queue its host drains, and a silent stand-in would only hang later.
  // While an environment is being destroyed it is current for what it destroys.
  static Environment& current();
  // The installed environment, or nullptr: for code that has a useful answer without one (the
  // logger falls back to stderr).
  [[nodiscard]] static Environment* installed() noexcept;

  // Installs an environment as current for its lifetime, then restores the previous one.
  class Scope {
   public:
    enum class Reach {
      process,     // the calling thread, and every thread without a scope of its own
      thisThread,  // the calling thread only
    };

    explicit Scope(Environment& environment, Reach reach = Reach::process);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    Reach reach_;
    Environment* previousOnThread_;
    Environment* previousInProcess_ = nullptr;
  };

  // Promises that from now on only the calling thread uses this environment (its main queue,
  // background executor, registry, notification centre and application) and what the thread
  // builds until the environment is destroyed, so that none of them takes its locks. Only for an
  // environment made with backgroundThreadCount = BackgroundExecutor::kDrainedByHand, and before
  // any other thread may see it. A breach (a call from another thread afterwards, or confining an
  // environment that has background threads) is written to stderr and aborts instead of racing.
  void confineToCurrentThread();

  [[nodiscard]] MainQueue& mainQueue() const { return *mainQueue_; }
  [[nodiscard]] BackgroundExecutor& background() const { return *background_; }
  [[nodiscard]] const Clock& clock() const { return *clock_; }
  [[nodiscard]] const std::shared_ptr<const Clock>& clockPtr() const { return clock_; }
  // nullptr unless the environment runs on a manual clock.
  [[nodiscard]] ManualClock* manualClock() const { return manualClock_.get(); }
  [[nodiscard]] NotificationCenter& notificationCenter() const { return *notificationCenter_; }
  [[nodiscard]] const std::shared_ptr<NotificationCenter>& notificationCenterPtr() const {
    return notificationCenter_;
  }
  [[nodiscard]] Application& application() const { return *application_; }
  [[nodiscard]] Device& device() const { return *device_; }
  [[nodiscard]] UserDefaults& userDefaults() const { return *userDefaults_; }
  [[nodiscard]] const std::shared_ptr<UserDefaults>& userDefaultsPtr() const {
    return userDefaults_;
  }

  // The object registered for T (by setService or sharedInstance), or nullptr.
  template <class T>
  [[nodiscard]] std::shared_ptr<T> service() const {
    Slot* slot = slotFor(keyOf<T>(), false);
    if (slot == nullptr) return nullptr;
    const SlotLock lock(*this, *slot);
    return std::static_pointer_cast<T>(slot->value);
  }

  // Registers (or, with nullptr, removes) the object for T, replacing any earlier one.
  template <class T>
  void setService(std::shared_ptr<T> object) {
    Slot* slot = slotFor(keyOf<T>(), true);
    std::shared_ptr<void> replaced;  // destroyed after the slot's lock is released
    {
      const SlotLock lock(*this, *slot);
      replaced = std::exchange(slot->value, std::move(object));
      serviceVersion_.store(newServiceVersion(), std::memory_order_release);
    }
  }

  // The object registered for T; when there is none, the one make() returns, registered. make runs
  // at most once per environment even when threads race (the losers wait and get the same
  // object); it may use other services and shared instances, but not T's own.
  template <class T, class Make>
  std::shared_ptr<T> sharedInstance(Make&& make) {
    Slot* slot = slotFor(keyOf<T>(), true);
    const SlotLock lock(*this, *slot);
    if (!slot->value) {
      slot->value = std::shared_ptr<T>(std::forward<Make>(make)());
      serviceVersion_.store(newServiceVersion(), std::memory_order_release);
    }
    return std::static_pointer_cast<T>(slot->value);
  }

  // A stamp of the registry's contents, new whenever an object is set, replaced or removed and
  // never shared by two environments of the process: what was read from the registry may be kept
  // while the stamp is the one read with it.
  [[nodiscard]] std::uint64_t serviceVersion() const {
    return serviceVersion_.load(std::memory_order_acquire);
  }

  // Test support. Drains the main queue until done() answers true, waiting (not sleeping) for
  // tasks that other threads post; false when the timeout passes first.
  bool runUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Test support, manual clock only (otherwise it just drains what is due). Moves the clock
  // forward to each pending task's due date in turn, running the tasks as they fall due (those
  // they post included), then sets the clock to now + interval and runs what is ready. The clock
  // never moves backwards here; set it on the manual clock to do that.
  void advance(TimeInterval interval);

 private:
  // A registered object and the lock that guards it. (An atomic shared_ptr would save the lock,
  // but libstdc++ 12 implements it with a lock bit ThreadSanitizer cannot see.)
  struct Slot {
    std::mutex mutex;
    std::shared_ptr<void> value;
  };

  // A slot's lock, or none on a confined environment. Race-free there: every entry point checks
  // that it runs on the one thread allowed, and the environment has no background thread, so
  // only that thread reads or writes a slot's value.
  class SlotLock {
   public:
    SlotLock(const Environment& environment, Slot& slot) {
      if (environment.confinement_.checkHere("Environment")) return;
      mutex_ = &slot.mutex;
      mutex_->lock();
    }
    ~SlotLock() {
      if (mutex_ != nullptr) mutex_->unlock();
    }
    SlotLock(const SlotLock&) = delete;
    SlotLock& operator=(const SlotLock&) = delete;

   private:
    std::mutex* mutex_ = nullptr;
  };
  // A small number per type, the same in every environment of the process, so that a look-up
  // indexes an array instead of hashing the type's name under a lock.
  static std::size_t typeKey(const std::type_info& type);
  template <class T>
  static std::size_t keyOf() {
    static const std::size_t key = typeKey(typeid(T));
    return key;
  }
  Slot* slotFor(std::size_t key, bool create) const;
  static std::uint64_t newServiceVersion();

  // Types with a key below kIndexedSlots are found in indexedSlots_ without a lock; the others
  // (only a process with very many registered types has them) in overflowSlots_ under the lock.
  static constexpr std::size_t kIndexedSlots = 64;
  std::shared_ptr<ManualClock> manualClock_;
  std::shared_ptr<const Clock> clock_;
  std::shared_ptr<UserDefaults> userDefaults_;
  std::shared_ptr<NotificationCenter> notificationCenter_;
  std::unique_ptr<Application> application_;
  std::unique_ptr<Device> device_;
  std::unique_ptr<MainQueue> mainQueue_;
  std::unique_ptr<BackgroundExecutor> background_;

  std::atomic<std::uint64_t> serviceVersion_{newServiceVersion()};
  ThreadConfinement confinement_;
  mutable std::array<std::atomic<Slot*>, kIndexedSlots> indexedSlots_{};
  // Guards creating slots, ownedSlots_ and overflowSlots_.
  mutable Rx::ConfinableMutex registryMutex_{"Environment"};
  mutable std::unordered_map<std::size_t, Slot*> overflowSlots_;
  mutable std::vector<std::unique_ptr<Slot>> ownedSlots_;
};

}  // namespace QVRAdKit::Platform
