#!/usr/bin/env bash
# Whole command lines of the tonalith tool: cli_test.sh CASE TONALITH EXAMPLES_DIR
set -uo pipefail
case_name=$1
tonalith=$2
examples=$3
# shellcheck source=command_test_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/command_test_lib.sh"

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
    expect_error "text.png: not a PNG, JPEG or TIFF picture" "$tonalith" apply --stage RGB text.png out.png
    ffmpeg -v error -i demo/before.png -q:v 3 pic.jpg
    "$tonalith" apply --stage RGB pic.jpg pic.png || fail "JPEG input"
    head -c 2000 pic.jpg >cut.jpg
    expect_error "cut.jpg: broken JPEG: Premature end of JPEG file" "$tonalith" apply --stage RGB cut.jpg out.png
    # Corrupt scan data: libjpeg only warns and decodes garbage; it is an error.
    size=$(stat -c %s pic.jpg)
    { head -c $((size / 2)) pic.jpg; printf '\xff\x00\xff\xd9\x12\x34'; tail -c +$((size / 2 + 7)) pic.jpg; } >corrupt.jpg
    expect_error "corrupt.jpg: broken JPEG: Corrupt JPEG data" "$tonalith" apply --stage RGB corrupt.jpg out.png
    mkdir folder.png
    expect_error "folder.png: is a folder, not a picture or a video" "$tonalith" apply --stage RGB folder.png out.png
    expect_error "folder.png: is a folder, not a chain" "$tonalith" apply folder.png demo/before.png out.png
    printf 'YUV4MPEG2 W8 C444\n' >bad.y4m
    expect_error "bad.y4m: bad YUV4MPEG2 header" "$tonalith" apply --stage RGB bad.y4m out.y4m
    synthetic yuv444p | head -c 20000 >cut.y4m
    expect_error "cut.y4m: frame 3 is cut short" "$tonalith" apply --stage RGB cut.y4m cut-out.y4m
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
    # A stream that turns to garbage in frame 3 fails; the existing output stays as it was.
    synthetic yuv444p >src.y4m
    { head -c $(( $(head -1 src.y4m | wc -c) + 2 * (6 + 64 * 48 * 3) )) src.y4m; echo "GARBAGE"; } >bad.y4m
    echo "previous" >out.y4m
    expect_error "frame 3: expected a FRAME header" "$tonalith" apply --stage RGB bad.y4m out.y4m
    [ "$(cat out.y4m)" = previous ] || fail "a failed run replaced the existing output"
    [ -z "$(ls -A | grep tonalith-)" ] || fail "a temporary file was left behind: $(ls -A)"
    ;;
outputs)
    # Outputs in a temporary folder: existing files keep their mode, links are written through,
    # FIFOs and sockets are written into or refused but never replaced, long names work.
    "$tonalith" demo -o demo >/dev/null || fail "demo"
    run() { "$tonalith" apply --stage 'RGB: R(off)=20' demo/before.png "$@"; }
    run ref.png || fail "plain output"
    echo old >private.png && chmod 600 private.png
    run private.png || fail "existing output"
    [ "$(stat -c %a private.png)" = 600 ] || fail "the existing output lost its mode: $(stat -c %a private.png)"
    cmp -s private.png ref.png || fail "the existing output was not replaced"
    mkdir sub && echo old >sub/target.png && ln -s sub/target.png link.png
    run link.png || fail "symlinked output"
    [ -L link.png ] || fail "the link was replaced"
    cmp -s sub/target.png ref.png || fail "the link's target was not written"
    ln -s sub/new.png dangling.png
    run dangling.png || fail "dangling link"
    [ -L dangling.png ] && cmp -s sub/new.png ref.png || fail "a dangling link's target was not created"
    # A file with two names: both show the output, one file still.
    echo old >first.png && ln first.png second.png
    run first.png || fail "hard-linked output"
    cmp -s second.png ref.png && cmp -s first.png ref.png || fail "the other name of a hard-linked output kept the old content"
    [ "$(stat -c %i first.png)" = "$(stat -c %i second.png)" ] || fail "the hard link was broken"
    long=$(printf 'n%.0s' $(seq 251)).png   # 255 bytes: the longest legal name
    run "$long" || fail "a 255-byte name failed"
    cmp -s "$long" ref.png || fail "long name"
    mkfifo fifo.png
    cat fifo.png >from-fifo.png &
    reader=$!
    run fifo.png || fail "FIFO output"
    wait $reader
    [ -p fifo.png ] || fail "the FIFO was replaced"
    cmp -s from-fifo.png ref.png || fail "the FIFO's reader did not get the picture"
    python3 -c 'import socket; socket.socket(socket.AF_UNIX).bind("sock")'
    expect_error "sock: cannot open" run sock
    [ -S sock ] || fail "the socket was replaced"
    run /dev/stdout >via-stdout.png || fail "/dev/stdout"
    cmp -s via-stdout.png ref.png || fail "/dev/stdout output"
    run /dev/stdout | cat >via-pipe.png || fail "/dev/stdout into a pipe"
    cmp -s via-pipe.png ref.png || fail "/dev/stdout pipe output"
    expect_error "sub: is a folder, not an output file" run sub
    # A closed pipe, SIGPIPE ignored as some parents leave it: one message, exit 1.
    # 40 frames, 370 KB: more than a pipe holds, so the writes outlast the reader.
    ffmpeg -v error -f lavfi -i testsrc2=size=64x48:rate=5 -frames:v 40 -pix_fmt yuv444p -f yuv4mpegpipe long.y4m
    ( trap '' PIPE; "$tonalith" apply --stage RGB long.y4m - 2>err.txt | head -c 10 >/dev/null; exit "${PIPESTATUS[0]}" )
    [ $? = 1 ] || fail "a closed pipe did not exit 1"
    grep -qF "standard output: write failed: Broken pipe" err.txt || fail "no EPIPE message: $(cat err.txt)"
    [ -z "$(ls -A . sub | grep tonalith-)" ] || fail "a temporary file was left behind"
    ;;
