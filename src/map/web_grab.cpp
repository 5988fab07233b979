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

// Whether the proxy itself turned the request away. Some proxies answer 401
// instead of 407: with their own challenge, or (having been sent a user name
// and password) with an answer no server behind them gave, which would carry
// the proxy's Via header.
bool IsProxyRefusal(const QNetworkReply& reply, int status, bool named, bool sentCredentials) {
  if (reply.error() == QNetworkReply::ProxyAuthenticationRequiredError || status == 407) return true;
  if (status != 401) return false;
  return reply.hasRawHeader("Proxy-Authenticate") || (named && sentCredentials && !reply.hasRawHeader("Via"));
}

}  // namespace

CWebGrab::CWebGrab(ProxyConfig proxy, std::chrono::milliseconds timeout, const std::atomic<bool>* cancel)
    : proxy_(std::move(proxy)), timeout_(timeout), cancel_(cancel) {}

CWebGrab::~CWebGrab() = default;

void CWebGrab::OpenSession() {
  if (session_) return;
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

bool CWebGrab::FetchUrl(const std::string& url, QByteArray& body, std::size_t limit) {
  WebAnswer answer = std::move(FetchAll({url}, limit).front());
  body = std::move(answer.body);
  status_ = answer.status;
  headers_ = std::move(answer.headers);
  error_ = std::move(answer.error);
  cancelled_ = answer.cancelled;
  return answer.ok;
}

std::vector<WebAnswer> CWebGrab::FetchAll(const std::vector<std::string>& urls, std::size_t limit) {
  std::vector<WebAnswer> answers(urls.size());
  if (cancel_ && cancel_->load()) {
    for (WebAnswer& a : answers) a.cancelled = true, a.error = "cancelled";
    return answers;
  }
  OpenSession();
  struct Pending {
    std::unique_ptr<QNetworkReply> reply;
    QByteArray body;
    bool tooLarge = false;
  };
  std::vector<Pending> pending(urls.size());
  QEventLoop loop;
  int open = 0;
  for (std::size_t i = 0; i < urls.size(); ++i) {
    const QUrl target(QString::fromStdString(urls[i]));
    if (!target.isValid() || target.host().isEmpty()) {
      answers[i].error = "not a usable address";
      continue;
    }
    QNetworkRequest request(target);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("qmxplayer/0.1 (map window)"));
    request.setTransferTimeout(int(timeout_.count()));
    Pending& p = pending[i];
    p.reply.reset(session_->get(request));
    ++open;
    QNetworkReply* reply = p.reply.get();
    QObject::connect(reply, &QNetworkReply::finished, &loop, [&] {
      if (--open == 0) loop.quit();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&p, reply, limit] {
      if (std::size_t(reply->bytesAvailable()) + std::size_t(p.body.size()) > limit) {
        p.tooLarge = true;
        reply->abort();
        return;
      }
      p.body += reply->readAll();
    });
  }
  const QDeadlineTimer deadline(timeout_);
  bool expired = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    const bool cancelled = cancel_ && cancel_->load();
    if (!cancelled && !deadline.hasExpired()) return;
    expired = !cancelled;
    for (Pending& p : pending)
      if (p.reply && !p.reply->isFinished()) p.reply->abort();
  });
  poll.start(kPollMilliseconds);
  if (open > 0) loop.exec(QEventLoop::ExcludeUserInputEvents);
  poll.stop();
  for (std::size_t i = 0; i < urls.size(); ++i)
    if (pending[i].reply)
      answers[i] = Settle(*pending[i].reply, std::move(pending[i].body), pending[i].tooLarge, expired, limit);
  return answers;
}

WebAnswer CWebGrab::Settle(QNetworkReply& reply, QByteArray body, bool tooLarge, bool expired,
                           std::size_t limit) const {
  WebAnswer a;
  if (!tooLarge && reply.error() == QNetworkReply::NoError) body += reply.readAll();
  const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
  a.status = status.isValid() ? status.toInt() : 0;
  a.headers = RawHeaders(reply);
  const bool aborted =
      reply.error() == QNetworkReply::OperationCanceledError || reply.error() == QNetworkReply::TimeoutError;
  if (tooLarge) {
    a.error = "the answer is larger than " + std::to_string(limit) + " bytes";
  } else if (aborted && cancel_ && cancel_->load() && !expired) {
    a.cancelled = true;
    a.error = "cancelled";
  } else if (aborted) {
    a.error = "timed out: no answer within " + std::to_string(timeout_.count()) + " ms";
  } else if (proxy_.mode != ProxyMode::kNone &&
             IsProxyRefusal(
                 reply, a.status,
                 proxy_.mode == ProxyMode::kManual && !BypassesNamedProxy(reply.url().host().toStdString()),
                 SendsProxyCredentials(proxy_))) {
    const std::string proxy = proxy_.mode == ProxyMode::kManual ? ProxyDescription(proxy_) : "of the system";
    const std::string code = ": HTTP " + std::to_string(a.status ? a.status : 407);
    a.error = SendsProxyCredentials(proxy_)
                  ? "the proxy " + proxy + " refused the user name and password" + code
                  : "the proxy " + proxy + " asks for a user name and password" + code;
  } else if (reply.error() != QNetworkReply::NoError && a.status == 0) {
    a.error = reply.errorString().toStdString();
  } else {
    // An HTTP error answer still has a body; whether it is a picture is the
    // caller's question.
    if (reply.error() != QNetworkReply::NoError) body += reply.readAll();
    a.ok = !body.isEmpty();
    if (!a.ok) a.error = "empty answer";
  }
  if (a.ok) a.body = std::move(body);
  return a;
}
