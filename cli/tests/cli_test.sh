#!/usr/bin/env bash
# Whole command lines of the tonalith tool: cli_test.sh CASE TONALITH EXAMPLES_DIR
set -uo pipefail
case_name=$1
tonalith=$2
examples=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

# Runs a command that must fail; its stderr must contain the expected text.
expect_error() {
    local expected=$1
    shift
    if "$@" >out.txt 2>err.txt; then fail "succeeded: $*"; fi
    grep -qF -- "$expected" err.txt || fail "expected '$expected' from: $*; got: $(cat err.txt)"
}

synthetic() {  # synthetic FORMAT: five frames of testsrc2 at 64x48 as y4m on stdout
    ffmpeg -v error -f lavfi -i testsrc2=size=64x48:rate=5 -frames:v 5 -pix_fmt "$1" -strict -1 -f yuv4mpegpipe -
}

case $case_name in
pipe)
    # ffmpeg -> tonalith -> ffmpeg, through a lossless codec; content compared frame by frame.
    synthetic yuv444p >src.y4m || fail "ffmpeg could not make the source"
    ffmpeg -v error -i src.y4m -f framemd5 src.md5
    cat src.y4m | "$tonalith" apply --stage 'YCbCr' - - | ffmpeg -v error -f yuv4mpegpipe -i - -c:v ffv1 same.mkv \
        || fail "identity pipe failed"
    ffmpeg -v error -i same.mkv -pix_fmt yuv444p -f framemd5 same.md5
    [ "$(grep -vc '^#' same.md5)" = 5 ] || fail "expected 5 frames, got $(grep -vc '^#' same.md5)"
    diff <(grep -v '^#' src.md5 | awk -F, '{print $NF}') <(grep -v '^#' same.md5 | awk -F, '{print $NF}') \
        || fail "identity chain changed the frames"
    "$tonalith" apply "$examples/warm-film.json" - - <src.y4m | ffmpeg -v error -f yuv4mpegpipe -i - -c:v ffv1 warm.mkv \
        || fail "warm pipe failed"
    ffmpeg -v error -i warm.mkv -pix_fmt yuv444p -f framemd5 warm.md5
    [ "$(grep -vc '^#' warm.md5)" = 5 ] || fail "warm: expected 5 frames"
    [ "$(grep -v '^#' warm.md5 | awk -F, '{print $NF}' | sort -u | wc -l)" = 5 ] || fail "frames should differ"
    if diff -q <(grep -v '^#' src.md5 | awk -F, '{print $NF}') <(grep -v '^#' warm.md5 | awk -F, '{print $NF}') >/dev/null; then
        fail "warm-film left the frames unchanged"
    fi
    ;;
pipe_10bit)
    synthetic yuv444p10le >src.y4m || fail "ffmpeg could not make the source"
    head -c 40 src.y4m | grep -q C444p10 || fail "ffmpeg did not write C444p10"
    "$tonalith" apply --stage 'YCbCr' src.y4m out.y4m || fail "apply failed"
    cmp src.y4m out.y4m || fail "a zero YCbCr chain changed a 10-bit stream"
    ;;
subsampled)
    # 4:2:0 and 4:2:2 as ffmpeg writes them, straight through with no -pix_fmt on either side.
    for fmt in yuv420p yuv422p yuv420p10le yuv422p12le; do
        synthetic $fmt >src.y4m || fail "ffmpeg could not make $fmt"
        "$tonalith" apply --stage 'YCbCr' - - <src.y4m >same.y4m || fail "$fmt: apply failed"
        cmp src.y4m same.y4m || fail "$fmt: a zero YCbCr chain changed the stream"
        "$tonalith" apply "$examples/teal-orange.json" - - <src.y4m | ffmpeg -v error -y -f yuv4mpegpipe -i - -f framemd5 out.md5 \
            || fail "$fmt: ffmpeg could not read the output"
        [ "$(grep -vc '^#' out.md5)" = 5 ] || fail "$fmt: expected 5 frames"
    done
    expect_error "use -pix_fmt yuv420p" "$tonalith" apply --stage 'RGB' - - < <(synthetic gray)
    ;;
