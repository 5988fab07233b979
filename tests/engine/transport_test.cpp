// Transport off the caller's thread: commands are posted and performed in
// order by the engine, superseded seeks are dropped, and a pipeline held in
// the middle of a state change never holds up the caller.
#include <gst/base/gstbasetransform.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "engine/pipeline/transport_queue.h"
#include "engine_test_support.h"
#include "temp_dir.h"

namespace {

using Kind = TransportCommand::Kind;

// --- the queue on its own --------------------------------------------------------

// A performer the test holds on its first command, so that what is posted
// meanwhile queues up behind it.
struct HeldPerformer {
  void Perform(const TransportCommand& c) {
    std::unique_lock<std::mutex> l(lock);
    done.push_back(c);
    changed.notify_all();
    changed.wait(l, [&] { return !held; });
  }
  void Release() {
    std::lock_guard<std::mutex> l(lock);
    held = false;
    changed.notify_all();
  }
  bool WaitStarted() {
    std::unique_lock<std::mutex> l(lock);
    return changed.wait_for(l, std::chrono::seconds(10), [&] { return !done.empty(); });
  }
  std::mutex lock;
  std::condition_variable changed;
  std::vector<TransportCommand> done;
  bool held = true;
};

TransportCommand SeekTo(int64_t centis) {
  return {Kind::kSeek, centis};
}

TEST(TransportQueue, PerformsInOrderAndKeepsOnlyTheNewestQueuedSeek) {
  struct Row {
    const char* name;
    std::vector<TransportCommand> posted;     // after a first seek to 1, held while these queue
    std::vector<TransportCommand> performed;  // after the first
    int64_t pending;                          // PendingSeek while held
  } rows[] = {
      {"a drag", {SeekTo(10), SeekTo(20), SeekTo(30), SeekTo(40)}, {SeekTo(40)}, 40},
      {"play between seeks", {SeekTo(10), {Kind::kPlay}, SeekTo(20)}, {{Kind::kPlay}, SeekTo(20)}, 20},
      {"pause and play kept",
       {{Kind::kPause}, SeekTo(5), {Kind::kPlay}, {Kind::kPause}},
       {{Kind::kPause}, SeekTo(5), {Kind::kPlay}, {Kind::kPause}},
       5},
      {"no further seek", {{Kind::kPlay}}, {{Kind::kPlay}}, 1},
  };
  for (const Row& r : rows) {
    HeldPerformer p;
    int settles = 0;
    uint64_t lastSettled = 0;
    std::mutex settleLock;
    {
      TransportQueue q([&](const TransportCommand& c) { p.Perform(c); },
                       [&](uint64_t n) {
                         std::lock_guard<std::mutex> l(settleLock);
                         ++settles;
                         lastSettled = n;
                       });
      q.Post(SeekTo(1));
      ASSERT_TRUE(p.WaitStarted()) << r.name;
      for (const TransportCommand& c : r.posted) q.Post(c);
      ASSERT_TRUE(q.PendingSeek()) << r.name;
      EXPECT_EQ(q.PendingSeek()->centis, r.pending) << r.name;
      EXPECT_FALSE(q.WaitSettled(std::chrono::milliseconds(0))) << r.name;
      p.Release();
      ASSERT_TRUE(q.WaitSettled(std::chrono::seconds(10))) << r.name;
      EXPECT_FALSE(q.PendingSeek()) << r.name << ": performed seeks are no longer pending";
      EXPECT_EQ(q.Posted(), r.posted.size() + 1) << r.name;
    }
    ASSERT_EQ(p.done.size(), r.performed.size() + 1) << r.name;
    for (size_t i = 0; i < r.performed.size(); ++i) {
      EXPECT_EQ(p.done[i + 1].kind, r.performed[i].kind) << r.name << " #" << i;
      EXPECT_EQ(p.done[i + 1].centis, r.performed[i].centis) << r.name << " #" << i;
    }
    std::lock_guard<std::mutex> l(settleLock);
    EXPECT_EQ(settles, 1) << r.name << ": one settle once the queue ran empty";
    EXPECT_EQ(lastSettled, r.posted.size() + 1) << r.name;
  }
}

TEST(TransportQueue, DropForgetsQueuedCommandsButNotTheOneInProgress) {
  HeldPerformer p;
  TransportQueue q([&](const TransportCommand& c) { p.Perform(c); }, nullptr);
  q.Post(SeekTo(7));
  ASSERT_TRUE(p.WaitStarted());
  q.Post({Kind::kPlay});
  q.Post(SeekTo(9));
  q.Drop();
  ASSERT_TRUE(q.PendingSeek());
  EXPECT_EQ(q.PendingSeek()->centis, 7) << "the seek in progress is still where the user goes";
  p.Release();
  ASSERT_TRUE(q.WaitSettled(std::chrono::seconds(10)));
  ASSERT_EQ(p.done.size(), 1u);
  EXPECT_FALSE(q.PendingSeek());
}

// --- a real pipeline held mid-way ----------------------------------------------

// A pass-through element whose streaming thread waits while the gate is
// closed: the pipeline it sits in is held in the middle of whatever it was
// doing (a preroll after a seek), exactly as a slow disk or a stuck decoder
// would hold it.
class Gate {
 public:
  static Gate& Instance() {
    static Gate g;
    return g;
  }
  void Close() {
    std::lock_guard<std::mutex> l(lock_);
    closed_ = true;
    held_ = false;
  }
  void Open() {
    std::lock_guard<std::mutex> l(lock_);
    closed_ = false;
    changed_.notify_all();
  }
  bool WaitHeld() {
    std::unique_lock<std::mutex> l(lock_);
    return changed_.wait_for(l, std::chrono::seconds(20), [&] { return held_; });
  }
  bool Held() {
    std::lock_guard<std::mutex> l(lock_);
    return held_ && closed_;
  }
  void Pass() {
    std::unique_lock<std::mutex> l(lock_);
    if (!closed_) return;
    held_ = true;
    changed_.notify_all();
    // Bounded, so that an engine that waits for the pipeline fails the test
    // instead of hanging it: the gate then opens for good.
    if (!changed_.wait_for(l, std::chrono::seconds(20), [&] { return !closed_; })) closed_ = false;
    held_ = false;
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  bool closed_ = false;
  bool held_ = false;
};

struct QmxTestGate {
  GstBaseTransform parent;
};
struct QmxTestGateClass {
  GstBaseTransformClass parent_class;
};
G_DEFINE_TYPE(QmxTestGate, qmx_test_gate, GST_TYPE_BASE_TRANSFORM)

GstFlowReturn GateTransformIp(GstBaseTransform*, GstBuffer*) {
  Gate::Instance().Pass();
  return GST_FLOW_OK;
}

void qmx_test_gate_class_init(QmxTestGateClass* klass) {
  auto* element = GST_ELEMENT_CLASS(klass);
  static GstStaticPadTemplate sink =
      GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);
  static GstStaticPadTemplate src =
      GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);
  gst_element_class_add_static_pad_template(element, &sink);
  gst_element_class_add_static_pad_template(element, &src);
  gst_element_class_set_static_metadata(element, "Test gate", "Generic", "Holds its streaming thread", "QMX");
  GST_BASE_TRANSFORM_CLASS(klass)->transform_ip = &GateTransformIp;
}

