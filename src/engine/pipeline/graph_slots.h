#pragma once

#include <functional>
#include <list>
#include <memory>
#include <utility>

// The previous / current / next graph slots of a sequence and the cache of
// idle graphs, as pure bookkeeping over file indexes. Graphs are owned here
// and handed to the engine's hooks; nothing in this file touches a pipeline,
// so the moves can be tested with stand-in graphs.
//
// Not thread-safe: the engine calls it under its lock.
template <class Graph>
class GraphSlots {
 public:
  static constexpr int kCacheSize = 5;
  static constexpr int kBuiltAtOpen = 7;

  struct Slot {
    int index = -1;
    std::unique_ptr<Graph> graph;
  };

  // `build` makes the graph of file i (never null; a failed build is still a
  // graph, an empty one). `place` is told whenever a graph enters a slot:
  // 0 previous, 1 current, 2 next.
  using BuildFn = std::function<std::unique_ptr<Graph>(int index)>;
  using PlaceFn = std::function<void(Graph&, int index, int slot)>;

  GraphSlots(int fileCount, BuildFn build, PlaceFn place)
      : count_(fileCount), build_(std::move(build)), place_(std::move(place)) {}

  // At open: file 0 goes to current, 1 to next, the others (up to the
  // seventh) into the cache.
  void Adopt(int index, std::unique_ptr<Graph> g) {
    if (!current_.graph) {
      Put(current_, index, std::move(g), 1);
    } else if (!next_.graph) {
      Put(next_, index, std::move(g), 2);
    } else {
      CachePut(index, std::move(g));
    }
  }

  // The current file has ended: previous goes to the cache, current becomes
  // previous, next becomes current, and file current + 1 is prepared as next.
  // False, with nothing moved, when there is no next graph.
  bool Advance() {
    if (!next_.graph) return false;
    if (previous_.graph) CachePut(previous_.index, std::move(previous_.graph));
    previous_ = std::move(current_);
    current_ = std::move(next_);
    next_ = Slot{};
    if (previous_.graph) place_(*previous_.graph, previous_.index, 0);
    place_(*current_.graph, current_.index, 1);
    Fill(next_, current_.index + 1, 2);
    return true;
  }

  // Makes file g current, reusing built graphs: neighbours rotate into
  // place, other slots are refilled from the cache or built.
  void SwitchTo(int g) {
    const int c = current_.index;
    if (g == c) return;
    if (g == c - 1) {
      Rotate3(previous_, current_, next_, /*to previous*/ 2, 0, 1);
    } else if (g == c + 1) {
      Rotate3(previous_, current_, next_, 1, 2, 0);
    } else if (g == c - 2 || g == c + 2) {
      std::swap(previous_, next_);
    }
    Fill(previous_, g - 1, 0);
    Fill(current_, g, 1);
    Fill(next_, g + 1, 2);
  }

  void Clear() {
    previous_ = Slot{};
    current_ = Slot{};
    next_ = Slot{};
    cache_.clear();
  }

  Slot& previous() { return previous_; }
  Slot& current() { return current_; }
  Slot& next() { return next_; }
  // File indexes in the cache, newest first.
  std::list<int> CachedIndexes() const {
    std::list<int> out;
    for (const auto& e : cache_) out.push_back(e.first);
    return out;
  }
  template <class F>
  void ForEachCached(F&& f) {
    for (auto& e : cache_) f(*e.second, e.first);
  }

 private:
  void Put(Slot& s, int index, std::unique_ptr<Graph> g, int slot) {
    s.index = index;
    s.graph = std::move(g);
    if (s.graph) place_(*s.graph, index, slot);
  }

  // slots (a, b, c) := (old[pa], old[pb], old[pc]) where 0=a, 1=b, 2=c.
  static void Rotate3(Slot& a, Slot& b, Slot& c, int pa, int pb, int pc) {
    Slot old[3] = {std::move(a), std::move(b), std::move(c)};
    a = std::move(old[pa]);
    b = std::move(old[pb]);
    c = std::move(old[pc]);
  }

  void Fill(Slot& s, int wanted, int slot) {
    if (s.index == wanted && (s.graph || wanted < 0)) {
      if (s.graph) place_(*s.graph, wanted, slot);
      return;
    }
    if (s.graph) CachePut(s.index, std::move(s.graph));
    s = Slot{};
    if (wanted < 0 || wanted >= count_) return;
    std::unique_ptr<Graph> g = CacheTake(wanted);
    if (!g) g = build_(wanted);
    Put(s, wanted, std::move(g), slot);
  }

  void CachePut(int index, std::unique_ptr<Graph> g) {
    cache_.emplace_front(index, std::move(g));
    while (int(cache_.size()) > kCacheSize) cache_.pop_back();
  }

  std::unique_ptr<Graph> CacheTake(int index) {
    for (auto it = cache_.begin(); it != cache_.end(); ++it) {
      if (it->first == index) {
        std::unique_ptr<Graph> g = std::move(it->second);
        cache_.erase(it);
        return g;
      }
    }
    return nullptr;
  }

  int count_;
  BuildFn build_;
  PlaceFn place_;
  Slot previous_, current_, next_;
  std::list<std::pair<int, std::unique_ptr<Graph>>> cache_;
};