hard_link_full)
    # A hard-linked output on a full disk (a small tmpfs of our own in a private mount namespace):
    # the output fails before any byte of the old content changes, under both names.
    command -v unshare >/dev/null || fail "unshare is missing"
    "$tonalith" demo -o demo >/dev/null || fail "demo"
    "$tonalith" apply --stage "RGB: R(off)=20" demo/before.png ref.png || fail "plain output"
    # Room for the old file and the finished temporary, not for the old file grown to the output.
    pages=$(( ($(stat -c %s ref.png) + 4095) / 4096 ))
    [ "$pages" -ge 4 ] || fail "fixture: the output is too small to show the case"
    mkdir mnt
    unshare -m bash -euo pipefail -c '
        mount -t tmpfs -o size=$(( (1 + $2 + $2 / 2) * 4 ))k tonalith-test mnt
        head -c 4096 /dev/urandom >mnt/old.png
        cp mnt/old.png expected
        ln mnt/old.png mnt/other.png
        if "$1" apply --stage "RGB: R(off)=20" demo/before.png mnt/old.png 2>err.txt; then exit 3; else status=$?; fi
        [ $status = 1 ] || { echo "status $status" >&2; exit 4; }
        grep -q "mnt/old.png: no room to write it in place (left unchanged)" err.txt || { cat err.txt >&2; exit 5; }
        cmp mnt/old.png expected && cmp mnt/other.png expected || exit 6
        [ -z "$(ls -A mnt | grep tonalith-)" ] || exit 7
    ' _ "$tonalith" "$pages" || fail "a full disk changed a hard-linked output or left a temporary (status $?)"
    ;;
devices)
    # Device nodes of our own, on a tmpfs in a private mount namespace (never the machine's /dev).
    command -v unshare >/dev/null || fail "unshare is missing"
    "$tonalith" demo -o demo >/dev/null || fail "demo"
    mkdir nodes
    unshare -m bash -euo pipefail -c '
        mount -t tmpfs -o mode=755 tonalith-nodes nodes
        mknod nodes/null c 1 3 && mknod nodes/full c 1 7
        "$1" apply --stage RGB demo/before.png nodes/null
        [ -c nodes/null ] || { echo "the null device was replaced" >&2; exit 3; }
        if "$1" apply --stage RGB demo/before.png nodes/full 2>err.txt; then exit 4; else status=$?; fi
        [ $status = 1 ] || { echo "full device: status $status" >&2; exit 5; }
        grep -qF "nodes/full: write failed: No space left on device" err.txt || { cat err.txt >&2; exit 6; }
        [ -c nodes/full ] || exit 7
        [ -z "$(ls -A nodes | grep tonalith-)" ] || exit 8
    ' _ "$tonalith" || fail "device outputs (status $?)"
    ;;
signals)
    # Each signal in the middle of a video: the temporary goes, nothing appears under OUT, and the
    # process ends with the signal's usual status.
    synthetic yuv444p >src.y4m
    header=$(head -1 src.y4m | wc -c)
    for sig in INT TERM HUP PIPE; do
        rm -f in.fifo && mkfifo in.fifo
        # The writer sends the header and one frame, then holds the stream open.
        ( head -c $((header + 6 + 64 * 48 * 3)) src.y4m; exec sleep 30 ) >in.fifo &
        writer=$!
        env --default-signal "$tonalith" apply --stage RGB in.fifo out.y4m &
        pid=$!
        for _ in $(seq 100); do
            tmp=$(ls -A | grep '^\.tonalith-' || true)
            [ -n "$tmp" ] && [ -s "$tmp" ] && break
            sleep 0.1
        done
        [ -n "$tmp" ] || fail "$sig: no temporary output appeared"
        kill -s "$sig" $pid
        wait $pid
        status=$?
        kill $writer 2>/dev/null; wait $writer 2>/dev/null
        [ $status = $((128 + $(kill -l "$sig"))) ] || fail "$sig: status $status"
        [ -z "$(ls -A | grep tonalith-)" ] || fail "$sig: a temporary file was left behind"
        [ ! -e out.y4m ] || fail "$sig: an output was left"
    done
    ;;
