#pragma once

#include <QObject>
#include <memory>

#include "live/live_session.h"

// The window's live viewing: the session with a DVR unit, made when Open
// Stream connects and ended on Close, on a recording's open or when it fails
// for good; its part of the window's tick polls it.
//
// The session feeds the window's frame relay and banner until it is gone,
// so the window keeps this controller as its last member.
class LiveController : public QObject {
  Q_OBJECT
 public:
  LiveController() = default;
  ~LiveController() override;

  // The open session, or null.
  LiveSession* Session() const { return session_.get(); }
  // Connects as `config` says; a session open before is ended first.
  void Open(const LiveSessionConfig& config);
  // Ends the receive thread (promptly: its waits end on the stop request)
  // and the channel graphs.
  void Close();
  // One tick of the window's timer.
  void Tick();

 signals:
  // The unit did not answer.
  void ConnectFailed();
  // The session failed for good and was ended.
  void Lost();

 private:
  std::unique_ptr<LiveSession> session_;
};
