#include "snapshot/jpeg_error_manager.h"

#include <jerror.h>

namespace {

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, manager->message);
  std::longjmp(manager->recovery, 1);
}

void EmitMessage(j_common_ptr cinfo, int level) {
  const auto* manager = reinterpret_cast<const JpegErrorManager*>(cinfo->err);
  if (level >= 0 || !manager->damagedDataIsFatal) return;
  const bool stray = cinfo->err->msg_code == JWRN_EXTRANEOUS_DATA;
  if (!stray || (manager->strayBytesAllowed >= 0 && cinfo->err->msg_parm.i[0] > manager->strayBytesAllowed))
    ErrorExit(cinfo);
}

// libjpeg's own output_message writes to stderr; every message it has for us
// reaches the caller through ErrorExit instead.
void SwallowMessage(j_common_ptr) {}

}  // namespace

jpeg_error_mgr* InstallJpegErrorManager(JpegErrorManager& manager, bool damagedDataIsFatal) {
  jpeg_std_error(&manager.pub);
  manager.pub.error_exit = ErrorExit;
  manager.pub.emit_message = EmitMessage;
  manager.pub.output_message = SwallowMessage;
  manager.message[0] = '\0';
  manager.damagedDataIsFatal = damagedDataIsFatal;
  manager.strayBytesAllowed = -1;
  return &manager.pub;
}
