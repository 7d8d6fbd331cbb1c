// The view kit's layout solver against kiwisolver (a Cassowary implementation run by
// tests/UI/kiwi_oracle.py): thousands of seeded random constraint systems, within what the kit
// supports (edges, centres and sizes tied to each other, to the superview and its safe area or to
// constants, any multiplier, priorities, hugging and compression resistance), solved by both. The
// frames must agree, the same required constraints must be refused, and the kit's answer must not
// change when constraints are written the other way round or when the views start from other
// frames. Without python3 and kiwisolver the test is skipped, unless QVR_REQUIRE_KIWI=1.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "QVRAdKit/ClientKit/HostViewKitLogger.h"
#include "QVRAdKit/Host/QVLogger.h"
#include "QVRAdKit/Platform/Environment.h"
#include "QVRAdKit/UI/View.h"
#include "Sandbox/Logging/RecordingLogger.h"

namespace QVRAdKit::UI {
namespace {

constexpr int kSystems = 3000;
constexpr int kSystemsPerBatch = 1000;  // one python process per batch
constexpr double kTolerance = 1e-6;
constexpr int kNone = -1;
constexpr int kRoot = -2;
constexpr int kRootGuide = -3;

// Joins texts by appending (g++ 12 at -O3 misreads a literal put in front of a temporary as an
// overlapping copy).
template <class... Parts>
std::string concat(const Parts&... parts) {
  std::string text;
  ((text += parts), ...);
  return text;
}

// ---- Random systems -------------------------------------------------------------------------

struct ViewPlan {
  Size intrinsic{View::noIntrinsicMetric, View::noIntrinsicMetric};
  std::array<float, 2> hugging{LayoutPriority::defaultLow, LayoutPriority::defaultLow};
  std::array<float, 2> resistance{LayoutPriority::defaultHigh, LayoutPriority::defaultHigh};
};

struct ConstraintPlan {
  int view = 0;
  LayoutAttribute attribute = LayoutAttribute::left;
  LayoutRelation relation = LayoutRelation::equal;
  int other = kNone;  // a view index, kNone, kRoot or kRootGuide
  LayoutAttribute otherAttribute = LayoutAttribute::left;
  double multiplier = 1;
  double constant = 0;
  float priority = LayoutPriority::required;
};

struct SystemPlan {
  int id = 0;
  Size root;
  EdgeInsets insets;
  std::vector<ViewPlan> views;
  std::vector<ConstraintPlan> constraints;
};

constexpr std::array<LayoutAttribute, 5> kXAttributes{
    LayoutAttribute::left, LayoutAttribute::right, LayoutAttribute::leading,
    LayoutAttribute::trailing, LayoutAttribute::centerX};
constexpr std::array<LayoutAttribute, 3> kYAttributes{LayoutAttribute::top, LayoutAttribute::bottom,
                                                      LayoutAttribute::centerY};
constexpr std::array<LayoutAttribute, 2> kDimensions{LayoutAttribute::width,
                                                     LayoutAttribute::height};

class Generator {
 public:
  explicit Generator(unsigned seed) : random_(seed) {}

  SystemPlan system(int id) {
    SystemPlan plan;
    plan.id = id;
    plan.root = {static_cast<double>(integer(200, 600)), static_cast<double>(integer(300, 900))};
    plan.insets = {pick<double>({0, 20, 47}), pick<double>({0, 0, 10}), pick<double>({0, 34}),
                   pick<double>({0, 0, 10})};
    const int views = integer(1, 4);
    for (int i = 0; i < views; ++i) plan.views.push_back(view());
    const int constraints = integer(views, 4 * views + 2);
    // Every view is named by a constraint: one without any keeps its frame.
    for (int i = 0; i < constraints; ++i) {
      plan.constraints.push_back(constraint(views));
      if (i < views) plan.constraints.back().view = i;
    }
    return plan;
  }

  // A frame for a view before the pass: anything at all.
  Rect frame() { return {{real(-300, 300), real(-300, 300)}, {real(0, 400), real(0, 400)}}; }

 private:
  ViewPlan view() {
    ViewPlan plan;
    const int content = integer(0, 9);
    if (content >= 4) plan.intrinsic.width = quarter(0, 200);
    if (content >= 4 && content != 9) plan.intrinsic.height = quarter(0, 100);
    if (content == 3) plan.intrinsic.height = quarter(0, 100);
    for (int axis = 0; axis < 2; ++axis) {
      plan.hugging[axis] = priority({250, 251, 750, 1000}, 0.3);
      plan.resistance[axis] = priority({750, 751, 250, 1000}, 0.3);
    }
    return plan;
  }

