#!/usr/bin/env bash
# The frei0r filter inside the real hosts, ffmpeg and melt, against `tonalith apply` on the same
# frames: hosts_test.sh CASE TONALITH MODULE_DIR EXAMPLES_DIR [BUILD_DIR]
set -uo pipefail
case_name=$1
tonalith=$2
export FREI0R_PATH=$3
examples=$4
build_dir=${5:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

# Chains of every model and mixed ones, as `tonalith apply` takes them (a file, or --stage text)
# and as the filter's chain parameter takes them.
chain_names=(rgb ycbcr cmyk hsv hsv_rgb every_model)
declare -A chain_param=(
    [rgb]=$examples/warm-film.json
    [ycbcr]=$examples/bleach-bypass.json
    [cmyk]=$examples/cmyk-print.json
    [hsv]='HSV: H(offs)=30, S(con2)=64'
    [hsv_rgb]=$examples/teal-orange.json
    [every_model]='RGB: R(off)=10, B(gamm)=-20; CMYK: K(gamm)=-24; HSV: S(con2)=90, 9=125, H(width)=25; YCbCr: Y(gamm)=-16'
)

# apply_chain NAME IN OUT: the command-line host's result for one picture.
apply_chain() {
    local text=${chain_param[$1]}
    if [ -f "$text" ]; then
        "$tonalith" apply "$text" "$2" "$3" 2>/dev/null
    else
        local stages=() part
        IFS=';' read -ra parts <<<"$text"
        for part in "${parts[@]}"; do stages+=(--stage "$part"); done
        "$tonalith" apply "${stages[@]}" "$2" "$3" 2>/dev/null
    fi
}

# The chain text escaped for an ffmpeg filtergraph: ':' and ',' and ';' inside the quoted value.
ffmpeg_param() { printf "'%s'" "$(sed -e 's/[:]/\\:/g' <<<"${chain_param[$1]}")"; }

rgba() { ffmpeg -v error -y -i "$1" -pix_fmt rgba -f rawvideo "$2" || fail "ffmpeg could not decode $1"; }

# A clip of six frames, RGBA with an alpha that varies over the picture, stored losslessly, and
# its frames as pictures.
make_clip() {
    ffmpeg -v error -y -f lavfi \
        -i "testsrc2=s=64x48:r=25,format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='mod(X*7+Y*3,256)'" \
        -frames:v 6 -c:v ffv1 -pix_fmt bgra clip.mkv || fail "ffmpeg could not make the clip"
    ffmpeg -v error -y -i clip.mkv -start_number 0 src%02d.png || fail "ffmpeg could not split the clip"
    [ -f src05.png ] && [ ! -f src06.png ] || fail "expected six frames"
}

# expected_clip OUT NAME...: the clip through `tonalith apply`, frame k through the k-th name
# (the last name for the frames beyond), as raw RGBA.
expected_clip() {
    local out=$1 k name
    shift
    local names=("$@")
    rm -f ref0?.png
    for k in 0 1 2 3 4 5; do
        name=${names[$((k < ${#names[@]} ? k : ${#names[@]} - 1))]}
        apply_chain "$name" "src0$k.png" "ref0$k.png" || fail "tonalith apply failed for $name"
    done
    ffmpeg -v error -y -start_number 0 -i ref%02d.png -pix_fmt rgba -f rawvideo "$out" || fail "ffmpeg could not decode"
}

# A profile of the clip's own size and rate, so melt neither scales nor drops frames.
melt_profile() {
    cat >profile <<'PROFILE'
description=64x48 25 fps square pixels
frame_rate_num=25
frame_rate_den=1
width=64
height=48
progressive=1
sample_aspect_num=1
sample_aspect_den=1
display_aspect_num=4
display_aspect_den=3
colorspace=601
PROFILE
}

# melt_render OUT.raw MELT_ARGS...: rendered by melt to raw RGBA.
melt_render() {
    local out=$1
    shift
    timeout 120 melt -quiet -profile profile "$@" \
        -consumer avformat:melt.nut vcodec=rawvideo pix_fmt=rgba an=1 >melt.log 2>&1 \
        || fail "melt failed: $(cat melt.log)"
    rgba melt.nut "$out"
}

case $case_name in
ffmpeg_picture)
    # One picture, every chain: decoded pixels of ffmpeg's output equal those of `tonalith apply`.
    make_clip
    for name in "${chain_names[@]}"; do
        ffmpeg -v error -y -i src02.png -vf "frei0r=filter_name=tonalith:filter_params=$(ffmpeg_param "$name")" \
            out.png || fail "$name: ffmpeg failed"
        apply_chain "$name" src02.png ref.png || fail "$name: tonalith apply failed"
        rgba out.png out.raw
        rgba ref.png ref.raw
        rgba src02.png src.raw
        cmp -s ref.raw src.raw && fail "$name: the chain changes nothing, so the case shows nothing"
        cmp out.raw ref.raw || fail "$name: ffmpeg's frei0r output differs from tonalith apply"
    done
    ;;
ffmpeg_clip)
    make_clip
    for name in "${chain_names[@]}"; do
        ffmpeg -v error -y -i clip.mkv -vf "frei0r=filter_name=tonalith:filter_params=$(ffmpeg_param "$name")" \
            -pix_fmt rgba -f rawvideo out.raw || fail "$name: ffmpeg failed"
        expected_clip ref.raw "$name"
        cmp out.raw ref.raw || fail "$name: the clip through ffmpeg differs from tonalith apply"
    done
    ;;
ffmpeg_sendcmd)
    # The chain switches at frames 2 and 4; each frame is the chain in force at its time.
    make_clip
    printf '0.07 frei0r filter_params %s;\n0.15 frei0r filter_params %s;\n' \
        "${chain_param[cmyk]}" "$(ffmpeg_param hsv)" >commands
    ffmpeg -v error -y -i clip.mkv \
        -vf "sendcmd=f=commands,frei0r=filter_name=tonalith:filter_params=${chain_param[rgb]}" \
        -pix_fmt rgba -f rawvideo out.raw || fail "ffmpeg failed"
    expected_clip ref.raw rgb rgb cmyk cmyk hsv
    cmp out.raw ref.raw || fail "sendcmd: frames differ from their chains through tonalith apply"
    ;;
ffmpeg_mix_and_errors)
    make_clip
    ffmpeg -v error -y -i clip.mkv -pix_fmt rgba -f rawvideo src.raw
    # mix 0 is the original; a bad chain is reported in ffmpeg's log and the frames pass through.
    ffmpeg -v error -y -i clip.mkv -vf "frei0r=filter_name=tonalith:filter_params=${chain_param[rgb]}|0" \
        -pix_fmt rgba -f rawvideo out.raw || fail "mix 0: ffmpeg failed"
    cmp out.raw src.raw || fail "mix 0 changed the frames"
    for bad in "$work/missing.json" "'RGB\\: Q(off)=3'" "'{\"stages\"\\: ['"; do
        ffmpeg -v error -y -i clip.mkv -vf "frei0r=filter_name=tonalith:filter_params=$bad" \
            -pix_fmt rgba -f rawvideo out.raw 2>log.txt || fail "$bad: ffmpeg failed: $(cat log.txt)"
        grep -q "^tonalith: .*frames pass through unchanged" log.txt || fail "$bad: not reported: $(cat log.txt)"
        cmp out.raw src.raw || fail "$bad: frames changed"
    done
    ;;
melt_clip)
    make_clip
    melt_profile
    for name in rgb hsv_rgb; do
        melt_render out.raw clip.mkv -filter frei0r.tonalith "chain=${chain_param[$name]}" real_time=-1
        expected_clip ref.raw "$name"
        cmp out.raw ref.raw || fail "$name: the clip through melt differs from tonalith apply"
    done
    # mix keyframed from 0 at frame 0 to 1 at frame 5: the original first, the chain last, blends
    # between, each frame taking the value of its own time.
    melt_render out.raw clip.mkv -filter frei0r.tonalith "chain=${chain_param[hsv_rgb]}" "mix=0=0;5=1" real_time=-1
    ffmpeg -v error -y -i clip.mkv -pix_fmt rgba -f rawvideo src.raw
    frame() { dd if="$1" bs=12288 skip="$2" count=1 status=none; }
    cmp <(frame out.raw 0) <(frame src.raw 0) || fail "mix 0 at frame 0 is not the original"
    cmp <(frame out.raw 5) <(frame ref.raw 5) || fail "mix 1 at frame 5 is not the chain"
    for k in 1 2 3 4; do
        cmp -s <(frame out.raw $k) <(frame src.raw $k) && fail "frame $k: the original, not a blend"
        cmp -s <(frame out.raw $k) <(frame ref.raw $k) && fail "frame $k: the chain, not a blend"
    done
    ;;
melt_two_tracks)
    # Two instances on two tracks, rendered on two threads: track 0 with one chain everywhere,
    # track 1 over it from frame 3 with another; each frame is its own chain alone.
    make_clip
    melt_profile
    melt_render out.raw -track clip.mkv -filter frei0r.tonalith "chain=${chain_param[cmyk]}" \
        -track -blank 2 clip.mkv in=3 out=5 -filter frei0r.tonalith "chain=${chain_param[hsv_rgb]}" \
        real_time=-2
    expected_clip ref.raw cmyk cmyk cmyk hsv_rgb
    cmp out.raw ref.raw || fail "two tracks: frames differ from each chain alone"
    ;;
install)
    # `cmake --install` puts the module in <prefix>/lib/frei0r-1, where FREI0R_PATH finds it.
    cmake --install "$build_dir" --prefix "$work/prefix" >install.log || fail "install failed: $(cat install.log)"
    [ -f "$work/prefix/lib/frei0r-1/tonalith.so" ] || fail "no lib/frei0r-1/tonalith.so: $(cat install.log)"
    make_clip
    FREI0R_PATH=$work/prefix/lib/frei0r-1 ffmpeg -v error -y -i src01.png \
        -vf "frei0r=filter_name=tonalith:filter_params=${chain_param[ycbcr]}" out.png || fail "ffmpeg failed"
    apply_chain ycbcr src01.png ref.png
    rgba out.png out.raw
    rgba ref.png ref.raw
    cmp out.raw ref.raw || fail "the installed module differs from tonalith apply"
    ;;
*)
    fail "unknown case $case_name"
    ;;
esac
echo "PASS: $case_name"