read_once)
    # Inputs that cannot be rewound work as files do.
    synthetic yuv444p >src.y4m
    "$tonalith" apply --stage 'RGB: R(off)=20' src.y4m ref.y4m || fail "file input"
    "$tonalith" apply --stage 'RGB: R(off)=20' <(cat src.y4m) subst.y4m || fail "process substitution"
    cmp -s subst.y4m ref.y4m || fail "process substitution output"
    "$tonalith" apply --stage 'RGB: R(off)=20' /dev/stdin stdin.y4m <src.y4m || fail "/dev/stdin"
    cmp -s stdin.y4m ref.y4m || fail "/dev/stdin output"
    cat src.y4m | "$tonalith" apply --stage 'RGB: R(off)=20' /dev/stdin piped.y4m || fail "/dev/stdin from a pipe"
    cmp -s piped.y4m ref.y4m || fail "/dev/stdin pipe output"
    mkfifo in.fifo
    cat src.y4m >in.fifo &
    "$tonalith" apply --stage 'RGB: R(off)=20' in.fifo fifo.y4m || fail "FIFO input"
    cmp -s fifo.y4m ref.y4m || fail "FIFO output"
    "$tonalith" demo -o demo >/dev/null || fail "demo"
    "$tonalith" apply --stage 'RGB: R(off)=20' demo/before.png ref.png || fail "picture"
    cat demo/before.png | "$tonalith" apply --stage 'RGB: R(off)=20' - piped.png || fail "picture from a pipe"
    cmp -s piped.png ref.png || fail "picture from a pipe differs"
    # A chain from a FIFO, and one too large to be a chain, fed through a FIFO.
    mkfifo chain.fifo
    cat "$examples/warm-film.json" >chain.fifo &
    "$tonalith" chain show chain.fifo >shown.txt || fail "chain from a FIFO"
    grep -q "stage 1: RGB" shown.txt || fail "chain from a FIFO: $(head -3 shown.txt)"
    { yes 0123456789abcdef | head -c 3000000; } >chain.fifo &
    expect_error "chain.fifo: over 1024 KiB, too large for a chain" "$tonalith" chain show chain.fifo
    ;;
exit_status)
    # One convention: 0 success, 1 every failure (usage errors included), 2 a cut-short last frame.
    status_of() { "$@" >/dev/null 2>&1; echo $?; }
    [ "$(status_of "$tonalith" --help)" = 0 ] || fail "--help"
    "$tonalith" --help | grep -qF "Exit status: 0 success; 1 any failure" || fail "--help does not document the exit status"
    for args in "" "bogus" "apply" "apply --stage RGB" "apply --max-pixels 0 --stage RGB a b" "chain" "curves x.json" \
                "apply --no-such-option a b c"; do
        # shellcheck disable=SC2086
        [ "$(status_of "$tonalith" $args)" = 1 ] || fail "usage error '$args' did not exit 1"
    done
    synthetic yuv444p >src.y4m
    frame=$((6 + 64 * 48 * 3))
    header=$(head -1 src.y4m | wc -c)
    "$tonalith" apply --stage 'RGB: R(off)=20' src.y4m full.y4m || fail "full stream"
    head -c $((header + 3 * frame - 100)) src.y4m >cut.y4m
    if "$tonalith" apply --stage 'RGB: R(off)=20' cut.y4m out.y4m 2>err.txt; then status=0; else status=$?; fi
    [ $status = 2 ] || fail "a cut-short last frame exited $status"
    grep -qF "cut.y4m: frame 3 is cut short: expected 9216 bytes, got 9116; the 2 complete frames before it went to out.y4m" err.txt \
        || fail "cut short message: $(cat err.txt)"
    cmp -s out.y4m <(head -c $((header + 2 * frame)) full.y4m) || fail "the complete frames were not kept"
    if "$tonalith" apply --stage RGB - - <cut.y4m >piped.y4m 2>/dev/null; then status=0; else status=$?; fi
    [ $status = 2 ] && [ "$(stat -c %s piped.y4m)" = $((header + 2 * frame)) ] || fail "cut short on a pipe: $status"
    ;;
budgets)
    # Inputs that declare more than they hold are refused from their header, with a bounded peak.
    peak_kb() { /usr/bin/time -f %M -o peak.txt "$@" >/dev/null 2>err.txt; status=$?; peak=$(tail -1 peak.txt); }
    printf 'YUV4MPEG2 W8192 H8192 C444p16\nFRAME\n' >bomb.y4m   # 37 bytes declaring 384 MiB frames
    peak_kb "$tonalith" apply --stage RGB bomb.y4m bomb-out.y4m
    [ $status = 2 ] || fail "header bomb: status $status"
    grep -qF "frame 1 is cut short: expected 402653184 bytes, got 0" err.txt || fail "header bomb: $(cat err.txt)"
    [ "$peak" -lt 200000 ] || fail "header bomb: peak ${peak} KB"
    printf 'YUV4MPEG2 W8192 H8193 C444\n' >over.y4m
    expect_error "over.y4m: frames of 8192x8193 pixels is over the budget of 67108864 (--max-pixels)" \
        "$tonalith" apply --stage RGB over.y4m out.y4m
    expect_error "over the budget of 1000" "$tonalith" apply --max-pixels 1000 --stage RGB bomb.y4m out.y4m
    # A small JPEG whose frame header claims 16000x16000 (baseline and progressive).
    ffmpeg -v error -f lavfi -i testsrc2=size=64x48 -frames:v 1 small.jpg
    python3 - <<'PY'
