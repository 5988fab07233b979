#pragma once

#include <QDialog>

#include "engine/recording_properties.h"

class QLineEdit;

// The read-only "File Properties" dialog: the DVR details of the open
// recording or live stream, read once when the dialog is made. A default
// RecordingProperties (nothing opened yet) shows "N/A" everywhere and
// "MJPG Video Source".
//
// Fields carry object names for tests: "dvrVersion", "dvrType",
// "videoSize", "gpsInfo", "triggerLabels", "videoType", and per channel
// n = 1..4 "resolution<n>", "audio<n>", "bitrate<n>".
class CFileProperties : public QDialog {
 public:
  explicit CFileProperties(const RecordingProperties& props, QWidget* parent = nullptr);
};
