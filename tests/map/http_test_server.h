#pragma once

// A small HTTP/1.1 server on 127.0.0.1 (an ephemeral port) for the map
// tests: it answers every request with what the handler returns, one thread
// per connection, and records the request targets. It also serves requests
// in a proxy's absolute form ("GET http://host/path"), so it can stand in
// for a proxy too. Every answer closes its connection.

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct HttpRequest {
  std::string method;
  std::string target;                          // as sent: "/path?query" or "http://host/path?query"
  std::string path;                            // the target without scheme and host
  std::map<std::string, std::string> headers;  // names lower-cased
};

struct HttpAnswer {
  int status = 200;
  std::string body;
  std::string contentType = "application/octet-stream";
  bool hang = false;  // never answer; the connection stays open until the server stops
};

class HttpTestServer {
 public:
  using Handler = std::function<HttpAnswer(const HttpRequest&)>;
  explicit HttpTestServer(Handler handler);
  ~HttpTestServer();
  HttpTestServer(const HttpTestServer&) = delete;
  HttpTestServer& operator=(const HttpTestServer&) = delete;

  int Port() const { return port_; }
  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::vector<HttpRequest> Requests() const;
  int RequestCount() const;

 private:
  void AcceptLoop();
  void Serve(int fd);

  Handler handler_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex lock_;
  std::vector<HttpRequest> requests_;
  std::vector<std::thread> connections_;
  std::thread acceptor_;
};

// A free TCP port on 127.0.0.1 at the time of the call.
int FreeLoopbackPort();