data = bytearray(open("small.jpg", "rb").read())
for marker, name in ((0xC0, "huge.jpg"), (0xC2, "huge-progressive.jpg")):
    out = bytearray(data)
    at = out.index(bytes([0xFF, 0xC0]))
    out[at + 1] = marker
    out[at + 5:at + 9] = (16000).to_bytes(2, "big") * 2
    open(name, "wb").write(out)
PY
    for f in huge.jpg huge-progressive.jpg; do
        peak_kb "$tonalith" apply --stage RGB "$f" out.png
        [ $status = 1 ] || fail "$f: status $status"
        grep -qF "$f: broken JPEG: 16000x16000 pixels is over the budget of 67108864 (--max-pixels)" err.txt || fail "$f: $(cat err.txt)"
        [ "$peak" -lt 200000 ] || fail "$f: peak ${peak} KB"
    done
    [ ! -e out.png ] && [ ! -e out.y4m ] || fail "an output was left behind"
    ;;
uncorrected)
    # Built with allocation faults: the plug-in leaves frames uncorrected when its allocations fail
    # (TONALITH_FAIL_ALLOCATIONS_FROM=N: the N-th allocation of the process and all after it).
    "$tonalith" demo -o demo >/dev/null || fail "demo"
    look="$examples/cmyk-print.json"
    if TONALITH_FAIL_ALLOCATIONS_FROM=1 "$tonalith" apply "$look" demo/before.png out.png 2>err.txt; then fail "picture: exit 0"; fi
    grep -qF "demo/before.png: the plug-in could not correct the picture" err.txt || fail "picture: $(cat err.txt)"
    [ ! -e out.png ] || fail "an uncorrected picture was written"
    synthetic yuv444p >src.y4m
    "$tonalith" apply "$look" src.y4m full.y4m || fail "full stream"
    header=$(head -1 src.y4m | wc -c)
    frame=$((6 + 64 * 48 * 3))
    # The first N from which frame 3 is the first frame left uncorrected (the curve builds and
    # frames before it take the allocations below N).
    n=0
    for try in $(seq 1 80); do
        if TONALITH_FAIL_ALLOCATIONS_FROM=$try "$tonalith" apply "$look" src.y4m out.y4m 2>err.txt; then
            fail "video: allocations failing from $try: exit 0"
        fi
        if grep -qF "src.y4m: frame 3: the plug-in could not correct it" err.txt; then n=$try; break; fi
        [ ! -e out.y4m ] || fail "a video with an uncorrected frame was kept: $(cat err.txt)"
    done
    [ $n -gt 0 ] || fail "no allocation count left frame 3 uncorrected"
    [ ! -e out.y4m ] || fail "a video with an uncorrected frame was kept"
    if TONALITH_FAIL_ALLOCATIONS_FROM=$n "$tonalith" apply "$look" src.y4m - >piped.y4m 2>/dev/null; then fail "pipe: exit 0"; fi
    cmp -s piped.y4m <(head -c $((header + 2 * frame)) full.y4m) || fail "the stream holds other than the corrected frames"
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
formats)
    # The output's format follows its name; mismatches and unknown names are errors.
    convert -size 40x30 gradient:'#204080-#e0a060' src.png
    convert -size 40x30 gradient:'#204080-#e0a060' -depth 16 src16.png
    convert src.png -depth 8 src8.png
    convert src8.png -define tiff:tile-geometry=16x16 tiled.tif
    "$tonalith" apply --stage YCbCr tiled.tif untiled.png || fail "a tiled TIFF"
    [ "$(compare -metric AE src8.png untiled.png null: 2>&1)" = 0 ] || fail "a tiled TIFF changed under a zero chain"
    while read -r out kind depth; do
        "$tonalith" apply --stage 'RGB: R(off)=5' src.png "$out" || fail "writing $out"
        [ "$(identify -format '%m' "$out")" = "$kind" ] || fail "$out is $(identify -format '%m' "$out"), not $kind"
        "$tonalith" apply --stage 'YCbCr' src16.png "deep-$out" || fail "writing deep-$out"
        [ "$(identify -format '%z' "deep-$out")" = "$depth" ] || fail "deep-$out has depth $(identify -format '%z' "deep-$out")"
    done <<'TABLE'
