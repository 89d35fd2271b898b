#!/bin/bash
# Runs the real `updater` program end to end: a scratch installation (the
# updater, the stand-in client "vell", its components registry, the files of
# an "app" component and of a "plugin" component), update packages made by
# vell-package, the local update server and an HTTP server on port 80, all in
# a private network namespace where "updates.vell.example" and
# "packages.vell.example" are 127.0.0.1. Nothing outside the output folder is
# touched: HOME and TMPDIR point into it.
#
#   endtoend.sh --build BUILD_DIR --out OUT_DIR [--demo | --tour]
#               [--server python | nginx] [--break-after BYTES]
#
# --server: what serves the packages on port 80: python3's http.server
# (default) or nginx, with a configuration of its own in the run's folder
# (tools/updateserver/serve-with-nginx.sh).
# --break-after BYTES (nginx only): the packages come through a proxy
# (tools/updateserver/cutting-proxy.py) that resets the first connection once
# BYTES of its answer have passed; only run 1 is made, and besides its checks
# the server's log must show the rest of the package asked for with a Range
# request guarded by If-Range and answered 206.
#
# Test (default): on a private X server, driven by xdotool,
#   1. both components are updated to 2.0: the files on disk are the new ones,
#      the summary shows the installation log;
#   2. the plug-in's package is broken and the user answers Abort: every file
#      is as it was before the run;
#   3. the plug-in's package was changed after signing: the updater refuses
#      the run before installing anything, and every file is as it was.
#   Every package is signed with a scratch minisign key, whose public key the
#   installation trusts ("update-keys" beside the updater).
#   Each run works in a folder of its own, OUT_DIR/run.XXXXXX (OUT_DIR/latest
#   points at it); screenshots of every window land in its screenshots/, and
#   screenshots/failure.png shows the screen whenever a run fails. Exit status
#   0 when everything holds. The run gives up after VELL_E2E_TIME_LIMIT
#   seconds (default 150, below CTest's limit; 600 for the tour, which took
#   over 300 s on a machine at load 14).
#
# Tour (--tour): every window and every message box of the updater, in
# English and in Polish, each from a real run, as screenshots/en/NAME.png and
# screenshots/pl/NAME.png (tour.sh lists them); each window's title must be in
# its run's language.
#
# Every process the script starts (servers, X server, the updater) lives in a
# private process namespace that ends with the script, however it ends:
# success, failure, its own time limit, SIGTERM or SIGKILL.
# Demo (--demo): run 1, then the updater once more, which finds nothing to
# update ("No updates available."). On the user's display when there is one
# (the user clicks through the windows), otherwise on a private X server driven
# like the test. Prints the installation log and what changed on disk, then
# takes the tour on a private X server.
set -euo pipefail
shopt -s inherit_errexit
# A command that fails outside a check ends the run through errexit; say
# which, so that such an end is never silent (also in functions and subshells).
set -o errtrace
trap 'echo "endtoend: line $LINENO: \"$BASH_COMMAND\" failed with status $?" >&2' ERR

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../../.." && pwd)

fail() {
    echo "endtoend: FAIL: $*" >&2
    # Inside, on a display: what the screen and the updater showed.
    if [ "${VELL_E2E_STAGE:-}" = inside ] && [ -n "${DISPLAY:-}" ]; then
        local picture=$VELL_E2E_OUT/screenshots/failure.png why
        # Named only when it exists: a busy X server may refuse the grab.
        mkdir -p "${picture%/*}"
        if why=$(timeout 20 "$VELL_E2E_BIN/e2e-xhelper" screenshot "$picture" 2>&1) && [ -s "$picture" ]; then
            echo "endtoend: screen at the failure: $picture" >&2
        else
            echo "endtoend: no screenshot of the failure could be taken: ${why:-timed out}" >&2
        fi
        sed 's/^/  updater: /' "$VELL_E2E_OUT/updater.log" >&2 || true
    fi
    exit 1
}

# wait_until SECONDS WHAT COMMAND...: runs COMMAND every 0.1 s until it
# succeeds; fails naming WHAT when SECONDS pass first.
wait_until() {
    local limit=$1 what=$2 deadline=$((SECONDS + $1))
    shift 2
    until "$@"; do
        [ $SECONDS -lt $deadline ] || fail "waited $limit s in vain for $what"
        sleep 0.1
    done
}

