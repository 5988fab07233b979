#include "metadata/trigger_names.h"

#include <mutex>

namespace {

struct SharedTexts {
  std::mutex mutex;
  std::shared_ptr<const TriggerNameList> names =
      std::make_shared<const TriggerNameList>(DefaultTriggerNames());
};

SharedTexts& Shared() {
  static SharedTexts texts;
  return texts;
}

void Publish(TriggerNameList names) {
  auto fresh = std::make_shared<const TriggerNameList>(std::move(names));
  std::lock_guard lock(Shared().mutex);
  Shared().names = std::move(fresh);
}

}  // namespace

std::shared_ptr<const TriggerNameList> TriggerNames() {
  std::lock_guard lock(Shared().mutex);
  return Shared().names;
}

void SetTriggerName(int index, const std::string& name) {
  if (index < 0 || index >= kTriggerCount) return;
  // Writers are serialised by the lock so two concurrent renames both land.
  std::lock_guard lock(Shared().mutex);
  auto copy = std::make_shared<TriggerNameList>(*Shared().names);
  (*copy)[index] = name;
  Shared().names = std::move(copy);
}

void SetTriggerNames(const TriggerNameList& names) {
  Publish(names);
}

TriggerNameList DefaultTriggerNames() {
  TriggerNameList names;
  for (int i = 0; i < kTriggerCount; ++i) names[i] = "Trigger " + std::to_string(i);
  return names;
}

void ResetTriggerNamesToDefaults() {
  Publish(DefaultTriggerNames());
}

void ResetTriggerNamesToLive() {
  TriggerNameList names;
  for (int i = 0; i < kTriggerCount; ++i) names[i] = "T" + std::to_string(i + 1);
  Publish(std::move(names));
}

std::string JoinTriggerNames(const TriggerNameList& names) {
  std::string text;
  for (int i = 0; i < kTriggerCount; ++i) {
    if (i) text += ',';
    text += names[i];
  }
  return text;
}