o.png PNG 16
o.jpg JPEG 8
o.JPEG JPEG 8
o.tif TIFF 16
o.tiff TIFF 16
TABLE
    # TIFF in: 8 and 16 bit, RGB, RGBA and grey; an all-zero YCbCr chain keeps 8-bit pixels exactly.
    for magick_options in "-depth 8" "-depth 16" "-alpha set -channel A -evaluate set 50% +channel -depth 8" "-colorspace Gray -depth 8" "-colorspace Gray -depth 16"; do
        # shellcheck disable=SC2086
        convert src.png $magick_options in.tif || fail "fixture $magick_options"
        "$tonalith" apply --stage 'YCbCr' in.tif back.tif || fail "TIFF in ($magick_options)"
        [ "$(compare -metric AE in.tif back.tif null: 2>&1)" = 0 ] || [ "$magick_options" != "-depth 8" ] || fail "8-bit TIFF changed"
        [ "$(identify -format '%z %[channels]' in.tif)" = "$(identify -format '%z %[channels]' back.tif)" ] \
            || fail "TIFF ($magick_options) came back as $(identify -format '%z %[channels]' back.tif)"
    done
    # A colourful chain on a grey picture makes RGB and says why; a neutral one keeps grey.
    "$tonalith" apply --stage 'RGB: R(off)=20' in.tif tinted.png 2>note.txt || fail "grey tinted"
    grep -q "colours the grey input" note.txt || fail "no note on grey turned RGB"
    [ "$(identify -format '%[channels]' tinted.png)" = srgb ] || fail "tinted grey is not RGB"
    # A grey profile stays with a grey output and is left out, with a note, of an RGB one.
    convert in.tif -profile /usr/share/color/icc/ghostscript/sgray.icc grey-tagged.png
    "$tonalith" apply --stage 'YCbCr' grey-tagged.png still-grey.png || fail "grey with profile"
    convert still-grey.png icc:- | cmp - /usr/share/color/icc/ghostscript/sgray.icc || fail "the grey profile was lost"
    "$tonalith" apply --stage 'RGB: R(off)=20' grey-tagged.png tinted2.png 2>note.txt || fail "grey profile on RGB"
    grep -q "grey ICC profile does not fit" note.txt || fail "no note on the dropped grey profile"
    ! convert tinted2.png icc:- >/dev/null 2>&1 || fail "an RGB output carries a grey profile"
    synthetic yuv444p >v.y4m
    expect_error "the input is a picture; it cannot be written as YUV4MPEG2" "$tonalith" apply --stage RGB src.png o.y4m
    expect_error "the input is a YUV4MPEG2 video; it cannot be written as PNG" "$tonalith" apply --stage RGB v.y4m o.png
    expect_error "unknown output extension .bmp" "$tonalith" apply --stage RGB src.png o.bmp
    expect_error "no extension" "$tonalith" apply --stage RGB src.png noext
    expect_error 'unknown format "gif"' "$tonalith" apply --format gif --stage RGB src.png -
    [ ! -e o.y4m ] && [ ! -e o.bmp ] && [ ! -e noext ] || fail "a refused output was written"
    "$tonalith" apply --format tiff --stage RGB src.png - >piped || fail "--format tiff to stdout"
    [ "$(identify -format '%m' piped)" = TIFF ] || fail "--format tiff wrote $(identify -format '%m' piped)"
    "$tonalith" apply -q 40 --stage RGB src16.png low.jpg && "$tonalith" apply --stage RGB src16.png high.jpg || fail "quality"
    [ "$(stat -c %s low.jpg)" -lt "$(stat -c %s high.jpg)" ] || fail "-q 40 is not smaller than the default"
    ;;
