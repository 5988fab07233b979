#pragma once

#include <QDialog>
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "export/video_exporter.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// "Export Video": the range (seconds on the timeline: the clip window's
// marks when both are set, else from the current position), the cameras,
// single or quad, and the MP4 to write; Export runs the export on a worker
// thread, which reports progress and its outcome by queued signals, and
// Cancel stops it (nothing is left behind). Closing the dialog cancels a
// running export and joins the worker.
class VideoExportDialog : public QDialog {
  Q_OBJECT
 public:
  // `base` carries the timeline, the layout kind, the recording's name and
  // whose sound is heard; the dialog fills in range, cameras, layout and
  // destination. `cameras`: which have video.
  VideoExportDialog(video_export::VideoExportRequest base, int64_t fromCentis, int64_t toCentis,
                    int64_t lengthCentis, const std::array<bool, 4>& cameras, QWidget* parent = nullptr);
  ~VideoExportDialog() override;

  bool IsRunning() const { return worker_.joinable() && !finished_; }
  // The last export's outcome, once one ended.
  const video_export::VideoExportOutcome& Outcome() const { return outcome_; }

 signals:
  // From the worker thread; connected queued to the dialog.
  void ExportProgress(int percent);
  void ExportFinished();

 protected:
  void reject() override;

 private:
  video_export::VideoExportRequest Request() const;
  void UpdateExport();
  void Start();
  void OnFinished();

  const video_export::VideoExportRequest base_;
  QDoubleSpinBox* from_ = nullptr;
  QDoubleSpinBox* to_ = nullptr;
  std::array<QCheckBox*, 4> cameras_{};
  QComboBox* layout_ = nullptr;
  QLineEdit* destination_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* export_ = nullptr;
  QPushButton* cancel_ = nullptr;

  std::atomic<bool> cancel_requested_{false};
  bool finished_ = false;
  video_export::VideoExportOutcome outcome_;  // written by the worker before ExportFinished
  std::thread worker_;
};
