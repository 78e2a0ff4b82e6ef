#!/usr/bin/env bash
# Writes docs/tracks.md and its strips (docs/tracks/*.png): every track of every model, what it
# does (from `tonalith models`, the one place that says it) and a before/after strip made by the
# tool itself. Needs ImageMagick for the input strips and for stacking rows.
#   scripts/tracks-doc.sh [TONALITH]   (default: build/linux/cli/tonalith)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tonalith=${1:-$root/build/linux/cli/tonalith}
out="$root/docs/tracks"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
rm -f "$out"/*.png

# Input strips, 256 pixels wide: a grey ramp, and a hue strip in the plug-in's hue order
# (blue, magenta, red, yellow, green, cyan, back to blue), at moderate saturation.
convert -size 12x256 gradient:black-white -rotate -90 -define png:color-type=2 "$work/ramp.png"
convert -size 12x256 gradient:black-white -rotate 90 \( +clone -fill '#999999' -colorize 100 \) \
    \( +clone -fill '#e6e6e6' -colorize 100 \) -set colorspace HSB -combine -colorspace sRGB \
    -flop -roll -170+0 -depth 8 "$work/hue.png"

# model | track | input | stage settings of each after-row (';' between rows)
table="
RGB|0|ramp|R(off)=-40;R(off)=40
RGB|1|ramp|R(lower)=-80;R(lower)=80
RGB|2|ramp|R(upper)=-80;R(upper)=80
RGB|3|ramp|R(gamm)=-128;R(gamm)=128
RGB|4|ramp|R(-gam)=-128;R(-gam)=128
RGB|5|ramp|G(off)=-40;G(off)=40
RGB|6|ramp|G(lower)=-80;G(lower)=80
RGB|7|ramp|G(upper)=-80;G(upper)=80
RGB|8|ramp|G(gamm)=-128;G(gamm)=128
RGB|9|ramp|G(-gam)=-128;G(-gam)=128
RGB|10|ramp|B(off)=-40;B(off)=40
RGB|11|ramp|B(lower)=-80;B(lower)=80
RGB|12|ramp|B(upper)=-80;B(upper)=80
RGB|13|ramp|B(gamm)=-128;B(gamm)=128
RGB|14|ramp|B(-gam)=-128;B(-gam)=128
YCbCr|0|ramp|Y(clip1)=64;Y(clip1)=128
YCbCr|1|ramp|Y(clip2)=-64;Y(clip2)=-128
YCbCr|2|ramp|Y(offs)=-40;Y(offs)=40
YCbCr|3|ramp|Y(lower)=-128;Y(lower)=128
YCbCr|4|ramp|Y(upper)=-128;Y(upper)=128
YCbCr|5|ramp|Y(0con)=-96;Y(0con)=96
YCbCr|6|ramp|Y(1con)=-96;Y(1con)=96
YCbCr|7|ramp|Y(gamm)=-128;Y(gamm)=128
YCbCr|8|hue|Cb(off)=-20;Cb(off)=20
YCbCr|9|hue|Cb(con+)=-200;Cb(con+)=200
YCbCr|10|hue|Cb(con-)=-200;Cb(con-)=200
YCbCr|11|hue|Cb(gam)=-128;Cb(gam)=128
YCbCr|12|hue|Cr(off)=-20;Cr(off)=20
YCbCr|13|hue|Cr(con+)=-200;Cr(con+)=200
YCbCr|14|hue|Cr(con-)=-200;Cr(con-)=200
YCbCr|15|hue|Cr(gam)=-128;Cr(gam)=128
CMYK|0|hue|C(off)=-40;C(off)=40
CMYK|1|hue|C(lower)=-80;C(lower)=80
CMYK|2|hue|C(upper)=-80;C(upper)=80
CMYK|3|hue|C(gamm)=-128;C(gamm)=128
CMYK|4|hue|M(off)=-40;M(off)=40
CMYK|5|hue|M(lower)=-80;M(lower)=80
CMYK|6|hue|M(upper)=-80;M(upper)=80
CMYK|7|hue|M(gamm)=-128;M(gamm)=128
CMYK|8|hue|Y(off)=-40;Y(off)=40
CMYK|9|hue|Y(lower)=-80;Y(lower)=80
CMYK|10|hue|Y(upper)=-80;Y(upper)=80
CMYK|11|hue|Y(gamm)=-128;Y(gamm)=128
CMYK|12|ramp|K(off)=-40;K(off)=40
CMYK|13|ramp|K(lower)=-80;K(lower)=80
CMYK|14|ramp|K(upper)=-80;K(upper)=80
CMYK|15|ramp|K(gamm)=-128;K(gamm)=128
HSV|0|hue|H(offs)=-90;H(offs)=90
HSV|1|hue|1=109, H(lower)=60;1=232, H(lower)=60
HSV|2|hue|1=109, H(lower)=-60;1=109, H(lower)=60
HSV|3|hue|1=109, H(upper)=-60;1=109, H(upper)=60
HSV|4|hue|S(offs)=-40;S(offs)=40
HSV|5|hue|S(lower)=-128;S(lower)=128
HSV|6|hue|S(upper)=-128;S(upper)=128
HSV|7|hue|S(gamm)=-128;S(gamm)=128
HSV|8|hue|S(con2)=-256, 9=109, H(width)=30, H(slope)=30;S(con2)=200, 9=109, H(width)=30, H(slope)=30
HSV|9|hue|S(con2)=-256, 9=0, H(width)=20;S(con2)=-256, 9=171, H(width)=20
HSV|10|hue|S(con2)=-256, 9=232, H(width)=10;S(con2)=-256, 9=232, H(width)=60
HSV|11|hue|S(con2)=-256, 9=232, H(width)=10, H(slope)=10;S(con2)=-256, 9=232, H(width)=10, H(slope)=60
HSV|12|ramp|V(offs)=-40;V(offs)=40
HSV|13|ramp|V(con)=-128;V(con)=128
HSV|14|ramp|V(gamm)=-128;V(gamm)=128
HSV|15|ramp|V(-gam)=-128;V(-gam)=128
"

picture() {  # MODEL TRACK INPUT ROWS -> docs/tracks/model-track.png
    local model=$1 track=$2 input=$3 rows=$4 i=0 parts=("$work/$input.png")
    IFS=';' read -ra settings <<<"$rows"
    for s in "${settings[@]}"; do
        "$tonalith" apply --stage "$model: $s" "$work/$input.png" "$work/row$i.png"
        parts+=("$work/row$i.png")
        i=$((i + 1))
    done
    local name
    name=$(echo "$model" | tr 'A-Z' 'a-z')-$track.png
    convert "${parts[@]}" -background white -splice 0x2 -append -chop 0x2 "$out/$name"
    echo "$name"
}

{
    cat <<'EOF_HEAD'
# Tracks

Every stage of a chain has sixteen tracks (the host's sliders); what each does depends on the
stage's model. This page is written by `scripts/tracks-doc.sh` from `tonalith models` (which
prints the same tables) and from strips the tool graded itself: the top row of each strip is the
input (a grey ramp, or a strip of hues in the order below), the rows under it the same strip
through one stage with the settings named beside it.

All tracks default to 0, and a stage whose tracks are all 0 changes nothing. Ranges are those the
plug-in keeps; a chain file or `--stage` value outside them is refused.

## Hue degrees

HSV hues are angles in the YCbCr colour plane, 0 on +Cb (blue) and turning toward +Cr (red), 360
to a turn. They are not the usual HSV hue angle (where 0 is red):

| degrees | 0 | 52 | 109 | 120-150 | 171 | 232 | 289 |
|---|---|---|---|---|---|---|---|
| colour | blue | magenta | red | orange, skin | yellow | green | cyan |

The hue strip below runs through them from left to right, roughly in proportion:
![hue strip](tracks/hue-strip.png)

A **hue window** acts on the colours whose hue (after the hue map) is near its centre: S(con2)
sets its strength, the second H(degree) (track 9) its centre, H(width) the half-width of its flat
part and H(slope) the fade on each side. Tracks 1 and 9 share the label H(degree): name them by
index (`"1"`, `"9"`) in chains and in `--stage`. Example: greying the greens,
`--stage 'HSV: S(con2)=-256, 9=232, H(width)=30, H(slope)=20'`.

## Words in the labels

- `off`/`offs`: an offset added to the whole curve. `lower`/`upper`: the ends of a straight
  stretch line (positive values clip, negative ones compress). `gamm`: a power curve through both
  ends (positive lifts the middle). `-gam`: a power curve bent from the white end (positive
  lowers the middle).
- `Y(0con)`: Y contrast pivoting on black (black stays, white moves). `Y(1con)`: pivoting on white.
  `Y(clip1)`/`Y(clip2)`: the lowest and highest Y allowed.
- `Cb(con+)`/`Cr(con+)` scale the negative half of the chroma axis (yellowish for Cb, greenish
  for Cr), `Cb(con-)`/`Cr(con-)` the other half, each by (256 + value)/256.
- `S(con2)`: the saturation factor inside the hue window; `H(slope)`: the width of the window's
  fade.
EOF_HEAD
    for model in RGB YCbCr CMYK HSV; do
        echo
        echo "## $model"
        echo
        "$tonalith" models "$model" | head -1 | sed 's/^[^:]*: //; s/$/./'
        echo
        echo "| index | label | range | what it does | before / after |"
        echo "|---|---|---|---|---|"
        "$tonalith" models "$model" | sed -n '3,18p' | while read -r index label range default meaning; do
            row=$(echo "$table" | grep "^$model|$index|" || true)
            if [ -z "$row" ]; then
                echo "| $index | $label | $range | $meaning | |"
                continue
            fi
            IFS='|' read -r _ _ input rows <<<"$row"
            name=$(picture "$model" "$index" "$input" "$rows")
            echo "| $index | \`$label\` | $range | $meaning | ![$model $label](tracks/$name) input; ${rows//;/; } |"
        done
    done
} >"$work/tracks.md"
cp "$work/hue.png" "$out/hue-strip.png"
mv "$work/tracks.md" "$root/docs/tracks.md"
echo "docs/tracks.md, $(ls "$out" | wc -l) pictures in docs/tracks/"
