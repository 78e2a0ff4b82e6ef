#!/usr/bin/env bash
# `tonalith lut` exports applied by the programs that read them (ffmpeg, OpenColorIO's tools,
# ImageMagick), compared with `tonalith apply` on the same pictures:
#   lut_test.sh CASE TONALITH RAW_PICTURES EXAMPLES_DIR
# Test pictures travel as raw RGB so that no tool's pixel-format conversion sits between the two
# results being compared.
set -uo pipefail
case_name=$1
tonalith=$2
raw=$3
examples=$4
# shellcheck source=command_test_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/command_test_lib.sh"

# apply_raw EXAMPLE IN.rgb OUT.rgb: `tonalith apply` on a 256x256 RGB24 picture, through PNG
# (ffmpeg's rgb24 <-> PNG is lossless both ways).
apply_raw() {
    ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt rgb24 -s 256x256 -i "$2" in.png || fail "ffmpeg: raw to PNG"
    "$tonalith" apply "$examples/$1.json" in.png applied.png || fail "apply $1"
    ffmpeg -nostdin -v error -y -i applied.png -f rawvideo -pix_fmt rgb24 "$3" || fail "ffmpeg: PNG to raw"
}

case $case_name in
ffmpeg_lut3d)
    # 65 points, tetrahedral, against apply: the cube's own error on every 8-bit colour (at most
    # 2.9, 1.5, 1.5 and 24.7 steps; more than 2 steps on at most 0.008%, 0, 0 and 1.2% of
    # channels: cmyk-print's steep K curve is what a lattice smooths worst) plus the step
    # ffmpeg's lut3d can lose by truncating its result to a whole step (it turns even an exact
    # identity cube's 255 into 254 now and then).
    "$raw" colours8 65536 16 >colours.rgb || fail "no test picture"
    while read -r look max share2; do
        "$tonalith" lut "$examples/$look.json" -o "$look.cube" || fail "export $look"
        [ "$(sed -n 2p "$look.cube")" = "LUT_3D_SIZE 65" ] || fail "$look: not a 65-point cube"
        [ "$(grep -c '^[0-9]' "$look.cube")" = 274625 ] || fail "$look: not 65^3 rows"
        apply_raw "$look" colours.rgb applied.rgb
        ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt rgb24 -s 256x256 -i colours.rgb \
            -vf "lut3d=file=$look.cube:interp=tetrahedral" -f rawvideo -pix_fmt rgb24 lut3d.rgb || fail "ffmpeg lut3d $look"
        echo -n "$look: "
        "$raw" compare applied.rgb lut3d.rgb 1 "$max" "$share2" || fail "$look: lut3d strays from apply"
    done <<'EOF'
teal-orange 4 0.02
warm-film 2 0
bleach-bypass 2 0
cmyk-print 26 1.2
EOF
    ;;
hald)
    # A level-16 Hald CLUT holds every 8-bit colour: nearest look-up is apply, to the bit.
    "$raw" colours8 65536 17 >colours.rgb || fail "no test picture"
    look=teal-orange
    "$tonalith" lut "$examples/$look.json" -o hald.png || fail "export $look"
    [ "$(ffprobe -v error -show_entries stream=width,height,pix_fmt -of csv=p=0 hald.png)" = "4096,4096,rgb24" ] \
        || fail "level 16 is an 8-bit 4096x4096 picture"
    apply_raw "$look" colours.rgb applied.rgb
    # haldclut takes both inputs in one pixel format: both are rgb24 here.
    ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt rgb24 -s 256x256 -i colours.rgb -i hald.png \
        -filter_complex '[0][1]haldclut=interp=nearest' -f rawvideo -pix_fmt rgb24 haldclut.rgb || fail "ffmpeg haldclut"
    cmp applied.rgb haldclut.rgb || fail "ffmpeg haldclut differs from apply"
    convert -size 256x256 -depth 8 rgb:colours.rgb hald.png -hald-clut -depth 8 rgb:magick.rgb || fail "convert -hald-clut"
    cmp applied.rgb magick.rgb || fail "ImageMagick -hald-clut differs from apply"
    # The same over all 16,777,216 colours, by the tool's own sweep.
    "$tonalith" lut --check hald.png --interp nearest --max-error 0 "$examples/$look.json" >check.txt \
        || fail "nearest look-up in the level-16 Hald CLUT is not apply: $(cat check.txt)"
    grep -q "maximum error: 0.00 steps" check.txt || fail "check did not report zero: $(cat check.txt)"
    # Lower levels are 16-bit pictures of level^3 pixels a side.
    "$tonalith" lut "$examples/warm-film.json" --level 8 -o hald8.png || fail "level 8"
    [ "$(ffprobe -v error -show_entries stream=width,height,pix_fmt -of csv=p=0 hald8.png)" = "512,512,rgb48be" ] \
        || fail "level 8 is a 16-bit 512x512 picture"
    convert -size 256x256 -depth 8 rgb:colours.rgb hald8.png -hald-clut -depth 8 rgb:magick8.rgb || fail "convert level 8"
    apply_raw warm-film colours.rgb applied8.rgb
    "$raw" compare applied8.rgb magick8.rgb 1 3 || fail "level 8 through ImageMagick strays from apply"
    ;;
