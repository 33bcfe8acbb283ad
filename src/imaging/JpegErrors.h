#pragma once
// Error handling shared by the JPEG reader and writer. libjpeg's default
// error handler calls exit(); ours jumps back to the call that set `jump`,
// which then cleans up and returns 0.

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace corvanta::jpeg_detail {

struct ErrorManager {
    jpeg_error_mgr pub;  // first member: libjpeg hands us a pointer to it
    std::jmp_buf jump;
};

// Points `manager` at our handlers and returns its libjpeg part.
// Warnings that mean the pixels would be wrong (truncated or corrupt
// entropy-coded data) are treated as errors.
jpeg_error_mgr* InstallErrorManager(ErrorManager& manager);

}  // namespace corvanta::jpeg_detail