# ---------------------------------------------------------------- outside ---
if [ "${VELL_E2E_STAGE:-}" != "inside" ]; then
    build="" out="" mode=test server=python break_after=""
    usage="usage: endtoend.sh --build BUILD_DIR --out OUT_DIR [--demo | --tour] [--server python | nginx] [--break-after BYTES]"
    while [ $# -gt 0 ]; do
        case "$1" in
            --build) build=$2; shift 2 ;;
            --out) out=$2; shift 2 ;;
            --demo) mode=demo; shift ;;
            --tour) mode=tour; shift ;;
            --server) server=${2:-}; shift 2 || shift ;;
            --break-after) break_after=${2:-}; shift 2 || shift ;;
            -h|--help) echo "$usage"; exit 0 ;;
            *) echo "$usage" >&2; exit 2 ;;
        esac
    done
    [ -n "$build" ] && [ -n "$out" ] || { echo "endtoend: --build and --out are needed" >&2; exit 2; }
    case "$server" in
        python | nginx) ;;
        *) echo "endtoend: --server is python or nginx" >&2; exit 2 ;;
    esac
    case "$break_after" in
        "") ;;
        *[!0-9]* | 0) echo "endtoend: --break-after needs a positive number of bytes" >&2; exit 2 ;;
        *) [ "$server" = nginx ] && [ "$mode" = test ] \
               || { echo "endtoend: --break-after goes with --server nginx, in the test" >&2; exit 2; } ;;
    esac
    bin=$(cd "$build/bin" && pwd)
    for program in updater vell vell-package e2e-xhelper; do
        [ -x "$bin/$program" ] || fail "$bin/$program is missing; build it first"
    done
    for tool in Xvfb xdotool xprop unshare python3 sha256sum minisign; do
        command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps.sh)"
    done
    mkdir -p "$out"
    out=$(cd "$out" && pwd)
    # A folder of its own for every run, so nothing of an earlier run (files,
    # a server's log, a display number) can meet this one.
    rm -rf "$out"/run.* "$out/latest"
    run=$(mktemp -d "$out/run.XXXXXX")
    mkdir -p "$run/screenshots"
    ln -sfn "$(basename "$run")" "$out/latest"
    out=$run

    [ "$server" = python ] || command -v nginx >/dev/null || [ -x /usr/sbin/nginx ] \
        || fail "nginx is not installed (scripts/install-deps.sh)"
    VELL_E2E_STAGE=inside VELL_E2E_BIN=$bin VELL_E2E_OUT=$out VELL_E2E_MODE=$mode \
        VELL_E2E_SERVER=$server VELL_E2E_BREAK_AFTER=$break_after \
        exec "$source_dir/tools/updateserver/run-in-netns.sh" \
        --host updates.vell.example --host packages.vell.example -- /bin/bash "$0"
fi

# ----------------------------------------------------------------- inside ---
bin=$VELL_E2E_BIN
out=$VELL_E2E_OUT
mode=$VELL_E2E_MODE
server=$VELL_E2E_SERVER
break_after=$VELL_E2E_BREAK_AFTER
shots=$out/screenshots
scratch=$out/scratch
install=$scratch/install
home=$scratch/home
plugins=$home/.Vellnet/plugins

pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
}
trap cleanup EXIT

# The installed version 1.0: every file that the 2.0 packages touch exists.
prepare_installation() {
    rm -rf "$install" "$home" "$scratch/tmp"
    mkdir -p "$install/share" "$plugins" "$scratch/tmp"
    cp "$bin/updater" "$bin/vell" "$install/"
    mkdir -p "$install/update-keys"
    cp "$scratch/keys/minisign.pub" "$install/update-keys/"
    # Written as ComponentsFile::save() writes it, without a final line feed.
    printf '%s' "<components>
<component project='vell' name='core' type='app' version='1.0'>
<description>Vell instant messenger</description>
<copyrights>(c) Vell developers</copyrights>
<author>Vell developers</author>
<webpage>http://www.vell.example/</webpage>
<email>team@vell.example</email>
</component><component project='vell' name='statusfilter' type='plugin' version='1.0'>
<description>Roster filter: show online</description>
<copyrights>(c) Vell developers</copyrights>
<author>Vell developers</author>
<webpage>http://www.vell.example/</webpage>
<email>team@vell.example</email>
</component></components>" >"$install/components.xml"
    echo "Vell 1.0" >"$install/README.txt"
    echo "1.0 :)" >"$install/share/emoticons.txt"
    head -c 150000 /dev/zero >"$install/share/sounds.dat"
    echo "statusfilter 1.0" >"$plugins/statusfilter.kwx"
}

