# shellcheck shell=bash
# The tour of the updater, sourced by endtoend.sh (it uses that script's
# helpers and servers): every window and every message box that a person can
# meet, in English and in Polish, each brought up by a real run of the real
# updater, saved as screenshots/en/NAME.png and screenshots/pl/NAME.png.
# Each window's title must be in the run's language.
#
#   changelog, changelog-details, download, summary, summary-log-hidden,
#   box-no-updates          an update of both components, then the next run
#   box-bad-server-address  VELL_UPDATE_SERVER holds no address
#   box-connection-failure  nothing listens at the update server's port
#   box-communication-failure  the "update server" is a web server
#   box-download-error      the package is missing on the HTTP server
#   box-download-disk-full  the work directory's file system is full
#   box-signature-refusal, summary-refused  the package was changed after signing
#   box-install-retry, installing, summary-failed  the plug-in folder is
#                           read-only: Retry or Abort, then the rollback
#   box-rollback-error      the program's share/ turns read-only before Abort
#   box-recovery-failed     the next start cannot undo that run either
#   box-recovery-restored   once the folder is writable again it can
#   box-another-update      a second updater while the first one runs
#   box-updates-left-alone  the plug-in folder is read-only before the start:
#                           the plug-in is left alone, the core goes on
#   box-recovery-invalid-journal  the plug-in folder's journal names a file
#                           outside it: nothing is touched
#   box-downgrade-refusal   a server offers the genuine signed package of an
#                           older version of the plug-in

tour_mounts=()

# own_mount DIR: DIR becomes a mount of its own (bound onto itself), so that a
# later read_only reaches the descriptors of it that a running updater already
# holds; a mount made over it later would cover the path alone.
own_mount() {
    mount --bind "$1" "$1" || fail "cannot bind $1 onto itself"
    tour_mounts+=("$1")
}

# read_only DIR: DIR and everything below it, even for root (a bind mount of
# the private mount namespace).
read_only() {
    case " ${tour_mounts[*]} " in
        *" $1 "*) ;;
        *) own_mount "$1" ;;
    esac
    mount -o remount,bind,ro "$1" || fail "cannot make $1 read-only"
}

# full_disk DIR: DIR becomes a file system of 64 KiB, too small for a package.
full_disk() {
    mkdir -p "$1"
    mount -t tmpfs -o size=64k,mode=0700 tmpfs "$1" || fail "cannot mount a small file system on $1"
    tour_mounts+=("$1")
}

# Last made, first undone: a mount made later may cover an earlier one.
undo_mounts() {
    local i
    for ((i = ${#tour_mounts[@]} - 1; i >= 0; i--)); do
        umount "${tour_mounts[i]}" || fail "cannot unmount ${tour_mounts[i]}"
    done
    tour_mounts=()
}

# A fresh installation of version 1.0 whose client settings choose the
# tour's language from the discovered list ("english", then "pl_PL" of the
# compiled-in catalogue); the update server offers the given plug-in package.
tour_prepare() {
    undo_mounts
    prepare_installation
    mkdir -p "$home/.Vellnet/settings"
    printf '[language]\nselected=%s\n' "$([ "$tour_lang" = en ] && echo 0 || echo 1)" \
        >"$home/.Vellnet/settings/globals"
    catalogue_for "$1"
    manifest >"$out/tour-before.txt"
}

in_language() {
    if [ "$tour_lang" = en ]; then
        echo "$1"
        return
    fi
    case "$1" in
        Update) echo "Aktualizuj" ;;
        "Check updates") echo "Sprawdzanie aktualizacji" ;;
        "Some updates are not installed here") echo "Niektóre aktualizacje nie zostaną tu zainstalowane" ;;
        *) fail "no Polish title known for \"$1\"" ;;
    esac
}

# tour_shot NAME WINDOW [ENGLISH TITLE]: checks the window's title in the
# tour's language ("Update" unless told) and saves the window as NAME.png.
tour_shot() {
    local want title
    want=$(in_language "${3:-Update}")
    title=$(xdotool getwindowname "$2" 2>/dev/null) || fail "$1: the window is gone"
    [ "$title" = "$want" ] || fail "$tour_lang/$1: the window is titled \"$title\", not \"$want\""
    shot "$1" "$2"
}

