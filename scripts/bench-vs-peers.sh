#!/usr/bin/env bash
# Our stages beside FFmpeg's nearest filters, measured in the same run on this machine, CPU time
# against CPU time, with the ratios and the goals they are held to.
#   scripts/bench-vs-peers.sh                 # FFmpeg's filters, then the bench at 1080p and 4K
#   QUICK=1 scripts/bench-vs-peers.sh         # fewer rounds on both sides, 1080p only (~2 min)
#   PEERS_FILE=F scripts/bench-vs-peers.sh    # no FFmpeg run: FFmpeg's figures from results
#                                             # file F (named in the output as the source)
# Without ffmpeg on the machine the newest reference file of the peers folder is used instead,
# and the output says so. Every timed process runs on one CPU (PIN_CPU, default 1; empty = no
# pinning). FFmpeg's figure is the CPU time (user + sys) per frame its filter adds over `-vf null`,
# single-threaded; ours is the thread's CPU time per frame through GetFilterTable on a frame just
# restored from a pristine copy. 4K has no FFmpeg figure: there a case is set beside a copy of the
# same frame measured in the same rounds.
set -euo pipefail
cd "$(dirname "$0")/.."
# The peers scripts live in the shared folder beside the repository (or beside its worktrees).
if [[ -z "${PEERS_DIR:-}" ]]; then
    for d in ../shared/peers ../../shared/peers; do
        [[ -f "$d/ffmpeg_peers.py" ]] && PEERS_DIR=$(cd "$d" && pwd) && break
    done
fi
PEERS_DIR=${PEERS_DIR:-../shared/peers}
PEERS_OUT=${PEERS_OUT:-${TMPDIR:-/tmp}/tonalith-peers/out}
BUILD_DIR=${BUILD_DIR:-build/bench}
PIN_CPU=${PIN_CPU-1}
pin=()
[[ -n "$PIN_CPU" ]] && pin=(taskset -c "$PIN_CPU")

mkdir -p "$PEERS_OUT/results"
stamp=$(date -u +%Y%m%dT%H%M%SZ)
peers=${PEERS_FILE:-}
source_note=""
if [[ -n "$peers" ]]; then
    source_note="FFmpeg figures from the file given (PEERS_FILE), not measured in this run"
elif command -v ffmpeg >/dev/null; then
    peers="$PEERS_OUT/results/${stamp}_vs-tonalith.txt"
    rounds=7
    [[ -n "${QUICK:-}" ]] && rounds=3
    echo "# FFmpeg's filters, $rounds rounds (output kept in $peers)" >&2
    python3 "$PEERS_DIR/ffmpeg_peers.py" --only yuv444p12le,lutrgb,huesaturation \
        --rounds "$rounds" --cpu "$PIN_CPU" > "$peers"
    source_note="FFmpeg measured in this run"
