#include "base/version.h"

const char* PlayerVersion() {
  return QMX_VERSION;
}