# same_as_prepared WHAT: the installation is as tour_prepare left it, WHAT
# notwithstanding.
same_as_prepared() {
    manifest >"$out/tour-after.txt"
    cmp -s "$out/tour-before.txt" "$out/tour-after.txt" \
        || fail "$tour_lang: $1 changed files: $(diff "$out/tour-before.txt" "$out/tour-after.txt")"
}

# tour_answer_box NAME [ENGLISH TITLE]: waits for the updater's box, saves it
# as NAME and answers it with Return.
tour_answer_box() {
    local box
    box=$(wait_window box)
    tour_shot "$1" "$box" "${2:-}"
    focus "$box"
    keys Return
}

# tour_box_run NAME [ENGLISH TITLE]: the updater shows one box and ends once
# it is answered. VELL_UPDATE_SERVER, when set, is passed on.
tour_box_run() {
    run_updater
    tour_answer_box "$@"
    wait_updater
}

# Starts the updater and downloads from its change log, whose id it leaves
# in tour_changelog.
# tour_download [DIR]: DIR turns read-only once the change log is open, after
# the start-up found it writable, so that the installation itself meets it.
tour_download() {
    run_updater
    tour_changelog=$(wait_window form)
    if [ -n "${1:-}" ]; then
        read_only "$1"
    fi
    focus "$tour_changelog"
    keys Return # "Download now"
}

tour_server_boxes() {
    tour_prepare statusfilter-2.0.zip
    VELL_UPDATE_SERVER='updates.vell.example:port' \
        tour_box_run box-bad-server-address "Check updates"
    # Port 9 is closed in the private network: refused at once.
    VELL_UPDATE_SERVER=127.0.0.1:9 tour_box_run box-connection-failure "Check updates"
    # The HTTP server answers the query with an error page, not XML.
    VELL_UPDATE_SERVER=127.0.0.1:80 tour_box_run box-communication-failure "Check updates"
}

# tour_box_then_changelog NAME [ENGLISH TITLE]: a run whose box comes before
# the change log: the box is saved and answered, the change log closed.
tour_box_then_changelog() {
    local changelog
    run_updater
    tour_answer_box "$@"
    changelog=$(wait_window form)
    focus "$changelog"
    keys Escape
    wait_updater
}

# Found before any download: the plug-in cannot be installed, the core can.
tour_left_alone() {
    tour_prepare statusfilter-2.0.zip
    read_only "$plugins"
    tour_box_then_changelog box-updates-left-alone "Some updates are not installed here"
    same_as_prepared "leaving the plug-in alone"
}

# A journal left in the plug-in folder names a file outside it: the
# recovery touches nothing and says so, and the check goes on.
tour_invalid_journal() {
    local unwind=$plugins/.vell-unwind
    tour_prepare statusfilter-2.0.zip
    mkdir -m 0700 "$unwind" "$unwind/saved"
    printf 'run 1 boot\nabsent ..%%2F..%%2F..%%2Foutside%%2Fx\n' >"$unwind/journal"
    : >"$unwind/lock"
    manifest >"$out/tour-before.txt"
    tour_box_then_changelog box-recovery-invalid-journal
    same_as_prepared "the invalid journal"
}

# An update server that answers every query with the plug-in's genuine,
# signed package of version 0.9, below the installed 1.0.
tour_downgrade_refusal() {
    local summary server
    tour_prepare statusfilter-2.0.zip
    printf '%s' "<response><request project='vell' name='statusfilter' type='plugin'>\
<version>0.9</version><description>Roster filter: show online 0.9</description>\
<changelog>- the earlier release</changelog>\
<link>http://packages.vell.example/statusfilter-0.9.zip</link></request></response>" \
        >"$scratch/downgrade-answer.xml"
    python3 "$source_dir/tools/updateserver/vell-update-server.py" --catalogue "$scratch/catalogue" \
        --port 34222 --answer-file "$scratch/downgrade-answer.xml" >>"$out/update-server.log" 2>&1 &
    server=$!
    pids+=("$server")
    wait_for_port 34222 "$server"
    VELL_UPDATE_SERVER=127.0.0.1:34222 tour_download
    tour_answer_box box-downgrade-refusal
    summary=$(wait_window summary)
    focus "$summary"
    keys Escape
    wait_updater
    kill "$server"
    wait "$server" 2>/dev/null || true
    same_as_prepared "the refused downgrade"
}