reader_stops)
    # The next program in the pipe stops reading after a few bytes: tonalith reports the closed
    # pipe and stops, whether its own input is a file or a pipe that is still writing.
    ffmpeg -v error -f lavfi -i testsrc2=size=320x240:rate=25 -frames:v 100 -pix_fmt yuv420p -f yuv4mpegpipe - >src.y4m
    set +o pipefail
    status=$( { "$tonalith" apply --threads 2 --stage 'HSV: H(offs)=30' src.y4m - 2>err.txt; echo $? >status.txt; } | head -c 5000 | wc -c)
    [ "$status" = 5000 ] || fail "head got $status bytes"
    [ "$(cat status.txt)" = 1 ] || fail "exit status $(cat status.txt) after the reader stopped"
    grep -qF "write failed" err.txt || fail "no write error reported: $(cat err.txt)"
    { cat src.y4m; sleep 5; } | timeout 4 "$tonalith" apply --stage 'RGB' - - 2>err2.txt | head -c 5000 >/dev/null
    [ "${PIPESTATUS[1]}" = 1 ] || fail "tonalith did not stop on its own (status ${PIPESTATUS[1]})"
    set -o pipefail
    ;;
chain_forms)
    "$tonalith" chain convert "$examples/teal-orange.json" look.bin || fail "json -> block"
    [ "$(stat -c %s look.bin)" = 680 ] || fail "block is not 680 bytes"
    "$tonalith" chain convert look.bin look.json || fail "block -> json"
    "$tonalith" chain convert look.json again.bin || fail "json -> block again"
    cmp look.bin again.bin || fail "round trip changed the block"
    # Told apart by content, not by name.
    cp look.bin misnamed.json
    cp look.json misnamed.bin
    "$tonalith" chain show misnamed.json >a.txt || fail "show block named .json"
    "$tonalith" chain show misnamed.bin >b.txt || fail "show json named .bin"
    cmp a.txt b.txt || fail "the two forms show differently"
    grep -q "H(degree)" a.txt || fail "no labels in the table"
    grep -q "stage 3: RGB" a.txt || fail "no stage header"
    "$tonalith" chain convert --stage 'HSV: H(offs)=30, S(con2)=64' --stage 'RGB: 4=-3' built.json
    grep -q '"H(offs)": 30' built.json || fail "--stage did not build the chain"
    grep -q '"R(-gam)": -3' built.json || fail "index did not resolve"
    # A block as a host stores it may hold what the plug-in clamps: shown with a warning.
    printf '\x2c\x01\x00\x00' | cat - <(head -c 676 /dev/zero) >clamp.bin
    "$tonalith" chain show clamp.bin >c.txt || fail "show clamped"
    grep -q "R(off) = 300 is outside -256..256; the plug-in clamps it to 256" c.txt || fail "no clamp warning"
    ;;
errors)
    printf '{"stages": [' >broken.json
    expect_error "broken.json: malformed JSON" "$tonalith" chain show broken.json
    head -c 600 /dev/zero >short.bin
    expect_error "short.bin: neither a JSON chain nor a 680-byte chain block (600 bytes)" "$tonalith" chain show short.bin
    expect_error "missing.json: cannot open" "$tonalith" chain show missing.json
    echo '{"stages": [{"model": "RGB", "tracks": {"R(of)": 3}}]}' >label.json
    expect_error 'label.json: stage 1 (RGB): unknown track label "R(of)"' "$tonalith" chain show label.json
    echo '{"stages": [{"model": "HSV", "tracks": {"H(slope)": 200}}]}' >range.json
    expect_error "range.json: stage 1 (HSV): track 11 H(slope) = 200 is outside its range 0..180" "$tonalith" chain show range.json
    "$tonalith" demo -o demo >/dev/null || fail "demo"
    head -c 3000 demo/before.png >cut.png
    expect_error "cut.png: broken PNG" "$tonalith" apply --stage RGB cut.png out.png
    echo "hello" >text.png
    expect_error "text.png: not a PNG or JPEG picture" "$tonalith" apply --stage RGB text.png out.png
    ffmpeg -v error -i demo/before.png -q:v 3 pic.jpg
    "$tonalith" apply --stage RGB pic.jpg pic.png || fail "JPEG input"
    head -c 2000 pic.jpg >cut.jpg
    expect_error "cut.jpg: broken JPEG: the JPEG data is truncated" "$tonalith" apply --stage RGB cut.jpg out.png
    printf 'YUV4MPEG2 W8 C444\n' >bad.y4m
    expect_error "bad.y4m: bad YUV4MPEG2 header" "$tonalith" apply --stage RGB bad.y4m out.y4m
    synthetic yuv444p | head -c 20000 >cut.y4m
    expect_error "cut.y4m: frame 3 is cut short" "$tonalith" apply --stage RGB cut.y4m out.y4m
    expect_error "no-such.so: cannot load the plug-in" "$tonalith" apply --plugin no-such.so --stage RGB demo/before.png out.png
    [ ! -e out.png ] && [ ! -e out.y4m ] || fail "an output was left behind"
    ;;
