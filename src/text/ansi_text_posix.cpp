#include "text/ansi_text.h"

#include <cerrno>
#include <iconv.h>

namespace {

// Converts with iconv; an unconvertible unit becomes "?" as the Windows
// default character would, so both directions always finish.
template <typename In, typename Out>
Out Convert(const In& in, const char* to, const char* from, typename Out::value_type fallback) {
    Out out;
    if (in.empty()) {
        return out;
    }
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return out;
    }
    using OutChar = typename Out::value_type;
    char* src = const_cast<char*>(reinterpret_cast<const char*>(in.data()));
    size_t srcLeft = in.size() * sizeof(typename In::value_type);
    OutChar buf[256];
    while (srcLeft > 0) {
        char* dst = reinterpret_cast<char*>(buf);
        size_t dstLeft = sizeof(buf);
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, (sizeof(buf) - dstLeft) / sizeof(OutChar));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            // Skip one input unit that cannot be converted (or is truncated).
            size_t unit = sizeof(typename In::value_type);
            src += unit;
            srcLeft = srcLeft >= unit ? srcLeft - unit : 0;
            out.push_back(fallback);
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

} // namespace

std::string ToAnsi(const std::wstring& text) {
    return Convert<std::wstring, std::string>(text, "CP936", "WCHAR_T", '?');
}

std::wstring FromAnsi(const std::string& bytes) {
    return Convert<std::string, std::wstring>(bytes, "WCHAR_T", "CP936", L'?');
}