# The scratch key pair that signs the packages; no password.
make_signing_key() {
    mkdir -p "$scratch/keys"
    minisign -G -f -W -p "$scratch/keys/minisign.pub" -s "$scratch/keys/minisign.sec" >/dev/null
}

# Packages of version 2.0, signed; a plug-in package whose descriptor names the
# wrong component type, which the installer refuses (signed all the same);
# and the plug-in's package with one byte changed after signing.
build_packages() {
    local www=$scratch/www files=$scratch/package-files
    rm -rf "$www" "$files"
    mkdir -p "$www" "$files/core/share" "$files/statusfilter"
    echo "Vell 2.0" >"$files/core/README.txt"
    echo "2.0 :D" >"$files/core/share/emoticons.txt"
    # Sizeable, so that the download window stays up for a moment.
    head -c 300000 /dev/urandom >"$files/core/share/sounds.dat"
    echo "statusfilter 2.0" >"$files/statusfilter/statusfilter.kwx"
    # The core package replaces the running updater program itself (its "2.0"
    # is the same program without debugging data): the run must go on to its
    # summary, and the next run starts the new program.
    strip --strip-debug -o "$files/core/updater" "$bin/updater"
    local key=$scratch/keys/minisign.sec
    # Each brings its registry fragment (the default), so the client then reports 2.0.
    "$bin/vell-package" --project vell --name core --type app --version 2.0 \
        --files "$files/core" --sign "$key" "$www/core-2.0.zip"
    "$bin/vell-package" --project vell --name statusfilter --type plugin --version 2.0 \
        --files "$files/statusfilter" --sign "$key" "$www/statusfilter-2.0.zip"
    # The earlier release of the plug-in, genuine and signed: offered over
    # 1.0, it is a downgrade.
    mkdir -p "$files/statusfilter-0.9"
    echo "statusfilter 0.9" >"$files/statusfilter-0.9/statusfilter.kwx"
    "$bin/vell-package" --project vell --name statusfilter --type plugin --version 0.9 \
        --files "$files/statusfilter-0.9" --sign "$key" "$www/statusfilter-0.9.zip"
    "$bin/vell-package" --project vell --name statusfilter --type app --version 2.0 \
        --no-registry-fragment --files "$files/statusfilter" "$www/statusfilter-broken.zip"
    minisign -S -s "$key" -m "$www/statusfilter-broken.zip" \
        -t "vell-package project=vell name=statusfilter type=plugin version=2.0"
    cp "$www/statusfilter-2.0.zip" "$www/statusfilter-tampered.zip"
    cp "$www/statusfilter-2.0.zip.minisig" "$www/statusfilter-tampered.zip.minisig"
    python3 -c 'import sys; p = sys.argv[1]; b = bytearray(open(p, "rb").read())
b[len(b) // 2] ^= 1; open(p, "wb").write(b)' "$www/statusfilter-tampered.zip"
}

# catalogue_for PLUGIN_PACKAGE: what the update server offers.
catalogue_for() {
    local catalogue=$scratch/catalogue
    rm -rf "$catalogue"
    mkdir -p "$catalogue"
    cat >"$catalogue/core.json" <<'EOF'
{"project": "vell", "name": "core", "type": "app",
 "versions": [{"version": "2.0", "description": "Vell instant messenger 2.0",
               "changelog": "- faster start\n- new emoticons",
               "link": "http://packages.vell.example/core-2.0.zip", "timestamp": 1767225600}]}
EOF
    cat >"$catalogue/statusfilter.json" <<EOF
{"project": "vell", "name": "statusfilter", "type": "plugin",
 "versions": [{"version": "2.0", "description": "Roster filter: show online 2.0",
               "changelog": "- hides invisible buddies too",
               "link": "http://packages.vell.example/$1", "timestamp": 1767225600}]}
EOF
}

# Every file of the installation and the plug-in folder with its checksum.
manifest() {
    (cd "$scratch" && find install home -type f -print0 | sort -z | xargs -0 sha256sum)
}

port_open() {
    kill -0 "$2" 2>/dev/null || fail "the server for port $1 ended at start (see $out)"
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

wait_for_port() {
    wait_until 20 "a server on port $1" port_open "$1" "$2"
}

start_servers() {
    python3 "$source_dir/tools/updateserver/vell-update-server.py" \
        --catalogue "$scratch/catalogue" --port 34221 >"$out/update-server.log" 2>&1 &
    pids+=($!)
    wait_for_port 34221 $!
    # Throttled, so that a person (and a screenshot) sees the download.
    if [ "$server" = python ]; then
        python3 "$here/slow-http-server.py" --directory "$scratch/www" --port 80 --rate 300000 \
            >"$out/http-server.log" 2>&1 &
        pids+=($!)
        wait_for_port 80 $!
        return 0
    fi
    local nginx_port=80
    [ -z "$break_after" ] || nginx_port=8080
    # Its configuration, pid file and logs (access.log) in $out/nginx.
    "$source_dir/tools/updateserver/serve-with-nginx.sh" --root "$scratch/www" \
        --scratch "$out/nginx" --port $nginx_port --rate 300000 >"$out/http-server.log" 2>&1 &
    pids+=($!)
    wait_for_port $nginx_port $!
    if [ -n "$break_after" ]; then
        python3 "$source_dir/tools/updateserver/cutting-proxy.py" --listen 80 \
            --upstream $nginx_port --cut-after "$break_after" --cuts 1 >"$out/proxy.log" 2>&1 &
        pids+=($!)
        wait_for_port 80 $!
    fi
}

start_private_display() {
    local fifo=$out/display
    [ -z "${private_display:-}" ] || return 0
    private_display=started
    rm -f "$fifo"
    # -noreset: by default the server resets when its last client leaves, as
    # between two runs of the updater; a program that connects during the
    # reset finds no display and aborts.
    Xvfb -displayfd 3 -noreset -screen 0 800x600x24 -nolisten tcp 3>"$fifo" 2>"$out/xvfb.log" &
    pids+=($!)
    wait_until 20 "Xvfb to start" test -s "$fifo"
    export DISPLAY=":$(head -n1 "$fifo")"
}

# --- driving the windows ------------------------------------------------------
# The updater's forms are normal windows (the chain's forms 450 pixels wide, the summary
# any other width); its message boxes are dialogs, whatever their width.
# Both print nothing for a window that closed since it was found: under
# errexit and pipefail, the failing query would end the whole test silently.
window_width() {
    { xdotool getwindowgeometry "$1" 2>/dev/null || true; } | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p'
}

window_type() {
    { xprop -id "$1" _NET_WM_WINDOW_TYPE 2>/dev/null || true; } | sed -n 's/^[^=]*= _NET_WM_WINDOW_TYPE_\([A-Z]*\).*/\1/p'
}

# updater_cpu_ticks: the CPU time the running updater has used so far (clock
# ticks), or nothing once it is gone.
updater_cpu_ticks() {
    local pid stat
    for pid in $(pgrep -P "${updater_pid:-0}" 2>/dev/null || true); do
        stat=$(cat "/proc/$pid/stat" 2>/dev/null) || continue
        # Fields 14 and 15 (user, system) counted after the command's ")".
        stat=${stat##*) }
        read -r _ _ _ _ _ _ _ _ _ _ _ utime stime _ <<<"$stat"
        echo $((utime + stime))
        return 0
    done
}

# wait_window KIND [IDS TO SKIP...]: prints the id of a visible window of that
# kind ("form", "summary" or "box") that is none of the given ones; kind
# "summary-no-box" fails at once when a message box comes up instead. On a
# loaded machine the updater may need long for its first window: the wait
# goes on while it keeps using CPU time, and gives up after 60 s without any
# progress or VELL_E2E_WINDOW_CAP seconds (default 240) in all.
wait_window() {
    local kind=$1 cap=${VELL_E2E_WINDOW_CAP:-240} id width ticks last_ticks=""
    local stall_deadline=$((SECONDS + 60)) deadline=$((SECONDS + ${VELL_E2E_WINDOW_CAP:-240}))
    shift
    while [ $SECONDS -lt $deadline ] && [ $SECONDS -lt $stall_deadline ]; do
        ticks=$(updater_cpu_ticks)
        if [ -n "$ticks" ] && [ "$ticks" != "$last_ticks" ]; then
            last_ticks=$ticks
            stall_deadline=$((SECONDS + 60))
        fi
        for id in $(xdotool search --onlyvisible --class '^updater$' 2>/dev/null || true); do
            case " $* " in *" $id "*) continue ;; esac
            width=$(window_width "$id")
            case "$kind:$(window_type "$id"):$width" in
                *:*:) ;; # gone meanwhile
                box:DIALOG:* | form:NORMAL:450) echo "$id"; return 0 ;;
                summary*:NORMAL:450) ;;
                summary*:NORMAL:*) echo "$id"; return 0 ;;
                summary-no-box:DIALOG:*) fail "a message box came up where the summary was awaited" ;;
            esac
        done
        [ ! -s "$out/updater.status" ] \
            || fail "the updater ended (status $(updater_status)) while waiting for a $kind window"
        sleep 0.1
    done
    echo "endtoend: processes while waiting for a $kind window:" >&2
    ps -eo pid,ppid,etime,time,stat,args >&2 || true
    if [ $SECONDS -ge $deadline ]; then
        fail "waited $cap s in vain for a $kind window of the updater (it was still working)"
    fi
    fail "waited 60 s in vain for a $kind window of the updater (no progress: ${last_ticks:-no} CPU ticks)"
}