no_overwrite)
    "$tonalith" demo -o demo >/dev/null || fail "demo"
    cp demo/before.png in.png
    sum=$(md5sum <in.png)
    expect_error "refusing to overwrite it" "$tonalith" apply --stage 'RGB: R(off)=9' in.png in.png
    expect_error "refusing to overwrite it" "$tonalith" apply --stage 'RGB: R(off)=9' in.png ./demo/../in.png
    ln -s in.png link.png
    expect_error "refusing to overwrite it" "$tonalith" apply --stage 'RGB: R(off)=9' in.png link.png
    ln in.png hard.png
    expect_error "refusing to overwrite it" "$tonalith" apply --stage 'RGB: R(off)=9' hard.png in.png
    cp "$examples/warm-film.json" look.json
    expect_error "refusing to overwrite it" "$tonalith" chain convert look.json look.json
    [ "$(md5sum <in.png)" = "$sum" ] || fail "the input changed"
    ;;
no_half_output)
    synthetic yuv444p | head -c 20000 >cut.y4m
    echo "previous" >out.y4m
    expect_error "cut short" "$tonalith" apply --stage RGB cut.y4m out.y4m
    [ "$(cat out.y4m)" = previous ] || fail "a failed run replaced the existing output"
    [ -z "$(ls -A | grep tonalith-)" ] || fail "a temporary file was left behind: $(ls -A)"
    ;;
demo)
    "$tonalith" demo -o out >paths.txt || fail "demo failed"
    for f in before.png after.png side-by-side.png curves.svg; do
        grep -q "out/$f" paths.txt || fail "demo did not print $f"
        [ -s "out/$f" ] || fail "demo did not write $f"
    done
    ffmpeg -v error -i out/side-by-side.png -f null - || fail "side-by-side is not a valid PNG"
    cmp -s out/before.png out/after.png && fail "the bundled chain changed nothing"
    # The 16-bit route: a 16-bit PNG stays 16-bit.
    ffmpeg -v error -i out/before.png -pix_fmt rgb48be deep.png
    "$tonalith" apply --stage 'YCbCr' deep.png deep-out.png || fail "16-bit apply"
    ffprobe -v error -show_entries stream=pix_fmt -of csv=p=0 deep-out.png | grep -q rgb48 || fail "16-bit output is not 16-bit"
    ;;
curves)
    "$tonalith" curves "$examples/teal-orange.json" -o c.svg || fail "curves failed"
    for text in "hue map" "saturation by hue" "value map" "RGB tone curves" "Stage 3: RGB"; do
        grep -qF "$text" c.svg || fail "curves.svg lacks '$text'"
    done
    "$tonalith" curves --stage 'CMYK: K(gamm)=20' --stage 'YCbCr: Y(offs)=10' -o d.svg || fail "curves --stage"
    grep -qF "CMYK tone curves" d.svg && grep -qF "Cb, Cr" d.svg || fail "CMYK/YCbCr panels missing"
    ;;
*)
    fail "unknown case $case_name"
    ;;
esac
echo "ok: $case_name"
