#!/usr/bin/env bash
# `tonalith grade` as a command: starting, --open, stopping on a signal, and its errors.
#   grade_cli_test.sh CASE TONALITH
set -uo pipefail
case_name=$1
tonalith=$2
source "$(dirname "$0")/../command_test_lib.sh"

# Starts the server in the background; waits for its address; sets pid, url, port, token.
# GRADE_PATH, when set, is the server's PATH.
start() {
    env PATH="${GRADE_PATH:-$PATH}" "$tonalith" grade "$@" >server.out 2>server.err &
    pid=$!
    for _ in $(seq 1 300); do
        url=$(grep -o 'http://127\.0\.0\.1:[0-9]*/?token=[0-9a-f]*' server.out 2>/dev/null) && break
        kill -0 "$pid" 2>/dev/null || fail "grade $* exited early: $(cat server.err)"
        sleep 0.1
    done
    [ -n "${url:-}" ] || fail "grade $* printed no address"
    port=${url#http://127.0.0.1:}
    port=${port%%/*}
    token=${url##*=}
}
get() { curl -s -o "$2" -w '%{http_code}' -H "X-Tonalith-Token: $token" "http://127.0.0.1:$port$1"; }
stop_with() {
    kill -"$1" "$pid"
    wait "$pid"
    status=$?
    [ "$status" = "$2" ] || fail "SIG$1: exit $status, expected $2"
    if curl -s -o /dev/null "http://127.0.0.1:$port/"; then fail "port $port still answers after SIG$1"; fi
}

ffmpeg -v error -f lavfi -i testsrc2=size=64x48:rate=1 -frames:v 1 picture.png || fail "ffmpeg"

case $case_name in
stop)
    # Ctrl-C and SIGTERM stop the server with the signal's status and free the port.
    for signal in INT:130 TERM:143 HUP:129; do
        start picture.png
        [ "$(get /api/state state.json)" = 200 ] || fail "state"
        stop_with "${signal%%:*}" "${signal##*:}"
        grep -q "stopped" server.err || fail "no word on stopping: $(cat server.err)"
    done
    ;;
open)
    # --open hands the address, token included, to xdg-open.
    mkdir bin
    printf '#!/bin/sh\nprintf "%%s\\n" "$@" > "%s/opened.txt"\n' "$PWD" > bin/xdg-open
    chmod +x bin/xdg-open
    GRADE_PATH="$PWD/bin:$PATH" start --open picture.png
    for _ in $(seq 1 100); do [ -s opened.txt ] && break; sleep 0.1; done
    [ "$(cat opened.txt)" = "$url" ] || fail "xdg-open got '$(cat opened.txt 2>/dev/null)', expected '$url'"
    stop_with INT 130
    # Without xdg-open: a note, and the server runs all the same.
    mkdir nobin
    GRADE_PATH="$PWD/nobin" start --open picture.png
    grep -q "no xdg-open" server.err || fail "no note without xdg-open: $(cat server.err)"
    [ "$(get /api/state state.json)" = 200 ] || fail "state without xdg-open"
    stop_with INT 130
    ;;
video)
    # Any file ffmpeg decodes: frames counted, the frame slider's requests checked.
    ffmpeg -v error -f lavfi -i testsrc2=size=64x48:rate=5 -frames:v 6 -c:v ffv1 clip.mkv || fail "ffmpeg"
    start clip.mkv
    get /api/state state.json >/dev/null
    grep -q '"video":{"frame":0,"frames":6}' state.json || fail "state of a clip: $(cat state.json)"
    code=$(curl -s -o out.json -w '%{http_code}' -H "X-Tonalith-Token: $token" -d '{"frame":6}' "http://127.0.0.1:$port/api/frame")
    [ "$code" = 400 ] || fail "frame past the end: $code"
    code=$(curl -s -o out.json -w '%{http_code}' -H "X-Tonalith-Token: $token" -d '{"frame":5}' "http://127.0.0.1:$port/api/frame")
    [ "$code" = 200 ] && grep -q '"frame":5' out.json || fail "frame 6: $code $(cat out.json)"
    [ "$(get /api/frame.y4m frame.y4m)" = 200 ] && head -c 9 frame.y4m | grep -q YUV4MPEG2 || fail "frame.y4m"
    stop_with INT 130
    # A picture has no frames.
    start picture.png
    [ "$(get /api/frame.y4m frame.y4m)" = 400 ] || fail "frame.y4m of a picture"
    stop_with INT 130
    ;;
errors)
    expect_error "missing.png" "$tonalith" grade missing.png
    head -c 1000 /dev/urandom > noise.bin
    expect_error "noise.bin: not a picture, and ffmpeg" "$tonalith" grade noise.bin
    start picture.png
    expect_error "cannot listen on 127.0.0.1:$port" "$tonalith" grade --port "$port" picture.png
    stop_with INT 130
    ;;
*) fail "no case $case_name" ;;
esac
echo "ok: grade $case_name"
