#!/usr/bin/env bash
# CPU time per frame of the frei0r filter inside ffmpeg against `tonalith apply` on the same
# frames: bench-frei0r.sh [BUILD_DIR] [FRAMES] [SIZE]. Not part of the test command.
#
#   frei0r  ffmpeg decoding the clip to RGBA and running -vf frei0r, less the same ffmpeg run
#           without the filter: what the filter itself costs
#   apply   `tonalith apply` on the clip as 4:4:4 YUV4MPEG2 (file in, file out)
set -euo pipefail
build=$(realpath "${1:-build/linux}")
frames=${2:-48}
size=${3:-1280x720}
examples=$(realpath "$(dirname "$0")/../examples")
export FREI0R_PATH=$build/frei0r/modules
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

ffmpeg -v error -f lavfi -i "testsrc2=s=$size:r=25" -frames:v "$frames" -c:v ffv1 -pix_fmt bgr0 clip.mkv
ffmpeg -v error -i clip.mkv -pix_fmt yuv444p -f yuv4mpegpipe clip.y4m

cpu() {  # CPU seconds (user + system) of one command
    local TIMEFORMAT='%U %S' t
    t=$( { time "$@" >/dev/null 2>&1; } 2>&1 )
    awk '{printf "%.3f", $1 + $2}' <<<"$t"
}

base=$(cpu ffmpeg -v error -i clip.mkv -vf format=rgba -f rawvideo -y plain.raw)
printf '%-22s %12s %12s %8s\n' chain "frei0r ms/f" "apply ms/f" ratio
for chain in warm-film bleach-bypass cmyk-print teal-orange; do
    with=$(cpu ffmpeg -v error -i clip.mkv -vf "format=rgba,frei0r=filter_name=tonalith:filter_params=$examples/$chain.json" \
        -f rawvideo -y filtered.raw)
    apply=$(cpu "$build/cli/tonalith" apply "$examples/$chain.json" clip.y4m out.y4m)
    awk -v w="$with" -v b="$base" -v a="$apply" -v n="$frames" -v c="$chain" \
        'BEGIN {f = (w - b) * 1000 / n; p = a * 1000 / n; printf "%-22s %12.2f %12.2f %8.2f\n", c, f, p, f / p}'
done
echo "($frames frames of $size; ffmpeg without the filter: $(awk -v b="$base" -v n="$frames" 'BEGIN {printf "%.2f", b * 1000 / n}') ms/frame)"
