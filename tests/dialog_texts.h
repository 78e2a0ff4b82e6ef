// What the configuration window must show, written out independently of the plug-in's own
// tables: the Linux tests (through the Win32 stand-in) and the Windows test host (through the
// real controls) both check the dialog against these. Shift-JIS bytes as the editor shows them.
#pragma once

#include <cstdint>
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

// The controls, in creation order: sixteen labels, the model selector, the stage list and three
// buttons. A null text: set later (the labels show the current stage's model).
struct ControlLayout {
    const char* className;
    const char* text;
    uint32_t style;
    int x, y, width, height;
    intptr_t id;
    bool labelFont;  // drawn with the label font, not the system font
};

inline std::vector<ControlLayout> Controls() {
    std::vector<ControlLayout> controls;
    for (int i = 0; i < 16; ++i)
        controls.push_back({"STATIC", nullptr, 0x5000000B, 8, 16 + 24 * i, 50, 12, 0, true});
    controls.push_back({"COMBOBOX", "", 0x50000003, 315, 16, 100, 100, 6000, false});
    controls.push_back({"LISTBOX", "", 0x50800001, 315, 56, 100, 190, 6001, false});
    controls.push_back({"BUTTON", "\x92\xc7\x89\xc1", 0x50000001, 315, 260, 96, 24, 6002, true});
    controls.push_back({"BUTTON", "\x8d\xed\x8f\x9c", 0x50000001, 315, 290, 96, 24, 6003, true});
    controls.push_back({"BUTTON", "\x83\x66\x83\x74\x83\x48\x83\x8b\x83\x67\x82\xc9\x96\xdf\x82\xb7",
                        0x50000001, 315, 320, 96, 24, 6004, true});
    return controls;
}

// The label font: 12 pixels high, normal weight, Shift-JIS, proof quality, modern family,
// "ＭＳ Ｐゴシック".
struct FontRequest {
    int height, width, escapement, orientation, weight;
    uint32_t italic, underline, strikeOut, charSet, outputPrecision, clipPrecision, quality,
        pitchAndFamily;
    std::string faceName;
};
inline const FontRequest kLabelFont = {12, 0, 0, 0, 400, 0, 0, 0, 128, 0, 0, 2, 0x30,
                                       "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e"};

}  // namespace tonalith::expected