metadata)
    # The ICC profile's bytes travel unchanged through every format; EXIF (orientation included)
    # and resolution are kept.
    convert -size 40x30 gradient:'#204080-#e0a060' -profile /usr/share/color/icc/ghostscript/a98.icc \
        -units PixelsPerInch -density 300 src.jpg
    convert src.jpg icc:src.icc
    # An EXIF block holding only the orientation (6: rotate 90 degrees to show), spliced in after SOI.
    { head -c 2 src.jpg; printf '\xff\xe1\x00\x22Exif\x00\x00MM\x00\x2a\x00\x00\x00\x08\x00\x01\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06\x00\x00\x00\x00\x00\x00'; tail -c +3 src.jpg; } >exif.jpg
    [ "$(identify -format '%[orientation]' exif.jpg)" = RightTop ] || fail "fixture has no orientation"
    for out in o.png o.jpg o.tif; do
        "$tonalith" apply "$examples/warm-film.json" src.jpg "$out" || fail "apply to $out"
        convert "$out" icc:out.icc || fail "$out has no profile"
        cmp src.icc out.icc || fail "$out: the profile changed"
        [ "$(identify -format '%x %y' -units PixelsPerInch "$out")" = "300 300" ] \
            || fail "$out: resolution $(identify -format '%x %y' -units PixelsPerInch "$out")"
        "$tonalith" apply "$examples/warm-film.json" "$out" "again-$out" || fail "apply from $out"
        convert "again-$out" icc:again.icc && cmp src.icc again.icc || fail "$out as input lost the profile"
    done
    "$tonalith" apply --stage RGB exif.jpg e.jpg || fail "apply exif to JPEG"
    [ "$(identify -format '%[orientation]' e.jpg)" = RightTop ] || fail "e.jpg lost the orientation"
    # PNG keeps it in an eXIf chunk (before the pixel data), the same bytes.
    "$tonalith" apply --stage RGB e.jpg e.png || fail "apply exif to PNG"
    LC_ALL=C grep -qaP 'eXIfMM\x00\x2a\x00\x00\x00\x08\x00\x01\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06.*IDAT' e.png \
        || fail "e.png has no eXIf chunk with the orientation"
    "$tonalith" apply --stage RGB e.png back.jpg || fail "apply exif from PNG"
    [ "$(identify -format '%[orientation]' back.jpg)" = RightTop ] || fail "the orientation did not come back from PNG"
    # A camera's EXIF (first-directory tags and the EXIF directory) through every format, TIFF
    # included, which keeps it as tags rather than one block; read back by exiv2's own tool.
    cp exif.jpg cam.jpg
    exiv2 -M"set Exif.Image.Make TestCam" -M"set Exif.Photo.ExposureTime 1/250" \
        -M"set Exif.Photo.DateTimeOriginal 2026:12:10 09:00:00" cam.jpg || fail "fixture: exiv2"
    camera_tags() { exiv2 -q -Pkv -g Exif.Image.Make -g Exif.Image.Orientation -g Exif.Photo.ExposureTime \
        -g Exif.Photo.DateTimeOriginal "$1" 2>/dev/null | sort | tr -s ' '; }
    want=$(camera_tags cam.jpg)
    [ "$(echo "$want" | wc -l)" = 4 ] || fail "fixture: camera tags are $want"
    for chain in jpg:tif tif:jpg tif:png png:tif tif:tif; do
        from=${chain%:*} to=${chain#*:}
        src=cam.jpg; [ "$from" = jpg ] || { "$tonalith" apply --stage RGB cam.jpg "cam-src.$from" && src=cam-src.$from; } \
            || fail "to $from"
        "$tonalith" apply --stage RGB "$src" "cam-out-$from.$to" || fail "$from to $to"
        [ "$(camera_tags "cam-out-$from.$to")" = "$want" ] || fail "$from to $to: EXIF is $(camera_tags "cam-out-$from.$to")"
    done
    [ "$(identify -format '%[orientation]' cam-out-jpg.tif)" = RightTop ] || fail "a TIFF viewer sees no orientation"
    # A broken EXIF block costs the TIFF its EXIF, with a note, not the picture.
    { head -c 2 src.jpg; printf '\xff\xe1\x00\x14Exif\x00\x00MM\x00\x2a\xff\xff\xff\x00\x01\x01\x12\x00'; tail -c +3 src.jpg; } >bad-exif.jpg
    "$tonalith" apply --stage RGB bad-exif.jpg bad-exif.tif 2>note.txt || fail "a broken EXIF block failed the picture"
    grep -q "EXIF block it was given is broken.*written without it" note.txt || fail "no note on the broken EXIF: $(cat note.txt)"
    [ "$(identify -format '%w' bad-exif.tif)" = 40 ] || fail "bad-exif.tif is not the picture"
    # TIFF pictures libtiff decodes as RGBA (here: palette) come in rows as stored, like the
    # others, so the orientation that travels is not applied twice.
    convert -size 2x2 xc:blue -fill red -draw 'point 0,0' -type Palette -orient BottomRight pal.tif
    [ "$(identify -format '%[orientation]' pal.tif)" = BottomRight ] || fail "fixture: no orientation"
    "$tonalith" apply --stage RGB pal.tif pal-out.tif || fail "palette TIFF"
    [ "$(identify -format '%[orientation]' pal-out.tif)" = BottomRight ] || fail "the palette TIFF lost its orientation"
    read -r r b <<<"$(convert pal-out.tif -format '%[fx:int(255*p{0,0}.r)] %[fx:int(255*p{0,0}.b)]' info:)"
    [ "$r" -gt 200 ] && [ "$b" -lt 60 ] || fail "the palette TIFF's rows were turned: first pixel $r/$b"
    ;;
cmyk_jpeg)
    # A CMYK JPEG from Photoshop's convention (Adobe marker, inverted) through its embedded
    # profile, and one without a profile through the default; a note says which.
    convert -size 32x16 xc:'#c03020' -colorspace CMYK -profile /usr/share/color/icc/ghostscript/default_cmyk.icc tagged.jpg
    convert -size 32x16 xc:'#c03020' -colorspace CMYK plain.jpg
    [ "$(identify -format '%[colorspace]' plain.jpg)" = CMYK ] || fail "fixture is not CMYK"
    "$tonalith" apply --stage RGB tagged.jpg tagged.png 2>note1.txt || fail "tagged CMYK"
    grep -q "through its embedded profile" note1.txt || fail "no note for the embedded profile: $(cat note1.txt)"
    "$tonalith" apply --stage RGB plain.jpg plain.png 2>note2.txt || fail "untagged CMYK"
    grep -q "default CMYK profile" note2.txt || fail "no note for the default profile: $(cat note2.txt)"
    for f in tagged.png plain.png; do
        read -r r g b <<<"$(convert "$f" -format '%[fx:int(255*mean.r)] %[fx:int(255*mean.g)] %[fx:int(255*mean.b)]' info:)"
        [ "$r" -gt 150 ] && [ "$g" -lt 110 ] && [ "$b" -lt 110 ] || fail "$f: red came out as $r $g $b"
    done
    ;;