tour_download_error() {
    tour_prepare missing-2.0.zip
    tour_download
    tour_answer_box box-download-error
    wait_updater
}

# The work directory's file system is full: the package cannot be saved.
tour_disk_full() {
    tour_prepare statusfilter-2.0.zip
    full_disk "$scratch/tmp/tupdates"
    tour_download
    tour_answer_box box-download-disk-full
    wait_updater
}

tour_signature_refusal() {
    local summary
    tour_prepare statusfilter-tampered.zip
    tour_download
    tour_answer_box box-signature-refusal
    summary=$(wait_window summary)
    tour_shot summary-refused "$summary"
    focus "$summary"
    keys Escape
    wait_updater
}

# The core installs, the plug-in cannot: Retry fails again, Abort rolls back.
tour_retry_and_rollback() {
    local installing box summary
    tour_prepare statusfilter-2.0.zip
    tour_download "$plugins"
    box=$(wait_window box)
    tour_shot box-install-retry "$box"
    # The installation window waits behind the box; the box steps aside.
    installing=$(wait_window form "$tour_changelog")
    xdotool windowmove "$box" 0 440
    tour_shot installing "$installing"
    focus "$box"
    keys Return # Retry: the folder is still read-only
    box=$(wait_window box "$box")
    focus "$box"
    keys Escape # Abort
    summary=$(wait_window summary)
    tour_shot summary-failed "$summary"
    focus "$summary"
    keys Escape
    wait_updater
    same_as_prepared "the rollback"
}

# Abort while the program's share/ has turned read-only: the core's files cannot
# come back, now or at the next start; once the folder is writable, they do.
tour_rollback_error_and_recovery() {
    local box first second
    tour_prepare statusfilter-2.0.zip
    tour_download "$plugins"
    box=$(wait_window box)
    # The installer holds the program folder open, and its journal there for
    # writing: the folder itself cannot turn read-only under it, but share/,
    # which it reaches anew for each change, can.
    read_only "$install/share"
    focus "$box"
    keys Escape # Abort
    box=$(wait_window box "$box")
    tour_shot box-rollback-error "$box"
    focus "$box"
    keys Return
    wait_updater
    read_only "$install"

    run_updater
    box=$(wait_window box)
    tour_shot box-recovery-failed "$box"
    focus "$box"
    keys Return
    # The check goes on, but with both folders read-only nothing can be
    # installed: the box before the change log says so, and the run ends.
    box=$(wait_window box "$box")
    focus "$box"
    keys Return
    wait_updater

    undo_mounts
    run_updater
    tour_answer_box box-recovery-restored
    first=$(wait_window form)
    (
        status=0
        HOME=$home TMPDIR=$scratch/tmp "$install/updater" >>"$out/updater.log" 2>&1 || status=$?
        echo "$status" >"$out/second-updater.status"
    ) >/dev/null &
    second=$!
    tour_answer_box box-another-update
    wait "$second"
    [ "$(cat "$out/second-updater.status")" = 0 ] || fail "the second updater ended with an error"
    focus "$first"
    keys Escape
    wait_updater
    same_as_prepared "the recovery"
}

# Both components update; the next run finds nothing to do. Prints the log.
tour_successful_update() {
    local changelog summary
    tour_prepare statusfilter-2.0.zip
    run_updater
    changelog=$(wait_window form)
    tour_shot changelog "$changelog"
    focus "$changelog"
    keys space # the link button, which has the focus: "Show changelog"
    tour_shot changelog-details "$changelog"
    keys Return # "Download now"
    tour_shot download "$(wait_window form "$changelog")"
    summary=$(wait_window summary)
    tour_shot summary "$summary"
    summary_log "$summary"
    keys shift+Tab shift+Tab space # "View details" hides the log
    tour_shot summary-log-hidden "$summary"
    keys Escape
    wait_updater
    # The registry fragments of the packages now report version 2.0.
    tour_box_run box-no-updates
}

# tour LANGUAGE (en or pl): every window and box in that language. Prints the
# installation log of the successful update.
tour() {
    tour_lang=$1
    shots=$out/screenshots/$tour_lang
    mkdir -p "$shots"
    tour_server_boxes
    tour_left_alone
    tour_download_error
    tour_disk_full
    tour_signature_refusal
    tour_invalid_journal
    tour_downgrade_refusal
    tour_retry_and_rollback
    tour_rollback_error_and_recovery
    tour_successful_update
}
