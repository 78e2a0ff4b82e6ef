// What the configuration window must show, written out independently of the plug-in's own
// tables: the Linux tests (through the Win32 stand-in) and the Windows test host (through the
// real controls) both check the dialog against these. Shift-JIS bytes as the editor shows them.
#pragma once

#include <string>
#include <vector>

namespace tonalith::expected {

inline const std::string kRgb = "RGB\x95\xe2\x90\xb3";
inline const std::string kYc = "YCbCr\x95\xe2\x90\xb3";
inline const std::string kCmyk = "CMYK\x95\xe2\x90\xb3";
inline const std::string kHsv = "HSV\x95\xe2\x90\xb3";

inline const std::vector<std::string> kRgbLabels = {
    "R(off)    ", "R(lower)  ", "R(upper)  ", "R(gamm)   ", "R(-gam)   ", "G(off)    ",
    "G(lower)  ", "G(upper)  ", "G(gamm)   ", "G(-gam)   ", "B(off)    ", "B(lower)  ",
    "B(upper)  ", "B(gamm)   ", "B(-gam)   ", "           "};
inline const std::vector<std::string> kYcLabels = {
    "Y(clip1)  ", "Y(clip2)  ", "Y(offs)   ", "Y(lower)  ", "Y(upper)  ", "Y(0con)   ",
    "Y(1con)   ", "Y(gamm)   ", "Cb(off)   ", "Cb(con+)  ", "Cb(con-)  ", "Cb(gam)   ",
    "Cr(off)   ", "Cr(con+)  ", "Cr(con-)  ", "Cr(gam)   "};
inline const std::vector<std::string> kCmykLabels = {
    "C(off)    ", "C(lower)  ", "C(upper)  ", "C(gamm)   ", "M(off)    ", "M(lower)  ",
    "M(upper)  ", "M(gamm)   ", "Y(off)    ", "Y(lower)  ", "Y(upper)  ", "Y(gamm)   ",
    "K(off)    ", "K(lower)  ", "K(upper)  ", "K(gamm)   "};
inline const std::vector<std::string> kHsvLabels = {
    "H(offs)   ", "H(degree) ", "H(lower)  ", "H(upper)  ", "S(offs)   ", "S(lower)  ",
    "S(upper)  ", "S(gamm)   ", "S(con2)   ", "H(degree) ", "H(width)  ", "H(slope)  ",
    "V(offs)   ", "V(con)    ", "V(gamm)   ", "V(-gam)   "};

}  // namespace tonalith::expected