conventions)
    "$tonalith" --version >v.txt || fail "--version failed"
    grep -q '^tonalith [0-9]' v.txt && grep -q '^plug-in: .*tonalith.so$' v.txt && grep -q '^build: ' v.txt \
        || fail "--version says: $(cat v.txt)"
    "$tonalith" help >h.txt && grep -q "models" h.txt || fail "help lists no commands"
    # Each command's help has its examples; nested commands are named in full.
    for cmd in apply "chain show" "chain convert" curves models demo grade lut; do
        # shellcheck disable=SC2086
        "$tonalith" help $cmd >h.txt || fail "help $cmd"
        grep -q "Usage: tonalith $cmd" h.txt && grep -q "Example" h.txt || fail "help $cmd: $(head -3 h.txt)"
    done
    expect_error 'unknown command "bogus"' "$tonalith" bogus
    expect_error 'no command "bogus"' "$tonalith" help bogus
    expect_error "apply needs CHAIN IN OUT" "$tonalith" apply
    if "$tonalith" >/dev/null 2>err.txt; then fail "no command succeeded"; fi
    grep -q "Subcommands:" err.txt || fail "no command printed no usage"
    # Labels in any case, as model names are.
    "$tonalith" chain convert --stage 'hsv: h(OFFS)=30, s(con2)=64' --stage 'ycbcr: y(0CON)=5' a.json || fail "lower-case labels"
    grep -q '"H(offs)": 30' a.json && grep -q '"S(con2)": 64' a.json && grep -q '"Y(0con)": 5' a.json \
        || fail "labels in another case resolved wrongly: $(cat a.json)"
    expect_error 'unknown track label "h(off)"' "$tonalith" chain show --stage 'HSV: h(off)=3'
    # Every ffmpeg option the refusal's hint needs.
    synthetic yuv420p9le >src9.y4m
    expect_error "use -pix_fmt yuv420p16le -strict -1 -f yuv4mpegpipe" "$tonalith" apply --stage RGB src9.y4m o.y4m
    ;;
models)
    "$tonalith" models >m.txt || fail "models failed"
    for model in RGB YCbCr CMYK HSV; do grep -q "^$model: " m.txt || fail "models lacks $model"; done
    # index, label, range, default and a meaning on every track's line
    while read -r pattern; do
        grep -qE "$pattern" m.txt || fail "models lacks a line like '$pattern'"
    done <<'TABLE'
^ +0  R\(off\) +-256\.\.256 +0  shifts the red curve
^ +15  - +-256\.\.256 +0  not used
^ +5  Y\(0con\) +-256\.\.256 +0  Y contrast pivoting on black
^ +9  H\(degree\) +0\.\.360 +0  centre of the hue window
^ +10  H\(width\) +0\.\.180 +0  half-width
^ +11  H\(slope\) +0\.\.180 +0  width of the ramps
^ +15  K\(gamm\) +-256\.\.256 +0  bends the black ink curve
0 blue, 52 magenta, 109 red
TABLE
    [ "$(grep -c '^ *[0-9]\+  ' m.txt)" = 64 ] || fail "models does not list 64 tracks"
    "$tonalith" models hsv >h.txt && [ "$(grep -c '^ *[0-9]\+  ' h.txt)" = 16 ] || fail "models hsv"
    expect_error 'unknown model "lab"' "$tonalith" models lab
    # docs/tracks.md is written from this listing: it must not fall behind it.
    sed -n 's/^ *\([0-9]\+\)  \([^ ]\+\) .*/\1 \2/p' m.txt | while read -r index label; do
        [ "$label" = - ] && continue
        grep -qF "| $index | \`$label\` |" "$examples/../docs/tracks.md" || fail "docs/tracks.md lacks track $index $label"
    done || exit 1
    ;;
