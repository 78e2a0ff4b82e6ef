#!/usr/bin/env bash
# tonalith and ffmpeg on the same YUV4MPEG2 files, file to file, one process each, in one run:
#   scripts/bench-video.sh            # 1920x1080 (60 frames) and 3840x2160 (20 frames)
#   scripts/bench-video.sh --quick    # 1920x1080 only, 30 frames, one round
#   ROUNDS=5 FRAMES_HD=60 FRAMES_UHD=20 WORK=/path scripts/bench-video.sh
# Each file is 8- or 10-bit, 4:4:4 or 4:2:0. Cases, tonalith beside its ffmpeg counterpart:
#   zero   an all-zero YCbCr chain          -vf null
#   ycbcr  examples/bleach-bypass.json      lutyuv (one table per plane)
#   rgb    examples/warm-film.json          curves through planar RGB of the same depth
#   hsv    examples/teal-orange.json        hue=h=30:s=1.2
# Printed per case: frames per second (wall clock, median of rounds) and CPU (user + sys) per
# frame, for tonalith at its default threads (the cores available) and at --threads 1, and
# ffmpeg at its defaults; then the ratios: fps tonalith / ffmpeg, CPU --threads 1 / ffmpeg.
# Both write the stream to standard output, redirected into the same file, so both do the same
# I/O (given a file name, tonalith also syncs the finished file before renaming it into place).
# The machine may be shared: CPU time is the steadier figure, and the ratios are measured in the
# same run, so they hold up where absolute figures do not.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
quick=0
[[ "${1:-}" == "--quick" ]] && quick=1
ROUNDS=${ROUNDS:-$([ $quick = 1 ] && echo 1 || echo 3)}
FRAMES_HD=${FRAMES_HD:-$([ $quick = 1 ] && echo 30 || echo 60)}
FRAMES_UHD=${FRAMES_UHD:-20}
WORK=${WORK:-${TMPDIR:-/tmp}/tonalith-bench-video}
BUILD_DIR=${BUILD_DIR:-build/linux}
tonalith=$root/$BUILD_DIR/cli/tonalith

cmake --preset linux >/dev/null
cmake --build "$BUILD_DIR" -j2 --target tonalith_cli >/dev/null
mkdir -p "$WORK"
cd "$WORK"
trap 'rm -f "$WORK"/out.y4m' EXIT

# name size frames pix_fmt
files=("1080p 8-bit 4:4:4|1920x1080|$FRAMES_HD|yuv444p"
       "1080p 10-bit 4:4:4|1920x1080|$FRAMES_HD|yuv444p10le"
       "1080p 8-bit 4:2:0|1920x1080|$FRAMES_HD|yuv420p"
       "1080p 10-bit 4:2:0|1920x1080|$FRAMES_HD|yuv420p10le")
if [ $quick = 0 ]; then
    files+=("4K 8-bit 4:2:0|3840x2160|$FRAMES_UHD|yuv420p"
            "4K 10-bit 4:4:4|3840x2160|$FRAMES_UHD|yuv444p10le")
fi

# median of the numbers on stdin
median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

# time_run OUTVAR CMD...: runs ROUNDS times, standard output into out.y4m; sets OUTVAR to
# "wall_median cpu_median" (seconds)
time_run() {
    local var=$1 walls=() cpus=() r
    shift
    for ((r = 0; r < ROUNDS; r++)); do
        rm -f out.y4m
        /usr/bin/time -f "%e %U %S" -o time.txt "$@" >out.y4m 2>err.txt || { cat err.txt >&2; return 1; }
        read -r wall user sys <time.txt
        walls+=("$wall")
        cpus+=("$(awk -v u="$user" -v s="$sys" 'BEGIN {print u + s}')")
    done
    printf -v "$var" '%s %s' "$(printf '%s\n' "${walls[@]}" | median)" "$(printf '%s\n' "${cpus[@]}" | median)"
}

echo "# $(date -u '+%Y-%m-%d %H:%M UTC'); $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'); $(nproc) cores available; ffmpeg $(ffmpeg -version | head -1 | awk '{print $3}')"
echo "# rounds: $ROUNDS; fps from wall clock, CPU = user + sys per frame (medians)"
printf '| %-19s | %-5s | %9s | %9s | %10s | %9s | %9s | %9s | %10s |\n' file case "fps" "CPU ms/f" "CPU ms/f 1t" \
    "ffmpeg fps" "ffmpeg CPU" "fps ratio" "CPU ratio 1t"
printf "%s\n" "|---------------------|-------|-----------|-----------|------------|-----------|-----------|-----------|--------------|"
for entry in "${files[@]}"; do
    IFS='|' read -r label size frames fmt <<<"$entry"
    src="src-$size-$fmt-$frames.y4m"
    [ -s "$src" ] || ffmpeg -v error -f lavfi -i "testsrc2=size=$size:rate=25" -frames:v "$frames" -pix_fmt "$fmt" \
        -strict -1 -f yuv4mpegpipe "$src"
    planar_rgb=gbrp
    [[ $fmt == *10le ]] && planar_rgb=gbrp10le
    for c in zero ycbcr rgb hsv; do
        case $c in
        zero) ours=(--stage YCbCr); theirs="null" ;;
        ycbcr) ours=("$root/examples/bleach-bypass.json"); theirs="lutyuv=y=negval:u=negval:v=negval" ;;
        rgb) ours=("$root/examples/warm-film.json"); theirs="format=$planar_rgb,curves=preset=increase_contrast,format=$fmt" ;;
        hsv) ours=("$root/examples/teal-orange.json"); theirs="hue=h=30:s=1.2" ;;
        esac
        time_run t "$tonalith" apply "${ours[@]}" "$src" -
        time_run t1 "$tonalith" apply --threads 1 "${ours[@]}" "$src" -
        time_run f ffmpeg -v error -i "$src" -vf "$theirs" -strict -1 -f yuv4mpegpipe -
        read -r tw tc <<<"$t"
        read -r _ t1c <<<"$t1"
        read -r fw fc <<<"$f"
        awk -v l="$label" -v c="$c" -v n="$frames" -v tw="$tw" -v tc="$tc" -v t1c="$t1c" -v fw="$fw" -v fc="$fc" 'BEGIN {
            printf "| %-19s | %-5s | %9.1f | %9.1f | %10.1f | %9.1f | %9.1f | %8.2fx | %9.2fx |\n",
                l, c, n / tw, 1000 * tc / n, 1000 * t1c / n, n / fw, 1000 * fc / n, fw / tw, t1c / fc }'
    done
done
