// Decodes Shift-JIS (code page 932) to UTF-8 the way the editor's machines read the texts.
#pragma once

#include <iconv.h>

#include <stdexcept>
#include <string>

namespace tonalith::testing {

inline std::string Utf8FromShiftJis(const std::string& text) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no CP932 converter");
    std::string in = text;
    std::string out(text.size() * 3 + 4, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    size_t inLeft = in.size(), outLeft = out.size();
    const size_t converted = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (converted == static_cast<size_t>(-1)) throw std::runtime_error("not valid Shift-JIS: " + text);
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace tonalith::testing