keys() {
    local key
    for key in "$@"; do
        xdotool key "$key"
        sleep 0.15
    done
}

focus() {
    xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
    sleep 0.3
}

# shot NAME [WINDOW]: the whole screen, or one window, as NAME.png.
shot() {
    sleep 0.3
    "$bin/e2e-xhelper" screenshot "$shots/$1.png" ${2:+"$2"} 2>/dev/null || fail "no screenshot $1"
}

# The text of the summary's details box, through the clipboard.
summary_log() {
    focus "$1"
    # Focus order: "View details", "Close", the details box.
    keys Tab Tab ctrl+a ctrl+c
    "$bin/e2e-xhelper" clipboard 2>/dev/null
}

close_summary() {
    focus "$1"
    keys shift+Tab space
}

# The updater runs in a subshell that records its exit status, which the
# helpers below, in subshells of their own, read from the file.
run_updater() {
    rm -f "$out/updater.status"
    (
        status=0
        HOME=$home TMPDIR=$scratch/tmp "$install/updater" >>"$out/updater.log" 2>&1 || status=$?
        echo "$status" >"$out/updater.status"
    ) >/dev/null &
    updater_pid=$!
}

updater_status() {
    cat "$out/updater.status" 2>/dev/null || echo "unknown"
}

wait_updater() {
    wait_until 30 "the updater to end" test -s "$out/updater.status"
    wait "$updater_pid" || true
    [ "$(updater_status)" = 0 ] || fail "the updater ended with status $(updater_status)"
}

