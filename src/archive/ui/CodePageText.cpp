#include "archive/ui/CodePageText.h"

#include <iconv.h>
#include <langinfo.h>
#include <strings.h>

#include <algorithm>
#include <vector>

namespace corvanta {

namespace {

// The locale's code set, or empty when it is UTF-8: a Linux locale names
// no code page then. A 7-bit set (plain ASCII) fails to convert.
std::string EightBitCodeSet() {
    const char* codeSet = nl_langinfo(CODESET);
    if (!codeSet || !*codeSet || strcasecmp(codeSet, "UTF-8") == 0 || strcasecmp(codeSet, "UTF8") == 0) return {};
    return codeSet;
}

// `bytes` from `codeSet` to UTF-8; false when iconv cannot do it whole.
bool Convert(const std::string& codeSet, const std::string& bytes, std::string& utf8) {
    iconv_t cd = iconv_open("UTF-8", codeSet.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string in = bytes;
    std::vector<char> out(bytes.size() * 4 + 4);  // an 8-bit character takes at most 4 bytes of UTF-8
    char* from = in.data();
    size_t fromLeft = in.size();
    char* to = out.data();
    size_t toLeft = out.size();
    const bool ok = iconv(cd, &from, &fromLeft, &to, &toLeft) != size_t(-1) && fromLeft == 0;
    iconv_close(cd);
    if (ok) utf8.assign(out.data(), out.size() - toLeft);
    return ok;
}

}  // namespace

QString FromCodePage(const std::string& bytes) {
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return (unsigned char)c < 0x80; });
    if (!ascii) {
        std::string utf8;
        if (const std::string codeSet = EightBitCodeSet(); !codeSet.empty() && Convert(codeSet, bytes, utf8))
            return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    }
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

}  // namespace corvanta
