#include "map/proxy_config.h"

#include "map/text_rules.h"

ProxyConfig ProxyConfigFromSettings(const std::string& on, const std::string& server, const std::string& port,
                                    const std::string& authenticate, const std::string& user,
                                    const std::string& password) {
  ProxyConfig config;
  if (EqualsIgnoringCase(on, "yes")) {
    config.mode = ProxyMode::kManual;
  } else if (EqualsIgnoringCase(on, "auto")) {
    config.mode = ProxyMode::kAuto;
  }
  config.server = server;
  const long long number = LeadingDecimal(port);
  config.port = number >= 1 && number <= 65535 ? int(number) : 80;
  config.authenticate = EqualsIgnoringCase(authenticate, "yes");
  config.user = user;
  config.password = password;
  return config;
}

bool SendsProxyCredentials(const ProxyConfig& config) {
  return config.mode == ProxyMode::kManual && config.authenticate &&
         (!config.user.empty() || !config.password.empty());
}

std::string ProxyDescription(const ProxyConfig& config) {
  switch (config.mode) {
    case ProxyMode::kNone:
      return "direct";
    case ProxyMode::kAuto:
      return "system proxy configuration";
    case ProxyMode::kManual:
      break;
  }
  return config.server + ":" + std::to_string(config.port);
}

ProxyConfig ReadProxyConfig(const SettingReader& read) {
  return ProxyConfigFromSettings(read(kProxyOnSetting), read(kProxyServerSetting), read(kProxyPortSetting),
                                 read(kProxyAuthenticateSetting), read(kProxyUsernameSetting),
                                 read(kProxyPasswordSetting));
}

bool BypassesNamedProxy(const std::string& host) {
  return !host.empty() && host.find('.') == std::string::npos && host.find(':') == std::string::npos;
}
