#pragma once

// Drives the window's Export Video dialog from a test: `drive` runs on the
// dialog once File > Export Video... has shown it (its own event loop runs
// meanwhile), then the dialog is closed.
#include <gtest/gtest.h>

#include <QAction>
#include <QTimer>
#include <functional>

#include "ui/player_window.h"
#include "ui/video_export_dialog.h"

inline void WithExportDialog(CQMXPlayerDlg& window, const std::function<void(VideoExportDialog&)>& drive) {
  QAction* command = window.findChild<QAction*>(QStringLiteral("exportVideo"));
  ASSERT_TRUE(command);
  bool driven = false;
  QTimer::singleShot(0, &window, [&] {
    auto* dialog = window.findChild<VideoExportDialog*>();
    if (dialog) drive(*dialog);
    driven = dialog != nullptr;
    if (dialog) dialog->done(0);
  });
  command->trigger();
  EXPECT_TRUE(driven);
}

// The child `name` of `dialog`, failing the test when there is none.
template <typename T>
T* Child(QWidget& dialog, const char* name) {
  T* w = dialog.findChild<T*>(QString::fromLatin1(name));
  EXPECT_TRUE(w) << name;
  return w;
}