# Run 1: both updates install. Prints the installation log.
drive_successful_run() {
    local changelog download summary
    run_updater
    changelog=$(wait_window form)
    shot 01-changelog
    focus "$changelog"
    keys space # "Show changelog"
    shot 02-changelog-details
    keys Tab space # "Download now"
    download=$(wait_window form "$changelog")
    shot 03-download
    summary=$(wait_window summary-no-box)
    shot 05-summary
    summary_log "$summary"
    close_summary "$summary"
    wait_updater
}

# drive_run_with_box BOX_SHOT KEY SUMMARY_SHOT: the user downloads, answers the
# box that stops the run with KEY, then closes the summary. Prints the log.
#   run 2: the plug-in's package fails and the user gives up (Escape: Abort);
#   run 3: the updater refuses the tampered package (Return: OK).
drive_run_with_box() {
    local changelog box summary
    run_updater
    changelog=$(wait_window form)
    focus "$changelog"
    keys Tab space # "Download now"
    box=$(wait_window box)
    shot "$1"
    focus "$box"
    keys "$2"
    summary=$(wait_window summary "$box")
    shot "$3"
    summary_log "$summary"
    close_summary "$summary"
    wait_updater
}

print_changes() {
    local before=$1 after=$2
    echo "What changed on disk (below $scratch):"
    diff <(sed 's/^[0-9a-f]*  //' "$before") <(sed 's/^[0-9a-f]*  //' "$after") \
        | sed -n 's/^> /  added:   /p; s/^< /  removed: /p' || true
    join -j 2 <(awk '{print $1, $2}' "$before" | sort -k2) <(awk '{print $1, $2}' "$after" | sort -k2) \
        | awk '$2 != $3 {print "  changed: " $1}'
}

