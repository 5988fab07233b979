// The proxy dialog: what it shows for the stored values, its enable rules,
// and what OK and Cancel store.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <fstream>
#include <sstream>

#include "base/settings.h"
#include "map/proxy_config.h"
#include "map_test_support.h"
#include "ui/proxy_settings_dialog.h"

namespace {

struct Shown {
  std::string mode;  // "none", "use", "scan"
  bool addressEnabled, userEnabled, boxChecked;
  std::string address, port, user, password;
  bool operator==(const Shown&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Shown& s) {
  return out << s.mode << " address " << s.addressEnabled << " user " << s.userEnabled << " box "
             << s.boxChecked << " [" << s.address << "|" << s.port << "|" << s.user << "|" << s.password
             << "]";
}

Shown Look(const CProxySettings& d) {
  auto radio = [&](const char* name) { return d.findChild<QRadioButton*>(name)->isChecked(); };
  auto edit = [&](const char* name) { return d.findChild<QLineEdit*>(name); };
  // Exactly one radio button is on.
  EXPECT_EQ(int(radio("noProxy")) + int(radio("useProxy")) + int(radio("scanProxy")), 1);
  const std::string mode = radio("useProxy") ? "use" : radio("scanProxy") ? "scan" : "none";
  const bool addressEnabled = edit("address")->isEnabled();
  EXPECT_EQ(edit("port")->isEnabled(), addressEnabled);
  EXPECT_EQ(d.findChild<QCheckBox*>("authenticate")->isEnabled(), addressEnabled);
  EXPECT_EQ(edit("password")->isEnabled(), edit("username")->isEnabled());
  EXPECT_EQ(edit("password")->echoMode(), QLineEdit::Password);
  return {mode,
          addressEnabled,
          edit("username")->isEnabled(),
          d.findChild<QCheckBox*>("authenticate")->isChecked(),
          edit("address")->text().toStdString(),
          edit("port")->text().toStdString(),
          edit("username")->text().toStdString(),
          edit("password")->text().toStdString()};
}

void Click(CProxySettings& d, const char* name) {
  d.findChild<QAbstractButton*>(name)->click();
}

}  // namespace

TEST(ProxySettings, OpensOnTheStoredValuesAndFollowsTheEnableRules) {
  const struct {
    const char* what;
    std::vector<std::string> stored;  // on, server, port, authenticate, user, password
    std::vector<const char*> clicks;
    Shown expected;
  } rows[] = {
      {"nothing stored", {"", "", "", "", "", ""}, {}, {"none", false, false, false, "", "", "", ""}},
      {"AUTO in capitals",
       {"AUTO", "p", "1", "yes", "u", "w"},
       {},
       {"scan", false, false, true, "p", "1", "u", "w"}},
      {"named proxy with authentication",
       {"Yes", "10.1.1.1", "3128", "YES", "u", "w"},
       {},
       {"use", true, true, true, "10.1.1.1", "3128", "u", "w"}},
      {"named proxy without authentication",
       {"yes", "10.1.1.1", "", "no", "u", "w"},
       {},
       {"use", true, false, false, "10.1.1.1", "", "u", "w"}},
      {"use, then check the box",
       {"no", "", "", "no", "", ""},
       {"useProxy", "authenticate"},
       {"use", true, true, true, "", "", "", ""}},
      {"use with the box checked, then scan",
       {"yes", "h", "", "yes", "", ""},
       {"scanProxy"},
       {"scan", false, false, true, "h", "", "", ""}},
      {"scan, then use again with the box checked",
       {"auto", "h", "", "yes", "", ""},
       {"useProxy"},
       {"use", true, true, true, "h", "", "", ""}},
      {"box unchecked again",
       {"yes", "", "", "yes", "", ""},
       {"authenticate"},
       {"use", true, false, false, "", "", "", ""}},
  };
  for (const auto& row : rows) {
    StoreProxy(row.stored[0], row.stored[1], row.stored[2], row.stored[3], row.stored[4], row.stored[5]);
    CProxySettings dialog;
    dialog.show();
    for (const char* name : row.clicks) Click(dialog, name);
    EXPECT_EQ(Look(dialog), row.expected) << row.what;
  }
}

TEST(ProxySettings, OkStoresAllSixAndCancelNothing) {
  const struct {
    const char* what;
    const char* choose;
    bool ok;
    std::vector<std::string> expected;  // on, server, port, authenticate, user, password
  } rows[] = {
      {"OK in scan mode keeps the typed fields",
       "scanProxy",
       true,
       {"auto", "proxy.lan", "8080", "yes", "ann", "pa ss"}},
      {"OK with a named proxy", "useProxy", true, {"yes", "proxy.lan", "8080", "yes", "ann", "pa ss"}},
      {"OK without proxy", "noProxy", true, {"no", "proxy.lan", "8080", "yes", "ann", "pa ss"}},
      {"Cancel", "noProxy", false, {"yes", "old", "1", "no", "", ""}},
  };
  for (const auto& row : rows) {
    StoreProxy("yes", "old", "1", "no", "", "");
    {
      CProxySettings dialog;
      dialog.show();
      Click(dialog, "useProxy");
      dialog.findChild<QLineEdit*>("address")->setText("proxy.lan");
      dialog.findChild<QLineEdit*>("port")->setText("8080");
      Click(dialog, "authenticate");
      QTest::keyClicks(dialog.findChild<QLineEdit*>("username"), "ann");
      QTest::keyClicks(dialog.findChild<QLineEdit*>("password"), "pa ss");
      Click(dialog, row.choose);
      if (row.ok) {
        dialog.accept();
      } else {
        dialog.reject();
      }
    }
    const std::vector<std::string> stored = {
        ReadSetting(kProxyOnSetting),       ReadSetting(kProxyServerSetting),
        ReadSetting(kProxyPortSetting),     ReadSetting(kProxyAuthenticateSetting),
        ReadSetting(kProxyUsernameSetting), ReadSetting(kProxyPasswordSetting)};
    EXPECT_EQ(stored, row.expected) << row.what;
  }
  // The file holding the password is the user's alone.
  struct stat st {};
  ASSERT_EQ(::stat(SettingsFilePath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}
