#pragma once

#include <functional>
#include <list>
#include <memory>
#include <utility>
#include <vector>

// The previous / current / next graph slots of a sequence and the cache of
// idle graphs, as pure bookkeeping over file indexes. Graphs are shared with
// the engine, which may still be waiting on one outside its lock; a graph
// that falls out of the cache is handed back (TakeEvicted) so that the engine
// destroys it after letting go of its lock. Nothing in this file touches a
// pipeline, so the moves can be tested with stand-in graphs.
//
// Not thread-safe: the engine calls it under its lock.

// The place of a graph around the playing file.
enum class GraphSlot { kPrevious, kCurrent, kNext };

template <class Graph>
class GraphSlots {
 public:
  static constexpr int kCacheSize = 5;
  static constexpr int kBuiltAtOpen = 7;

  struct Slot {
    int index = -1;
    std::shared_ptr<Graph> graph;
  };

  // `build` gives the graph of file i (a failed build is still a graph, an
  // empty one), or null when it is not built yet: the slot then stays empty
  // until Offer brings the graph. `place` is told whenever a graph enters a
  // slot.
  using BuildFn = std::function<std::shared_ptr<Graph>(int index)>;
  using PlaceFn = std::function<void(Graph&, int index, GraphSlot slot)>;

  GraphSlots(int fileCount, BuildFn build, PlaceFn place)
      : count_(fileCount), build_(std::move(build)), place_(std::move(place)) {}

  // At open: file 0 goes to current, 1 to next, the others (up to the
  // seventh) into the cache.
  void Adopt(int index, std::shared_ptr<Graph> g) {
    if (!current_.graph) {
      Put(current_, index, std::move(g), GraphSlot::kCurrent);
    } else if (!next_.graph) {
      Put(next_, index, std::move(g), GraphSlot::kNext);
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
    if (previous_.graph) place_(*previous_.graph, previous_.index, GraphSlot::kPrevious);
    place_(*current_.graph, current_.index, GraphSlot::kCurrent);
    Fill(next_, current_.index + 1, GraphSlot::kNext);
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
    Fill(previous_, g - 1, GraphSlot::kPrevious);
    Fill(current_, g, GraphSlot::kCurrent);
    Fill(next_, g + 1, GraphSlot::kNext);
  }

  // A graph built off the engine's lock arrives: it becomes the next or the
  // previous graph when it is the current file's neighbour and that slot is
  // empty, else it waits in the cache. False (the graph is not taken) when
  // its file already has a graph.
  bool Offer(int index, std::shared_ptr<Graph> g) {
    if (index < 0 || index >= count_ || !g || Holds(index)) return false;
    if (index == current_.index + 1 && current_.graph && !next_.graph) {
      Put(next_, index, std::move(g), GraphSlot::kNext);
    } else if (index == current_.index - 1 && current_.graph && !previous_.graph) {
      Put(previous_, index, std::move(g), GraphSlot::kPrevious);
    } else {
      CachePut(index, std::move(g));
    }
    return true;
  }

  bool Holds(int index) const {
    if (previous_.index == index || current_.index == index || next_.index == index) return true;
    for (const auto& e : cache_) {
      if (e.first == index) return true;
    }
    return false;
  }

  // Graphs that fell out of the cache since the last call.
  std::vector<std::shared_ptr<Graph>> TakeEvicted() { return std::exchange(evicted_, {}); }

  void Clear() {
    previous_ = Slot{};
    current_ = Slot{};
    next_ = Slot{};
    cache_.clear();
  }

  int FileCount() const { return count_; }
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
  void Put(Slot& s, int index, std::shared_ptr<Graph> g, GraphSlot slot) {
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

  void Fill(Slot& s, int wanted, GraphSlot slot) {
    if (s.index == wanted && (s.graph || wanted < 0)) {
      if (s.graph) place_(*s.graph, wanted, slot);
      return;
    }
    if (s.graph) CachePut(s.index, std::move(s.graph));
    s = Slot{};
    if (wanted < 0 || wanted >= count_) return;
    std::shared_ptr<Graph> g = CacheTake(wanted);
    if (!g) g = build_(wanted);
    if (g) Put(s, wanted, std::move(g), slot);
  }

  void CachePut(int index, std::shared_ptr<Graph> g) {
    cache_.emplace_front(index, std::move(g));
    while (int(cache_.size()) > kCacheSize) {
      evicted_.push_back(std::move(cache_.back().second));
      cache_.pop_back();
    }
  }

  std::shared_ptr<Graph> CacheTake(int index) {
    for (auto it = cache_.begin(); it != cache_.end(); ++it) {
      if (it->first == index) {
        std::shared_ptr<Graph> g = std::move(it->second);
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
  std::list<std::pair<int, std::shared_ptr<Graph>>> cache_;
  std::vector<std::shared_ptr<Graph>> evicted_;
};
