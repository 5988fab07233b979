#pragma once

// The map's small HTTP client over QtNetwork: one GET at a time, directly,
// through a named HTTP proxy (with the user name and password when the
// configuration sends them) or through the computer's own proxy
// configuration (the system settings and the http_proxy variable).
//
// Threads: a CWebGrab belongs to the thread that first fetches with it; its
// network session is made there on first use. FetchUrl blocks that thread
// (running a local event loop) until the answer is in, the time-out passes
// or the cancel flag turns true; the flag is looked at every 20 ms, so a
// cancelled request ends at once. Never call it on the window thread.

#include <QByteArray>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "map/map_cache_file.h"
#include "map/proxy_config.h"

class QNetworkAccessManager;
class QNetworkReply;

// One request's outcome.
struct WebAnswer {
  bool ok = false;  // a response with a body arrived, whatever its HTTP status
  QByteArray body;
  int status = 0;       // 0 when no response came
  std::string headers;  // "Name: value" lines
  std::string error;    // why not ok
  bool cancelled = false;
};

class CWebGrab {
 public:
  explicit CWebGrab(ProxyConfig proxy, std::chrono::milliseconds timeout = std::chrono::seconds(10),
                    const std::atomic<bool>* cancel = nullptr);
  ~CWebGrab();
  CWebGrab(const CWebGrab&) = delete;
  CWebGrab& operator=(const CWebGrab&) = delete;

  // GETs `url`. True when a response with a body arrived, whatever its HTTP
  // status (LastStatusCode tells); `body` then holds it. False, with
  // LastError set, for a network failure, a proxy that refuses the request
  // for want of a user name and password (HTTP 407, or 401 with a proxy's
  // challenge), an empty body, a body of more than `limit` bytes, the
  // time-out ("timed out ..."), or cancellation.
  bool FetchUrl(const std::string& url, QByteArray& body, std::size_t limit = kMapImageLimit);
  // GETs every URL at once (the session opens several connections to a
  // host), all within one time-out counted from the call: a server that
  // never answers costs the time-out once, not once per URL. The answers in
  // the order of `urls`, each as FetchUrl judges it. The Last* calls are
  // not changed.
  std::vector<WebAnswer> FetchAll(const std::vector<std::string>& urls, std::size_t limit = kMapImageLimit);

  int LastStatusCode() const { return status_; }               // 0 when no response came
  const std::string& LastHeaders() const { return headers_; }  // "Name: value" lines
  const std::string& LastError() const { return error_; }
  bool LastCancelled() const { return cancelled_; }

 private:
  void OpenSession();
  WebAnswer Settle(QNetworkReply& reply, QByteArray body, bool tooLarge, bool expired,
                   std::size_t limit) const;

  const ProxyConfig proxy_;
  const std::chrono::milliseconds timeout_;
  const std::atomic<bool>* cancel_;
  std::unique_ptr<QNetworkAccessManager> session_;
  int status_ = 0;
  std::string headers_;
  std::string error_;
  bool cancelled_ = false;
};