  ConstraintPlan constraint(int views) {
    ConstraintPlan plan;
    plan.view = integer(0, views - 1);
    const int kind = integer(0, 2);
    const auto attribute = [&] {
      if (kind == 0) return pick<LayoutAttribute>({kXAttributes.begin(), kXAttributes.end()});
      if (kind == 1) return pick<LayoutAttribute>({kYAttributes.begin(), kYAttributes.end()});
      return pick<LayoutAttribute>({kDimensions.begin(), kDimensions.end()});
    };
    plan.attribute = attribute();
    plan.otherAttribute = attribute();
    const int other = integer(0, 9);
    if (kind == 2 && other < 3) {
      plan.other = kNone;
    } else if (other < 6) {
      plan.other = integer(0, views - 1);
    } else {
      plan.other = other < 9 ? kRoot : kRootGuide;
    }
    if (plan.other != kNone && integer(0, 9) < 3) {
      plan.multiplier = pick<double>({-1, 2, 0.5, -0.5, 1.5, -2});
    }
    plan.constant = quarter(-120, 120);
    plan.relation =
        pick<LayoutRelation>({LayoutRelation::equal, LayoutRelation::equal, LayoutRelation::equal,
                              LayoutRelation::lessThanOrEqual, LayoutRelation::greaterThanOrEqual});
    plan.priority = integer(0, 1) == 0 ? LayoutPriority::required : priority({}, 1.0);
    return plan;
  }

  // One of the usual values, or (with the given chance) any priority below required.
  float priority(const std::vector<float>& usual, double anyChance) {
    if (usual.empty() || real(0, 1) < anyChance) {
      return static_cast<float>(std::round(real(1, 999) * 100) / 100);
    }
    return pick<float>(usual);
  }

  int integer(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  double real(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random_);
  }
  double quarter(int low, int high) { return integer(low * 4, high * 4) / 4.0; }
  template <class T>
  T pick(const std::vector<T>& values) {
    return values[static_cast<std::size_t>(integer(0, static_cast<int>(values.size()) - 1))];
  }

  std::mt19937 random_;
};

// ---- The view kit's side ----------------------------------------------------------------------

// A view with a fixed content size.
class ContentView final : public View {
 public:
  static std::shared_ptr<ContentView> create(Size intrinsic) {
    return std::shared_ptr<ContentView>(new ContentView(intrinsic));
  }
  [[nodiscard]] Size intrinsicContentSize() const override { return intrinsic_; }

 private:
  explicit ContentView(Size intrinsic) : View({}), intrinsic_(intrinsic) {}
  Size intrinsic_;
};

LayoutRelation flipped(LayoutRelation relation) {
  if (relation == LayoutRelation::lessThanOrEqual) return LayoutRelation::greaterThanOrEqual;
  if (relation == LayoutRelation::greaterThanOrEqual) return LayoutRelation::lessThanOrEqual;
  return relation;
}

struct KitAnswer {
  std::vector<Rect> frames;
  std::set<int> refused;       // constraint indices reported as contradicting earlier ones
  std::set<int> undetermined;  // view indices reported as left open
};

class KitLayout {
 public:
  KitLayout() {
    environment_->setService<QVLogger>(logger_);
    HostViewKitLogger::installIfMissing(*environment_);
  }

  // Builds the system (each constraint written the other way round where that says the same
  // thing, when asked), gives the views the frames `before` hands out, and lays it out.
  KitAnswer solve(const SystemPlan& plan, bool swapSides, Generator& before) {
    logger_->clear();
    root_ = View::create({{0, 0}, plan.root});
    root_->setSafeAreaInsets(plan.insets);
    views_.clear();
    for (std::size_t i = 0; i < plan.views.size(); ++i) {
      const ViewPlan& v = plan.views[i];
      auto view = ContentView::create(v.intrinsic);
      view->setAccessibilityIdentifier(concat("v", std::to_string(i)));
      for (const LayoutAxis axis : {LayoutAxis::horizontal, LayoutAxis::vertical}) {
        const std::size_t a = axis == LayoutAxis::horizontal ? 0 : 1;
        view->setContentHuggingPriority(v.hugging[a], axis);
        view->setContentCompressionResistancePriority(v.resistance[a], axis);
      }
      view->setFrame(before.frame());
      root_->addSubview(view);
      views_.push_back(view);
    }
    for (std::size_t k = 0; k < plan.constraints.size(); ++k) {
      constraint(plan.constraints[k], static_cast<int>(k), swapSides)->activate();
    }
    root_->layoutIfNeeded();
    return answer();
  }

