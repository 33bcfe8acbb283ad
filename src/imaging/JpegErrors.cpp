#include "imaging/JpegErrors.h"

#include <jerror.h>

namespace corvanta::jpeg_detail {
namespace {

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(manager->jump, 1);
}

// libjpeg patches over damaged data with grey and only warns; a frame
// repaired that way is not the recorder's picture, so it is refused.
bool WarningSpoilsPixels(int code) {
    switch (code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
        return true;
    default:
        return false;
    }
}

void EmitMessage(j_common_ptr cinfo, int level) {
    // Level -1 is a warning; higher levels are trace output, never printed.
    if (level < 0) {
        cinfo->err->num_warnings++;
        if (WarningSpoilsPixels(cinfo->err->msg_code)) {
            ErrorExit(cinfo);
        }
    }
}

// Nothing is printed: failures are reported by the return value only.
void OutputMessage(j_common_ptr) {}

}  // namespace

jpeg_error_mgr* InstallErrorManager(ErrorManager& manager) {
    jpeg_error_mgr* pub = jpeg_std_error(&manager.pub);
    pub->error_exit = ErrorExit;
    pub->emit_message = EmitMessage;
    pub->output_message = OutputMessage;
    return pub;
}

}  // namespace corvanta::jpeg_detail
