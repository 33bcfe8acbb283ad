#pragma once
// Texts the recorder sends (source names) are bytes of the system's 8-bit
// code page. They are decoded only to be shown; every text sent back to the
// recorder is the bytes it sent, never a decoded copy.

#include <QString>
#include <string>

namespace corvanta {

// `bytes` decoded as the 8-bit code page of the current locale; Latin-1
// when the locale names none (UTF-8, plain ASCII) or one that cannot be
// converted.
QString FromCodePage(const std::string& bytes);

}  // namespace corvanta
