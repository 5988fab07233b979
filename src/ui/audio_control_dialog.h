#pragma once

#include <QDialog>
#include <array>

#include "ui/core/audio_routing_store.h"

class QCheckBox;
class QSlider;

// The "Audio Control" dialog: which of the four audio channels is heard in
// each of the five views, and the four channel volumes. It reads the stored
// routing when it is made and stores what the user chose on OK; Cancel and
// the close box store nothing. Applying the routing to playback is the
// window's business once the dialog returns Accepted.
//
// Widgets carry object names for tests: check boxes "vid<n>aud<m>" and
// "quadaud<m>", sliders "volume<m>", buttons "selectAll", "selectNone",
// "defaultRouting".
class CAudioControlDlg : public QDialog {
 public:
  explicit CAudioControlDlg(QWidget* parent = nullptr);

  // What the widgets show now, as the routing OK would store.
  AudioRouting Routing() const;

  void accept() override;

 private:
  void SetBoxes(const AudioRouting& routing);
  void SelectAll(bool on);

  std::array<std::array<QCheckBox*, 4>, 5> boxes_{};  // [view][audio channel]
  std::array<QSlider*, 4> sliders_{};
};