  // Moves every view somewhere else and lays the same system out again.
  KitAnswer again(Generator& before) {
    logger_->clear();
    for (const auto& view : views_) view->setFrame(before.frame());
    root_->layoutIfNeeded();
    return answer();
  }

 private:
  LayoutConstraint::Item item(int index, LayoutAttribute attribute) const {
    if (index == kRoot || index == kRootGuide) return {root_, index == kRootGuide, attribute};
    return {views_[static_cast<std::size_t>(index)], false, attribute};
  }

  std::shared_ptr<LayoutConstraint> constraint(const ConstraintPlan& c, int index,
                                               bool swapSides) const {
    const LayoutConstraint::Item first = item(c.view, c.attribute);
    std::shared_ptr<LayoutConstraint> made;
    // "a R m*b + c" is "b R' a/m - c/m": the same relation, and for a non-required one the same
    // weight only when |m| is 1.
    const bool swappable =
        c.other != kNone && (std::abs(c.multiplier) == 1 || c.priority >= LayoutPriority::required);
    if (swapSides && swappable) {
      made = LayoutConstraint::create(item(c.other, c.otherAttribute),
                                      c.multiplier > 0 ? flipped(c.relation) : c.relation, first,
                                      1 / c.multiplier, -c.constant / c.multiplier);
    } else if (c.other == kNone) {
      made = LayoutConstraint::create(first, c.relation, std::nullopt, 1, c.constant);
    } else {
      made = LayoutConstraint::create(first, c.relation, item(c.other, c.otherAttribute),
                                      c.multiplier, c.constant);
    }
    made->setPriority(c.priority);
    made->setIdentifier(concat("c", std::to_string(index)));
    return made;
  }

  KitAnswer answer() const {
    KitAnswer answer;
    for (const auto& view : views_) answer.frames.push_back(view->frame());
    const std::string conflict = "Conflicting required constraints: [c";
    for (const auto& entry : logger_->assertionFailures()) {
      const std::string& message = entry.message;
      if (message.rfind(conflict, 0) == 0) {
        answer.refused.insert(std::stoi(message.substr(conflict.size())));
      } else if (message.rfind("Ambiguous layout", 0) == 0) {
        for (std::size_t i = 0; i < views_.size(); ++i) {
          if (message.find(concat("'v", std::to_string(i), "'")) != std::string::npos) {
            answer.undetermined.insert(static_cast<int>(i));
          }
        }
      } else {
        ADD_FAILURE() << "unexpected report: " << message;
      }
    }
    return answer;
  }

