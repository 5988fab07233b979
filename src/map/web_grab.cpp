#include "map/web_grab.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <optional>

namespace {

constexpr int kPollMilliseconds = 20;

// The computer's own configuration, asked per request: libproxy or the
// desktop's settings where Qt has them, and the http_proxy family of
// variables, which Qt's lookup leaves out for some hosts and builds.
class SystemProxyFactory : public QNetworkProxyFactory {
 public:
  QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
    QList<QNetworkProxy> proxies = QNetworkProxyFactory::systemProxyForQuery(query);
    const bool direct =
        proxies.isEmpty() || (proxies.size() == 1 && proxies.front().type() == QNetworkProxy::NoProxy);
    if (direct) {
      if (const auto fromEnvironment = EnvironmentProxy(query)) return {*fromEnvironment};
    }
    return proxies;
  }

 private:
  static std::optional<QNetworkProxy> EnvironmentProxy(const QNetworkProxyQuery& query) {
    const QString scheme = query.url().scheme().toLower();
    QByteArray value;
    for (const char* name : {scheme == "https" ? "https_proxy" : "http_proxy",
                             scheme == "https" ? "HTTPS_PROXY" : "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) {
      value = qgetenv(name).trimmed();
      if (!value.isEmpty()) break;
    }
    if (value.isEmpty() || Bypassed(query.peerHostName())) return std::nullopt;
    QUrl proxyUrl = QUrl::fromUserInput(QString::fromLocal8Bit(value));
    if (!proxyUrl.isValid() || proxyUrl.host().isEmpty()) return std::nullopt;
    return QNetworkProxy(QNetworkProxy::HttpProxy, proxyUrl.host(), quint16(proxyUrl.port(8080)),
                         proxyUrl.userName(), proxyUrl.password());
  }

  static bool Bypassed(const QString& host) {
    QByteArray list = qgetenv("no_proxy");
    if (list.isEmpty()) list = qgetenv("NO_PROXY");
    for (const QByteArray& raw : list.split(',')) {
      const QString entry = QString::fromLocal8Bit(raw.trimmed()).toLower();
      if (entry.isEmpty()) continue;
      if (entry == "*") return true;
      const QString suffix = entry.startsWith('.') ? entry : "." + entry;
      if (host.toLower() == entry || host.toLower().endsWith(suffix)) return true;
    }
    return false;
  }
};

// The named proxy, but local names go direct.
class NamedProxyFactory : public QNetworkProxyFactory {
 public:
  explicit NamedProxyFactory(QNetworkProxy proxy) : proxy_(std::move(proxy)) {}
  QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
    if (BypassesNamedProxy(query.peerHostName().toStdString()))
      return {QNetworkProxy(QNetworkProxy::NoProxy)};
    return {proxy_};
  }

 private:
  const QNetworkProxy proxy_;
};

std::string RawHeaders(const QNetworkReply& reply) {
  std::string text;
  for (const QNetworkReply::RawHeaderPair& h : reply.rawHeaderPairs())
    text += h.first.toStdString() + ": " + h.second.toStdString() + "\r\n";
  return text;
}

}  // namespace

CWebGrab::CWebGrab(ProxyConfig proxy, std::chrono::milliseconds timeout, const std::atomic<bool>* cancel)
    : proxy_(std::move(proxy)), timeout_(timeout), cancel_(cancel) {}

CWebGrab::~CWebGrab() = default;

bool CWebGrab::FetchUrl(const std::string& url, QByteArray& body, std::size_t limit) {
  status_ = 0;
  headers_.clear();
  error_.clear();
  cancelled_ = false;
  body.clear();
  if (cancel_ && cancel_->load()) {
    cancelled_ = true;
    error_ = "cancelled";
    return false;
  }
  if (!session_) {
    session_ = std::make_unique<QNetworkAccessManager>();
    switch (proxy_.mode) {
      case ProxyMode::kNone:
        session_->setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
        break;
      case ProxyMode::kManual: {
        QNetworkProxy named(QNetworkProxy::HttpProxy, QString::fromStdString(proxy_.server),
                            quint16(proxy_.port));
        if (SendsProxyCredentials(proxy_)) {
          named.setUser(QString::fromStdString(proxy_.user));
          named.setPassword(QString::fromStdString(proxy_.password));
        }
        session_->setProxyFactory(new NamedProxyFactory(named));  // the session owns it
        break;
      }
      case ProxyMode::kAuto:
        session_->setProxyFactory(new SystemProxyFactory);  // the session owns it
        break;
    }
  }
  const QUrl target(QString::fromStdString(url));
  if (!target.isValid() || target.host().isEmpty()) {
    error_ = "not a usable address";
    return false;
  }
  QNetworkRequest request(target);
  request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("qmxplayer/0.1 (map window)"));
  request.setTransferTimeout(int(timeout_.count()));
  std::unique_ptr<QNetworkReply> reply(session_->get(request));

  QEventLoop loop;
  bool tooLarge = false;
  QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
  QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
    if (std::size_t(reply->bytesAvailable()) + std::size_t(body.size()) > limit) {
      tooLarge = true;
      reply->abort();
      return;
    }
    body += reply->readAll();
  });
  const QDeadlineTimer deadline(timeout_);
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if ((cancel_ && cancel_->load()) || deadline.hasExpired()) {
      cancelled_ = cancel_ && cancel_->load();
      reply->abort();
    }
  });
  poll.start(kPollMilliseconds);
  if (!reply->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
  poll.stop();
  if (!tooLarge && reply->error() == QNetworkReply::NoError) body += reply->readAll();

  const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  status_ = status.isValid() ? status.toInt() : 0;
  headers_ = RawHeaders(*reply);
  bool ok = true;
  if (tooLarge) {
    error_ = "the answer is larger than " + std::to_string(limit) + " bytes";
    ok = false;
  } else if (cancelled_) {
    error_ = "cancelled";
    ok = false;
  } else if (reply->error() == QNetworkReply::OperationCanceledError) {
    error_ = "no answer within " + std::to_string(timeout_.count()) + " ms";
    ok = false;
  } else if (reply->error() != QNetworkReply::NoError && status_ == 0) {
    error_ = reply->errorString().toStdString();
    ok = false;
  } else if (reply->error() != QNetworkReply::NoError) {
    // An HTTP error answer still has a body; whether it is a picture is the
    // caller's question.
    body += reply->readAll();
  }
  if (ok && body.isEmpty()) {
    error_ = "empty answer";
    ok = false;
  }
  if (!ok) body.clear();
  return ok;
}