install)
    # An install finds its plug-in from its real location: in place, through a link, copied beside it.
    build=$(cd "$(dirname "$tonalith")/.." && pwd)
    cmake --install "$build" --prefix "$work/prefix" >/dev/null || fail "cmake --install failed"
    for f in bin/tonalith lib/tonalith/tonalith.so share/man/man1/tonalith.1 share/bash-completion/completions/tonalith; do
        [ -s "prefix/$f" ] || fail "install lacks $f"
    done
    mkdir links copy
    ln -s "$work/prefix/bin/tonalith" links/tonalith
    cp prefix/bin/tonalith prefix/lib/tonalith/tonalith.so copy/
    "$tonalith" demo -o demo >/dev/null || fail "demo"
    for run in prefix/bin/tonalith links/tonalith copy/tonalith; do
        "$run" --version | grep -q "plug-in: .*tonalith.so$" || fail "$run: $("$run" --version)"
        "$run" apply "$examples/warm-film.json" demo/before.png "out.png" || fail "$run cannot apply"
        cmp -s out.png demo/after.png || fail "$run gave another picture than the build tree"
        rm out.png
    done
    "copy/tonalith" --version | grep -q "plug-in: $work/copy/tonalith.so" || fail "the copy did not take the plug-in beside it"
    # The man page and the completion come from the command definitions.
    for cmd in apply chain show convert curves models demo grade lut; do
        grep -q "^\.SS \"[a-z ]*$cmd\"" prefix/share/man/man1/tonalith.1 || fail "the man page lacks $cmd"
    done
    words=$(bash -c 'source prefix/share/bash-completion/completions/tonalith; COMP_WORDS=(tonalith ""); COMP_CWORD=1; _tonalith; echo "${COMPREPLY[*]}"')
    [ "$words" = "apply chain curves models help demo grade lut" ] || fail "completion of commands: $words"
    words=$(bash -c 'source prefix/share/bash-completion/completions/tonalith; COMP_WORDS=(tonalith apply --f); COMP_CWORD=2; _tonalith; echo "${COMPREPLY[*]}"')
    [ "$words" = "--format" ] || fail "completion of apply's options: $words"
    ;;
pipes)
    # Pictures through standard input and output; the chain itself from standard input.
    "$tonalith" demo -o demo >/dev/null || fail "demo"
    "$tonalith" apply "$examples/warm-film.json" demo/before.png file.png || fail "file to file"
    "$tonalith" apply "$examples/warm-film.json" - - <demo/before.png >piped.png || fail "stdin to stdout"
    cmp file.png piped.png || fail "a piped picture differs from the file one"
    convert demo/before.png -quality 90 in.jpg
    "$tonalith" apply "$examples/warm-film.json" - - <in.jpg >piped.out || fail "JPEG through a pipe"
    [ "$(identify -format '%m' piped.out)" = JPEG ] || fail "a JPEG on stdin did not come out as JPEG"
    "$tonalith" apply --format tif "$examples/warm-film.json" - - <in.jpg | identify -format '%m' - | grep -q TIFF \
        || fail "--format tif on stdout"
    "$tonalith" apply - demo/before.png fromchain.png <"$examples/warm-film.json" || fail "chain on stdin"
    cmp file.png fromchain.png || fail "the chain on stdin gave another picture"
    "$tonalith" chain show - <"$examples/teal-orange.json" >shown.txt && grep -q "stage 3: RGB" shown.txt \
        || fail "chain show - did not read standard input"
    expect_error "cannot both come from standard input" "$tonalith" apply - - out.png <in.jpg
    expect_error "standard input: the file is empty" "$tonalith" apply "$examples/warm-film.json" - out.png </dev/null
    # Video still streams through, sniffed from the same input.
    synthetic yuv444p >src.y4m
    "$tonalith" apply --stage YCbCr - - <src.y4m | cmp - src.y4m || fail "a zero chain changed y4m on stdin"
    ;;
batch)
    # Several inputs into a folder; a bad one is reported and the others are written.
    "$tonalith" demo -o demo >/dev/null || fail "demo"
    mkdir in
    cp demo/before.png in/a.png
    convert demo/before.png -quality 90 in/b.jpg
    convert demo/before.png -depth 16 in/c.tif
    echo "not a picture" >in/d.png
    expect_error "in/d.png: not a PNG, JPEG or TIFF picture" "$tonalith" apply "$examples/warm-film.json" in/a.png in/d.png in/b.jpg in/c.tif -o out
    grep -q "3 of 4 written to out; 1 failed" err.txt || fail "no summary: $(cat err.txt)"
    for f in a.png b.jpg c.tif; do [ -s "out/$f" ] || fail "out/$f missing"; done
    [ ! -e out/d.png ] || fail "the bad input left an output"
    [ "$(identify -format '%m %z' out/c.tif)" = "TIFF 16" ] || fail "c.tif did not keep its format and depth"
    "$tonalith" apply "$examples/warm-film.json" in/a.png -o out || fail "a single input into a folder"
    cmp out/a.png <("$tonalith" apply "$examples/warm-film.json" in/a.png - ) || fail "batch and single differ"
    "$tonalith" apply --format jpg --stage RGB in/a.png in/c.tif -o jpgs 2>err.txt || fail "batch with --format"
    [ -s jpgs/a.jpg ] && [ -s jpgs/c.jpg ] || fail "--format did not rename: $(ls jpgs)"
    mkdir other && cp in/a.png other/a.png
    expect_error "another input already wrote a.png" "$tonalith" apply --stage RGB in/a.png other/a.png -o same
    ;;
*)
    fail "unknown case $case_name"
    ;;
esac
echo "ok: $case_name"