void qmx_test_gate_init(QmxTestGate* self) {
  gst_base_transform_set_passthrough(GST_BASE_TRANSFORM(self), TRUE);
}

void RegisterGate() {
  static const bool done = [] {
    gst_init(nullptr, nullptr);
    return gst_element_register(nullptr, "qmxtestgate", GST_RANK_NONE, qmx_test_gate_get_type());
  }();
  ASSERT_TRUE(done);
}

struct SettleCount : EngineEvents {
  void OnTransportSettled() override {
    std::lock_guard<std::mutex> l(lock);
    ++settles;
    arrived.notify_all();
  }
  // The report is posted after the queue goes idle, so it may trail it.
  int Settles(std::chrono::milliseconds wait = std::chrono::seconds(10)) {
    std::unique_lock<std::mutex> l(lock);
    arrived.wait_for(l, wait, [this] { return settles > 0; });
    return settles;
  }
  std::mutex lock;
  std::condition_variable arrived;
  int settles = 0;
};

// Play, Pause, Seek and Step return while the pipeline is held mid-preroll;
// the position reads the target at once; once released, the engine performs
// what was asked, in order, and says so.
TEST(Transport, CommandsReturnWhileThePipelineIsHeldAndCompleteOnceReleased) {
  RegisterGate();
  TempDir dir;
  auto o = SmallOptions();
  o.seconds = 2;
  o.video = {true, false, false, false};
  o.audio = {true, false, false, false};
  FrameRecorder frames(0);
  SettleCount events;
  EngineConfig config = TestConfig();
  config.audioSink = "qmxtestgate ! fakesink sync=true";
  Gate& gate = Gate::Instance();
  {
    PlaybackEngine e(&frames, nullptr, &events, config);
    ASSERT_EQ(e.OpenSequence({WriteSmall(dir / "a.avi", o)}), kGraphOk);
    e.Pause();
    ASSERT_TRUE(Settled(e));

    gate.Close();
    e.Seek(-1, 120);  // its preroll stops at the gate
    ASSERT_TRUE(gate.WaitHeld());
    struct Step {
      const char* what;
      std::function<void()> call;
      int64_t position;  // read at once after the call
      bool playing;
    } steps[] = {
        {"seek while held", [&] { e.Seek(-1, 50); }, 50, false},
        {"play while held", [&] { e.Play(); }, 50, true},
        {"pause while held", [&] { e.Pause(); }, 50, false},
        {"step while held", [&] { e.StepFrame(1, true); }, 65, false},
        {"slider while held", [&] { e.Seek(500, -1); }, 100, false},
    };
    for (const Step& s : steps) {
      s.call();
      EXPECT_TRUE(gate.Held()) << s.what << " returned only once the pipeline was released";
      EXPECT_EQ(e.GetPositionCentis(), s.position) << s.what;
      EXPECT_EQ(e.IsPlaying(), s.playing) << s.what;
    }
    EXPECT_DOUBLE_EQ(e.GetPosition(), 500.0) << "the slider does not jump back";
    EXPECT_FALSE(e.WaitTransport(std::chrono::milliseconds(0)));
    frames.Clear();
    gate.Open();

    ASSERT_TRUE(Settled(e));
    EXPECT_GE(events.Settles(), 1);
    ASSERT_TRUE(frames.WaitForCount(1));
    EXPECT_EQ(frames.Last(), 10) << "the newest seek's frame is shown";
    EXPECT_EQ(e.GetPositionCentis(), 100) << "the pipeline is where the user asked";
    EXPECT_FALSE(e.IsPlaying());
  }
}

}  // namespace

