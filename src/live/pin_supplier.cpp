#include "live/pin_supplier.h"

namespace {

class PinSupplier : public PushSampleSupplier {
 public:
  explicit PinSupplier(std::shared_ptr<CPushPin> pin) : pin_(std::move(pin)) {}
  bool WaitForNewSample(std::chrono::milliseconds limit) override { return pin_->WaitForNewFrame(limit); }
  void Interrupt() override { pin_->WakeWaiters(); }
  bool NextSample(Sample& sample) override {
    PushSample s;
    if (!pin_->FillSample(s)) return false;
    sample.data = std::move(s.data);
    sample.ptsNs = s.start * 100;
    sample.durationNs = (s.end - s.start) * 100;
    sample.syncPoint = s.syncPoint;
    return true;
  }
  void Format(int& width, int& height, double& fps) const override {
    width = pin_->Width();
    height = pin_->Height();
    fps = pin_->FrameRate();
  }

 private:
  std::shared_ptr<CPushPin> pin_;
};

}  // namespace

std::shared_ptr<PushSampleSupplier> MakePinSupplier(std::shared_ptr<CPushPin> pin) {
  return std::make_shared<PinSupplier>(std::move(pin));
}