expected_log='Installing package core:
 - README.txt
 - components.d/vellcoreapp.xml
 - core-2.0.xml
 - share/emoticons.txt
 - share/sounds.dat
 - updater

Installing package statusfilter:
 - components.d/vellstatusfilterplugin.xml
 - statusfilter-2.0.xml
 - statusfilter.kwx'

check_successful_run() {
    local log=$1
    [ "$log" = "$expected_log" ] || fail "installation log:
$log"
    [ "$(cat "$install/README.txt")" = "Vell 2.0" ] || fail "README.txt was not updated"
    [ "$(cat "$install/share/emoticons.txt")" = "2.0 :D" ] || fail "emoticons.txt was not updated"
    cmp -s "$install/share/sounds.dat" "$scratch/package-files/core/share/sounds.dat" \
        || fail "sounds.dat was not updated"
    [ "$(cat "$plugins/statusfilter.kwx")" = "statusfilter 2.0" ] || fail "the plug-in was not updated"
    cmp -s "$install/updater" "$scratch/package-files/core/updater" \
        || fail "the running updater was not replaced"
    [ -z "$(find "$scratch/tmp" -type f)" ] || fail "files left in the work directory"
}

# The proxy cut a package's answer, and the rest of that package was asked
# for from where it broke, guarded by If-Range, and came as a part (206).
check_resumed_download() {
    grep -q "^cut connection [0-9]* after $break_after bytes" "$out/proxy.log" \
        || fail "the proxy cut no connection: $(cat "$out/proxy.log")"
    grep -Eq '^GET /[^ ]*\.zip HTTP/1\.1 status=206 range="bytes=[1-9][0-9]*-" if_range="[^"-][^"]*"' \
        "$out/nginx/access.log" \
        || fail "no package was resumed with a Range request; the server's log:
$(cat "$out/nginx/access.log")"
}

# ------------------------------------------------------------------- main ---
make_signing_key
prepare_installation
build_packages >"$out/build-packages.log"
catalogue_for statusfilter-2.0.zip
start_servers
: >"$out/updater.log"

# shellcheck source=tour.sh
source "$here/tour.sh"

# Both languages' tours; checks what the successful updates left on disk.
run_tour() {
    local lang log
    for lang in en pl; do
        # A step that ends the tour early says why, with the updater's output.
        log=$(tour "$lang") || fail "the tour in $lang stopped early (the updater's last status: $(updater_status))"
        if [ "$lang" = en ]; then
            check_successful_run "$log"
        else
            # The same log, its headings in Polish.
            check_successful_run "${log//Instalacja pakietu /Installing package }"
        fi
        echo "endtoend: tour in $lang passed"
    done
    echo "endtoend: screenshots in $out/screenshots/en and $out/screenshots/pl"
}

# The second run after an update: nothing more to offer.
demo_no_updates() {
    local box
    run_updater
    box=$(wait_window box)
    shot "$1" "$box"
    if [ "$2" = driven ]; then
        focus "$box"
        keys Return
    fi
    wait_until 600 "the updater to end" test -s "$out/updater.status"
}