ocio)
    "$tonalith" lut "$examples/teal-orange.json" --ocio look -o teal.cube || fail "export"
    [ -f look/config.ocio ] && [ -f look/teal-orange.cube ] || fail "config and cube not written: $(ls look)"
    cmp teal.cube look/teal-orange.cube || fail "the config's cube is not the -o cube"
    ociocheck --iconfig look/config.ocio >ociocheck.txt 2>&1 || fail "ociocheck: $(cat ociocheck.txt)"
    grep -q '^passed' ociocheck.txt || fail "ociocheck did not pass: $(cat ociocheck.txt)"
    grep -q 'src file found' ociocheck.txt || fail "ociocheck did not find the cube"
    ! grep -q '^ERROR' ociocheck.txt || fail "ociocheck errors: $(cat ociocheck.txt)"
    # At lattice points OpenColorIO gives back the cube's own rows (it prints six decimals).
    for point in "0 0 0" "64 64 64" "1 0 0" "0 1 0" "0 0 1" "13 40 64" "64 0 33" "32 17 5"; do
        read -r r g b <<<"$point"
        row=$(sed -n "$((5 + r + 65 * g + 4225 * b))p" teal.cube)
        got=$(ociochecklut teal.cube $(awk -v r="$r" -v g="$g" -v b="$b" 'BEGIN { printf "%.9f %.9f %.9f", r/64, g/64, b/64 }') \
            | tail -1)
        awk -v want="$row" -v got="$got" 'BEGIN {
            n = split(want, w, " "); m = split(got, x, " ");
            if (n != 3 || m != 3) exit 1;
            for (i = 1; i <= 3; ++i) { d = w[i] - x[i]; if (d < 0) d = -d; if (d > 2e-6) exit 1 }
        }' || fail "lattice point ($point): cube row '$row', ociochecklut '$got'"
    done
    # Between lattice points, on 16-bit pictures: OpenColorIO and ffmpeg within one code.
    "$raw" colours16 4096 18 >colours16.rgb || fail "no 16-bit test picture"
    ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt rgb48le -s 64x64 -i colours16.rgb -pix_fmt rgb48be in16.png || fail "to PNG"
    ocioconvert --lut teal.cube in16.png ocio-lut.png >/dev/null || fail "ocioconvert --lut"
    ffmpeg -nostdin -v error -y -i ocio-lut.png -f rawvideo -pix_fmt rgb48le ocio-lut.rgb || fail "from PNG"
    ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt rgb48le -s 64x64 -i colours16.rgb \
        -vf lut3d=file=teal.cube:interp=tetrahedral -f rawvideo -pix_fmt rgb48le lut3d16.rgb || fail "ffmpeg lut3d 16-bit"
    "$raw" compare ocio-lut.rgb lut3d16.rgb 2 1 || fail "OpenColorIO and ffmpeg disagree"
    if "$raw" compare ocio-lut.rgb colours16.rgb 2 1 >/dev/null 2>&1; then fail "the look changed nothing"; fi
    # The config's view applies the look; its other view leaves the picture alone.
    OCIO=look/config.ocio ocioconvert --view in16.png video view.png video teal-orange >/dev/null || fail "ocioconvert --view"
    ffmpeg -nostdin -v error -y -i view.png -f rawvideo -pix_fmt rgb48le view.rgb
    cmp view.rgb ocio-lut.rgb || fail "the config's view is not the look"
    OCIO=look/config.ocio ocioconvert --view in16.png video plain.png video unchanged >/dev/null || fail "view unchanged"
    ffmpeg -nostdin -v error -y -i plain.png -f rawvideo -pix_fmt rgb48le plain.rgb
    cmp plain.rgb colours16.rgb || fail "the unchanged view changed the picture"
    ;;
errors)
    look=$examples/warm-film.json
    expect_error "unknown LUT format; name it .cube (3D LUT) or .png (Hald CLUT)" "$tonalith" lut "$look" -o look.jpg
    expect_error "--level is for a Hald CLUT" "$tonalith" lut "$look" --level 4 -o look.cube
    expect_error "--size is for a .cube" "$tonalith" lut "$look" --size 17 -o look.png
    expect_error "lut needs -o FILE" "$tonalith" lut "$look"
    expect_error "--check measures an existing LUT" "$tonalith" lut --check x.cube "$look" -o y.cube
    for bad in "--size 1" "--size 130" "--level 1" "--level 17"; do
        # shellcheck disable=SC2086
        if "$tonalith" lut "$look" $bad -o look.cube >/dev/null 2>&1; then fail "accepted $bad"; fi
    done
    [ -z "$(ls -A | grep -v -x -e out.txt -e err.txt)" ] || fail "a refused export left files: $(ls -A)"
    printf 'LUT_3D_SIZE 2\n0 0 0\n' >short.cube
    expect_error "short.cube: 1 rows where LUT_3D_SIZE 2 needs 8" "$tonalith" lut --check short.cube "$look"
    # A chain is never overwritten by the export, whatever it is named.
    cp "$look" chain.cube
    expect_error "refusing to overwrite it" "$tonalith" lut chain.cube -o chain.cube
    cmp chain.cube "$look" || fail "the chain was changed"
    # A plug-in that cannot be loaded leaves no output, half-written or whole.
    expect_error "missing.so" "$tonalith" lut "$look" --plugin "$PWD/missing.so" -o gone.cube
    [ ! -e gone.cube ] && [ -z "$(ls -A | grep -v -x -e chain.cube -e short.cube -e out.txt -e err.txt)" ] \
        || fail "files left behind: $(ls -A)"
    # --check fails above --max-error: a 9-point cube of warm-film is several steps off.
    "$tonalith" lut "$look" --size 9 -o coarse.cube || fail "9-point export"
    if "$tonalith" lut --check coarse.cube --max-error 1 "$look" >check.txt 2>err.txt; then fail "--max-error 1 passed"; fi
    grep -q "above --max-error 1" err.txt || fail "no --max-error message: $(cat err.txt)"
    grep -q "9 points per side, tetrahedral" check.txt || fail "no report: $(cat check.txt)"
    ;;
*)
    fail "unknown case $case_name"
    ;;
esac
echo "ok: $case_name"