else
    # shellcheck disable=SC2012
    peers=$(ls -t "$PEERS_DIR"/results/*.txt 2>/dev/null | head -1 || true)
    source_note="FALLBACK: ffmpeg is not installed; FFmpeg figures from a reference file made at another time"
    if [[ -z "$peers" ]]; then
        echo "ffmpeg is not installed and no reference file was found in $PEERS_DIR/results" >&2
        exit 1
    fi
fi

tsv=$(mktemp)
trap 'rm -f "$tsv"' EXIT
args=(--tsv "$tsv")
[[ -n "${QUICK:-}" ]] && args+=(--quick)
cmake --preset bench -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR" -j 2 --target tonalith_bench >/dev/null
echo "# the bench (${args[*]})" >&2
"${pin[@]}" "$BUILD_DIR/bench/tonalith_bench" "${args[@]}" >&2

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
echo "# $(date -u '+%Y-%m-%d %H:%M UTC'); $(nproc) CPUs \"$cpu\"; $(uname -r);" \
    "$(g++ --version | head -1); $(ffmpeg -hide_banner -version 2>/dev/null | head -1 | cut -d' ' -f1-3)"
python3 - "$tsv" "$peers" "$source_note" <<'PY'
import sys
tsv, peers, note = sys.argv[1], sys.argv[2], sys.argv[3]
ours = {}
for line in open(tsv):
    label, case, med, lo, hi, ratio = line.rstrip("\n").split("\t")
    ours[(label, case)] = (float(med), float(ratio))
ff = {}
for line in open(peers):
    if line.startswith("#") or not line.strip():
        continue
    parts = line.split()
    # label words, pix_fmt, med, min, max, MPix/s, cpu_ms, format
    if len(parts) < 8 or parts[-1] != "native":
        continue
    try:
        ff[(parts[0], parts[-7])] = float(parts[-2])
    except ValueError:
        continue

print(f"# FFmpeg: {note}: {peers}")
print("# ours: thread CPU ms per frame (median); FFmpeg: CPU ms per frame its filter adds, median")
print(f"{'case':34s} {'content':9s} {'ours':>7s}  {'beside':30s} {'theirs':>7s} {'ratio':>6s}  goal")
verdicts = []

def row(case, content, mine, what, base, goal):
    ratio = mine / base
    verdict = ""
    if goal is not None:
        ok = ratio <= goal if goal > 0 else ratio >= -goal
        verdict = (f"<= {goal:.2f}" if goal > 0 else f">= {-goal:.2f}") + (": met" if ok else ": NOT MET")
        verdicts.append(ok)
    print(f"{case:34s} {content:9s} {mine:7.2f}  {what:30s} {base:7.2f} {ratio:6.2f}  {verdict}")

hd = "1920x1080"
peer_rows = [  # our case, contents, FFmpeg filter, pix_fmt, goal as a ratio to FFmpeg
    ("stage YCbCr", "gradient grain noise", "lutyuv", "yuv444p12le", 0.9),
    ("ApplyRgbCurves", "gradient grain noise", "lutrgb", "rgb24", 0.5),
    ("stage HSV", "gradient grain", "huesaturation", "rgb24", 0.5),
    ("stage HSV", "noise", "huesaturation", "rgb24", 0.75),
]
for case, contents, filt, fmt, goal in peer_rows:
    base = ff.get((filt, fmt))
    for content in contents.split():
        mine = ours.get((f"{hd} {content}", case))
        if mine is not None and base is not None:
            row(case, content, mine[0], f"FFmpeg {filt} {fmt}", base, goal)

for conv in ("RgbToCmyk", "CmykToRgb"):
    for content in ("gradient", "grain", "noise"):
        mine = ours.get((f"{hd} {content}", conv))
        base = ours.get((f"{hd} {content}", "ApplyRgbCurves"))
        if mine and base:
            row(conv, content, mine[0], "our ApplyRgbCurves", base[0], 2.0)

# 4K: memory-bound, set beside a copy of the same frame in the same rounds (the bench's ratio).
for case, goal in (("stage YCbCr", 4.0), ("stage RGB", 4.0), ("stage CMYK", 4.0),
                   ("stage HSV", 8.0)):
    for content in ("gradient", "grain", "noise"):
        for size in ("1920x1080", "3840x2160"):
            mine = ours.get((f"{size} {content}", case))
            if mine:
                row(f"{case} {size}", content, mine[0], "memcpy of the same frame",
                    mine[0] / mine[1], goal if size == "3840x2160" else None)

u1, u10 = ours.get(("per call", "FilterUpdate HSV x1")), ours.get(("per call", "FilterUpdate HSV x10"))
if u1 and u10:
    row("FilterUpdate HSV x10", "", u10[0], "FilterUpdate HSV x1", u1[0], 1.3)
init, lit = ours.get(("per call", "FilterInit")), ours.get(("per call", "literal table loops"))
if init and lit:
    # how many times faster FilterInit is than the plain loops: base / ours >= 3
    row("plain table loops", "", lit[0], "FilterInit", init[0], -3.0)
print(f"# goals met: {sum(verdicts)} of {len(verdicts)}")
PY