if [ "$mode" = demo ]; then
    manifest >"$out/before.txt"
    echo "The packages are signed with a scratch key; the installation trusts"
    echo "$install/update-keys/minisign.pub. vell-package ran:"
    sed -n 's/^minisign /  minisign /p' "$out/build-packages.log"
    echo
    if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
        echo "The updater opens on your display ($DISPLAY): click \"Download now\","
        echo "watch the download and installation, read the log and click \"Close\"."
        HOME=$home TMPDIR=$scratch/tmp "$install/updater" || echo "The updater ended with status $?."
        echo
        echo "(The installation log was shown in the summary window.)"
        echo
        echo "The updater runs again: the client now reports 2.0, so it says"
        echo "\"No updates available.\" (saved as $shots/09-no-updates.png); click \"OK\"."
        demo_no_updates 09-no-updates waits
    else
        echo "No usable display: running the updater on a private X server;"
        echo "screenshots go to $shots."
        start_private_display
        log=$(drive_successful_run)
        echo
        echo "Installation log (from the summary window):"
        echo "$log" | sed 's/^/  /'
        echo
        echo "The updater runs again: the client now reports 2.0, so it says"
        echo "\"No updates available.\" ($shots/09-no-updates.png)."
        demo_no_updates 09-no-updates driven
    fi
    echo
    manifest >"$out/after.txt"
    print_changes "$out/before.txt" "$out/after.txt"
    echo
    echo "README.txt now reads: $(cat "$install/README.txt")"
    echo "statusfilter.kwx now reads: $(cat "$plugins/statusfilter.kwx")"
    echo
    echo "The tour: every window and message box of the updater, in English and in"
    echo "Polish, each from a real run on a private X server (about two minutes), goes to"
    echo "$out/screenshots/en and $out/screenshots/pl."
    export LC_ALL=C.UTF-8
    start_private_display
    run_tour >"$out/tour.log" || fail "the tour failed (see $out/tour.log)"
    ls "$out/screenshots/en" | sed 's/^/  /'
    exit 0
fi

export LC_ALL=C.UTF-8 # the built-in English texts
start_private_display

run_test() {
    log=$(drive_successful_run)
    check_successful_run "$log"
    echo "endtoend: run 1 (both updates installed) passed"
    if [ -n "$break_after" ]; then
        check_resumed_download
        echo "endtoend: screenshots in $shots"
        return 0
    fi

    prepare_installation
    catalogue_for statusfilter-broken.zip
    manifest >"$out/before.txt"
    log=$(drive_run_with_box 04-installation-failed-box Escape 06-summary-rolled-back)
    [ "$log" = "An error occured while installing updates" ] || fail "log after the rollback: $log"
    manifest >"$out/after.txt"
    cmp -s "$out/before.txt" "$out/after.txt" \
        || fail "files changed although the run was rolled back: $(diff "$out/before.txt" "$out/after.txt")"
    [ -z "$(find "$scratch/tmp" -type f)" ] || fail "files left in the work directory"
    echo "endtoend: run 2 (failed package, Abort, rollback) passed"

    prepare_installation
    catalogue_for statusfilter-tampered.zip
    manifest >"$out/before.txt"
    log=$(drive_run_with_box 07-package-refused-box Return 08-summary-refused)
    [ "$log" = "The signature does not match the package statusfilter 2.0: the file was changed.

No update was installed: the installation is as it was." ] || fail "log after the refusal: $log"
    manifest >"$out/after.txt"
    cmp -s "$out/before.txt" "$out/after.txt" \
        || fail "files changed although the package was refused: $(diff "$out/before.txt" "$out/after.txt")"
    [ -z "$(find "$scratch/tmp" -type f)" ] || fail "files left in the work directory"
    echo "endtoend: run 3 (tampered package refused, nothing installed) passed"
    echo "endtoend: screenshots in $shots"
}

# The test itself runs in a child, so that the time limit and SIGTERM reach
# the traps below at once; whatever way this shell ends, everything it
# started ends with the namespace.
if [ "$mode" = tour ]; then
    time_limit=${VELL_E2E_TIME_LIMIT:-600}
    run_tour &
else
    time_limit=${VELL_E2E_TIME_LIMIT:-150}
    run_test &
fi
test_pid=$!
pids+=("$test_pid")
(
    sleep "$time_limit"
    kill -USR1 $$ 2>/dev/null
) &
pids+=($!)
# What was still running tells where the run stood.
time_limit_reached() {
    echo "endtoend: processes at the time limit:" >&2
    ps -eo pid,ppid,etime,args >&2 || true
    fail "the time limit of $time_limit s was reached"
}
trap time_limit_reached USR1
trap 'fail "stopped by SIGTERM"' TERM
trap 'fail "stopped by SIGINT"' INT
status=0
wait "$test_pid" || status=$?
exit $status