namespace {

// Pausing a file that has just started playing asks every sink for a new
// buffer. An audio output that takes sound as fast as it comes (a discarding
// sink, as the headless modes use) has none queued, and the demuxer can't
// send one while it waits on a full video queue: the pause, and the seek
// behind it, must still settle at once, every time.
TEST(Transport, PauseJustAfterPlayingSettlesWhenTheSoundHasDrained) {
  TempDir dir;
  auto o = SmallOptions();
  o.seconds = 4;
  const std::string path = WriteSmall(dir / "a.avi", o);
  EngineConfig config = TestConfig();
  config.audioSink = "fakesink sync=false";
  for (int round = 0; round < 8; ++round) {
    FrameRecorder frames(1);
    PlaybackEngine e(&frames, nullptr, nullptr, config);
    ASSERT_EQ(e.OpenSequence({path}), kGraphOk);
    ASSERT_TRUE(e.IsPlaying());
    std::this_thread::sleep_for(std::chrono::milliseconds(15 * round));
    e.Pause();
    const int64_t target = 110 + 30 * round;
    e.Seek(-1, target);
    ASSERT_TRUE(e.WaitTransport(std::chrono::seconds(3))) << "round " << round;
    ASSERT_TRUE(frames.WaitForCount(1));
    EXPECT_EQ(e.GetPositionCentis(), target) << "round " << round;
  }
}

}  // namespace