  std::unique_ptr<Platform::Environment> environment_ = Platform::Environment::makeForTesting();
  Platform::Environment::Scope scope_{*environment_};
  std::shared_ptr<Sandbox::RecordingLogger> logger_ = std::make_shared<Sandbox::RecordingLogger>();
  std::shared_ptr<View> root_;
  std::vector<std::shared_ptr<View>> views_;
};

// ---- kiwisolver's side ------------------------------------------------------------------------

struct OracleAnswer {
  std::vector<Rect> frames;
  std::vector<Rect> reversed;  // the accepted relations added in reverse order
  std::set<int> refused;
  std::set<int> open;  // asked with --open: views whose frame the optimum leaves open
};

std::optional<std::string> pythonWithKiwi() {
  std::vector<std::string> candidates;
  if (const char* chosen = std::getenv("QVR_PYTHON")) candidates.emplace_back(chosen);
  candidates.emplace_back("/usr/bin/python3");  // Debian's, where python3-kiwisolver installs
  candidates.emplace_back("python3");
  for (const std::string& python : candidates) {
    const std::string probe = python + " -c 'import kiwisolver' >/dev/null 2>&1";
    if (std::system(probe.c_str()) == 0) return python;
  }
  return std::nullopt;
}

std::string number(double value) {
  std::ostringstream text;
  text.precision(17);
  text << value;
  return text.str();
}

std::string describe(const SystemPlan& plan) {
  std::ostringstream text;
  text.precision(17);
  text << "system " << plan.id << " " << plan.root.width << " " << plan.root.height << " "
       << plan.insets.top << " " << plan.insets.left << " " << plan.insets.bottom << " "
       << plan.insets.right << " " << plan.views.size() << "\n";
  for (std::size_t i = 0; i < plan.views.size(); ++i) {
    const ViewPlan& v = plan.views[i];
    text << "view " << i << " " << v.intrinsic.width << " " << v.intrinsic.height << " "
         << v.hugging[0] << " " << v.hugging[1] << " " << v.resistance[0] << " " << v.resistance[1]
         << "\n";
  }
  for (std::size_t k = 0; k < plan.constraints.size(); ++k) {
    const ConstraintPlan& c = plan.constraints[k];
    const int relation = c.relation == LayoutRelation::lessThanOrEqual      ? -1
                         : c.relation == LayoutRelation::greaterThanOrEqual ? 1
                                                                            : 0;
    text << "constraint " << k << " " << c.view << " " << static_cast<int>(c.attribute) << " "
         << relation << " " << c.other << " " << static_cast<int>(c.otherAttribute) << " "
         << c.multiplier << " " << c.constant << " " << c.priority << "\n";
  }
  text << "end\n";
  return text.str();
}

// Runs the script once over all the systems given.
std::map<int, OracleAnswer> askOracle(const std::string& python,
                                      const std::vector<SystemPlan>& systems,
                                      const std::string& options = {}) {
  static int batch = 0;
  const std::filesystem::path input =
      std::filesystem::temp_directory_path() /
      concat("qvr-kiwi-", std::to_string(::getpid()), "-", std::to_string(++batch), ".txt");
  {
    std::ofstream file(input);
    for (const SystemPlan& plan : systems) file << describe(plan);
  }
  const std::filesystem::path script =
      std::filesystem::path(__FILE__).parent_path() / "kiwi_oracle.py";
  const std::string command =
      concat(python, " '", script.string(), "'", options, " < '", input.string(), "'");
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    std::array<char, 4096> buffer{};
    std::size_t read = 0;
    while ((read = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
      output.append(buffer.data(), read);
    }
    EXPECT_EQ(::pclose(pipe), 0) << command;
  } else {
    ADD_FAILURE() << "cannot run " << command;
  }
  std::filesystem::remove(input);

  std::map<int, OracleAnswer> answers;
  std::istringstream lines(output);
  std::string line;
  OracleAnswer* current = nullptr;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string kind;
    fields >> kind;
    if (kind == "system") {
      int id = 0;
      fields >> id;
      current = &answers[id];
    } else if ((kind == "refused" || kind == "open") && current != nullptr) {
      int index = 0;
      while (fields >> index) (kind == "open" ? current->open : current->refused).insert(index);
    } else if ((kind == "frame" || kind == "reversed") && current != nullptr) {
      int index = 0;
      double x = 0;
      double y = 0;
      double w = 0;
      double h = 0;
      fields >> index >> x >> y >> w >> h;
      (kind == "frame" ? current->frames : current->reversed).push_back({{x, y}, {w, h}});
    }
  }
  return answers;
}

// ---- Comparison -------------------------------------------------------------------------------

bool near(const Rect& l, const Rect& r) {
  return std::abs(l.minX() - r.minX()) <= kTolerance &&
         std::abs(l.minY() - r.minY()) <= kTolerance &&
         std::abs(l.width() - r.width()) <= kTolerance &&
         std::abs(l.height() - r.height()) <= kTolerance;
}

std::string show(const Rect& r) {
  return concat("{", number(r.minX()), ", ", number(r.minY()), ", ", number(r.width()), ", ",
                number(r.height()), "}");
}

// The differences between two answers for the same views, or nothing.
std::string differences(const std::vector<Rect>& expected, const std::vector<Rect>& actual,
                        const std::set<int>& skipped) {
  if (expected.size() != actual.size()) return "different numbers of views";
  std::string text;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (skipped.contains(static_cast<int>(i)) || near(expected[i], actual[i])) continue;
    text += concat(" v", std::to_string(i), ": ", show(expected[i]), " vs ", show(actual[i]));
  }
  return text;
}

