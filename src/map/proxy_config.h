#pragma once

// How map requests reach the web: directly, through a named HTTP proxy
// (optionally with a user name and password), or through the computer's own
// proxy configuration. Built from the six stored proxy texts. Plain C++.
//
// The password is a secret: nothing here prints it, and ProxyDescription
// never includes it.

#include <functional>
#include <string>

// Names of the six stored values (the settings store's flat strings).
inline constexpr const char* kProxyOnSetting = "ProxyOn";
inline constexpr const char* kProxyServerSetting = "ProxyServer";
inline constexpr const char* kProxyPortSetting = "ProxyPort";
inline constexpr const char* kProxyAuthenticateSetting = "ProxyAuthenticate";
inline constexpr const char* kProxyUsernameSetting = "ProxyUsername";
inline constexpr const char* kProxyPasswordSetting = "ProxyPassword";

// Reads one stored value by name ("" when absent): the settings store's
// ReadSetting, or a table in tests.
using SettingReader = std::function<std::string(const std::string& name)>;

enum class ProxyMode { kNone, kManual, kAuto };

struct ProxyConfig {
  ProxyMode mode = ProxyMode::kNone;
  std::string server;
  int port = 80;  // 1..65535
  bool authenticate = false;
  std::string user;
  std::string password;
};

// The stored texts as the map reads them: `on` "yes" (ignoring case) =
// named proxy, "auto" = the computer's configuration, anything else none;
// `port` by a plain decimal conversion, where 0, nothing or a value that is
// no port at all means 80; `authenticate` "yes" (ignoring case).
ProxyConfig ProxyConfigFromSettings(const std::string& on, const std::string& server, const std::string& port,
                                    const std::string& authenticate, const std::string& user,
                                    const std::string& password);

// The same from the store.
ProxyConfig ReadProxyConfig(const SettingReader& read);

// Whether the named proxy gets credentials: authentication asked for and a
// user name or a password given.
bool SendsProxyCredentials(const ProxyConfig& config);

// Whether a request to `host` goes direct although a named proxy is set:
// local names (no dot, as "localhost" or an intranet host) bypass it, as
// the "<local>" bypass list says. Addresses (IPv4, IPv6) never do.
bool BypassesNamedProxy(const std::string& host);

// "server:port" of a named proxy, for messages and tests; never the password.
std::string ProxyDescription(const ProxyConfig& config);
