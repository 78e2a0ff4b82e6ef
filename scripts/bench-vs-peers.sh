#!/usr/bin/env bash
# The benchmark's 1080p figures side by side with FFmpeg's filters on the same machine.
#   scripts/bench-vs-peers.sh                # reads the newest FFmpeg results file (see below)
#   PEERS_RUN=1 scripts/bench-vs-peers.sh    # first reruns the FFmpeg part of the peers script
#                                            # (SKIP_KERNELS, SKIP_OPENCV; ~3-8 min; QUICK=1 ~1 min)
#   QUICK=1 ...                              # quick bench (and quick peers run with PEERS_RUN)
# Results files are looked for in $PEERS_OUT/results (default <temp>/tonalith-peers/out), then in
# the peers folder's own results/. The file used is named in the output. FFmpeg's figures are per
# frame attributable to the filter: med_ms from wall clock, cpu_ms from user+sys time. On a busy
# machine compare with cpu_ms: the bench times thread CPU by default.
set -euo pipefail
cd "$(dirname "$0")/.."
PEERS_DIR=${PEERS_DIR:-$(cd .. && pwd)/shared/peers}
PEERS_OUT=${PEERS_OUT:-${TMPDIR:-/tmp}/tonalith-peers/out}
BUILD_DIR=${BUILD_DIR:-build/bench}
export PEERS_OUT

if [[ -n "${PEERS_RUN:-}" ]]; then
    echo "# running the FFmpeg peers (output in $PEERS_OUT/results)" >&2
    SKIP_KERNELS=1 SKIP_OPENCV=1 "$PEERS_DIR/run.sh" >&2
fi

newest_ffmpeg() {
    local dir f
    for dir in "$PEERS_OUT/results" "$PEERS_DIR/results"; do
        [[ -d "$dir" ]] || continue
        # shellcheck disable=SC2012
        for f in $(ls -t "$dir"/*.txt 2>/dev/null); do
            if grep -q '^lutyuv' "$f"; then echo "$f"; return; fi
        done
    done
}
peers=$(newest_ffmpeg)
if [[ -z "$peers" ]]; then
    echo "no FFmpeg results file found; run with PEERS_RUN=1" >&2
    exit 1
fi

tsv=$(mktemp)
trap 'rm -f "$tsv"' EXIT
args=(--sizes 1080 --tsv "$tsv")
[[ -n "${QUICK:-}" ]] && args=(--quick --tsv "$tsv")
BUILD_DIR=$BUILD_DIR scripts/bench.sh "${args[@]}" >&2

python3 - "$tsv" "$peers" <<'PY'
import sys
tsv, peers = sys.argv[1], sys.argv[2]
ours = {}
for line in open(tsv):
    label, case, med, lo, hi, ratio = line.rstrip("\n").split("\t")
    ours[(label, case)] = float(med)
ff = {}
for line in open(peers):
    if line.startswith("#") or not line.strip():
        continue
    parts = line.split()
    # label words, pix_fmt, med, min, max, MPix/s, cpu_ms, format
    if len(parts) < 8 or parts[-1] != "native":
        continue
    try:
        med, cpu = float(parts[-6]), float(parts[-2])
    except ValueError:
        continue
    ff[(parts[0], parts[-7])] = (med, cpu)

rows = [  # our case, contents, peer filter, pix_fmt, goal (ratio to the peer, or None)
    ("stage YCbCr", "gradient grain noise", "lutyuv", "yuv444p12le", 1.0),
    ("ApplyYcCurves", "gradient noise", "lutyuv", "yuv444p12le", None),
    ("ApplyRgbCurves", "gradient grain noise", "lutrgb", "rgb24", 0.75),
    ("stage RGB", "gradient noise", "lutrgb", "rgb24", None),
    ("stage RGB", "gradient", "curves", "rgb24", None),
    ("stage HSV", "gradient", "huesaturation", "rgb24", 0.35),
    ("stage HSV", "grain", "huesaturation", "rgb24", None),
    ("stage HSV", "noise", "huesaturation", "rgb24", 0.75),
    ("stage HSV", "gradient", "hue", "yuv444p10le", None),
    ("chain mixed x10", "gradient", "colorbalance", "rgb24", None),
]
print(f"# FFmpeg figures: {peers}")
print(f"# ours: thread CPU ms per 1920x1080 frame (median); ratio = ours / FFmpeg")
print(f"{'ours':16s} {'content':9s} {'ms':>7s}  {'FFmpeg filter':26s} {'med_ms':>7s} {'cpu_ms':>7s}"
      f" {'x med':>6s} {'x cpu':>6s}  goal")
for case, contents, filt, fmt, goal in rows:
    peer = ff.get((filt, fmt))
    for content in contents.split():
        mine = ours.get((f"1920x1080 {content}", case))
        if mine is None or peer is None:
            continue
        med, cpu = peer
        rm, rc = mine / med, mine / cpu
        verdict = ""
        if goal is not None:
            verdict = f"<= {goal:.2f}: " + ("met" if rc <= goal else "not met") + " (by cpu_ms)"
        print(f"{case:16s} {content:9s} {mine:7.2f}  {filt + ' ' + fmt:26s} {med:7.2f} {cpu:7.2f}"
              f" {rm:6.2f} {rc:6.2f}  {verdict}")
PY