TEST(LayoutSolverOracleTest, RandomSystemsAgreeWithKiwisolverWhateverTheSidesAndStartingFrames) {
  const std::optional<std::string> python = pythonWithKiwi();
  if (!python) {
    const char* required = std::getenv("QVR_REQUIRE_KIWI");
    if (required != nullptr && std::string(required) == "1") {
      FAIL() << "python3 with kiwisolver is required (apt-get install python3-kiwisolver)";
    }
    GTEST_SKIP() << "python3 with kiwisolver not found (apt-get install python3-kiwisolver)";
  }

  int compared = 0;
  int withRefusals = 0;
  int ambiguous = 0;
  int failures = 0;
  std::vector<SystemPlan> reportedOpen;
  std::map<int, std::set<int>> reportedViews;
  for (int first = 0; first < kSystems && failures < 10; first += kSystemsPerBatch) {
    std::vector<SystemPlan> systems;
    for (int id = first; id < first + kSystemsPerBatch && id < kSystems; ++id) {
      systems.push_back(Generator(static_cast<unsigned>(id)).system(id));
    }
    const std::map<int, OracleAnswer> oracle = askOracle(*python, systems);
    ASSERT_EQ(oracle.size(), systems.size());

    for (const SystemPlan& plan : systems) {
      if (failures >= 10) break;
      Generator frames(static_cast<unsigned>(plan.id) + 1000003U);
      KitLayout kit;
      const KitAnswer answer = kit.solve(plan, false, frames);
      const KitAnswer moved = kit.again(frames);
      const KitAnswer swapped = KitLayout().solve(plan, true, frames);
      const OracleAnswer& expected = oracle.at(plan.id);
      const std::string context = concat("system ", std::to_string(plan.id), ":\n", describe(plan));

      ++compared;
      if (!answer.refused.empty()) ++withRefusals;
      if (!answer.undetermined.empty()) ++ambiguous;
      std::string problems;
      if (answer.refused != expected.refused) problems += "\n refused constraints differ";
      const std::string fromOracle =
          differences(expected.frames, answer.frames, answer.undetermined);
      if (!fromOracle.empty()) problems += concat("\n kiwisolver vs kit:", fromOracle);
      // kiwisolver's answer depends on the order of the relations only where several layouts are
      // equally good: exactly where the kit must report views as left open.
      std::set<int> open;
      for (std::size_t i = 0; i < expected.frames.size() && i < expected.reversed.size(); ++i) {
        if (!near(expected.frames[i], expected.reversed[i])) open.insert(static_cast<int>(i));
      }
      if (!std::includes(answer.undetermined.begin(), answer.undetermined.end(), open.begin(),
                         open.end())) {
        problems += "\n kiwisolver finds several optima where the kit reports none";
      }
      if (!answer.undetermined.empty()) {
        reportedOpen.push_back(plan);
        reportedViews[plan.id] = answer.undetermined;
      }
      if (moved.refused != answer.refused || moved.undetermined != answer.undetermined) {
        problems += "\n reports differ after moving the views";
      }
      const std::string afterMove = differences(answer.frames, moved.frames, answer.undetermined);
      if (!afterMove.empty()) {
        problems += concat("\n first pass vs pass from other frames:", afterMove);
      }
      if (swapped.refused != answer.refused || swapped.undetermined != answer.undetermined) {
        problems += "\n reports differ with the sides swapped";
      }
      const std::string afterSwap = differences(answer.frames, swapped.frames, answer.undetermined);
      if (!afterSwap.empty()) problems += concat("\n as written vs sides swapped:", afterSwap);
      if (!problems.empty()) {
        ++failures;
        ADD_FAILURE() << context << problems;
      }
    }
  }
  // Every view the kit reports as left open must be: kiwisolver finds a coordinate of it that
  // moves without making the optimum worse.
  if (!reportedOpen.empty()) {
    const std::map<int, OracleAnswer> certified = askOracle(*python, reportedOpen, " --open");
    for (const SystemPlan& plan : reportedOpen) {
      const std::set<int>& open = certified.at(plan.id).open;
      const std::set<int>& reported = reportedViews[plan.id];
      EXPECT_TRUE(std::includes(open.begin(), open.end(), reported.begin(), reported.end()))
          << "the kit reports views left open that kiwisolver finds fixed\n"
          << describe(plan);
    }
  }
  EXPECT_EQ(compared, kSystems);
  // The generator must exercise contradictions, and the kit must solve nearly every system
  // rather than give up on it.
  EXPECT_GT(withRefusals, kSystems / 10);
  EXPECT_LT(ambiguous, kSystems / 100);
  std::printf("compared %d systems: %d with refused constraints, %d ambiguous\n", compared,
              withRefusals, ambiguous);
}

}  // namespace
}  // namespace QVRAdKit::UI
