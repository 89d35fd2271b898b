#!/bin/bash
# What an installer, a packager and a consumer get from a finished build.
#
#   packaging-test.sh CHECK --build BUILD_DIR --out OUT_DIR
#
#   install-default   the default install holds the deliverables alone, with
#                     exactly the client's run paths
#   install-standins  the stand-in component, with its run paths, and its
#                     vell-plugins running from a prefix other than /opt/vell
#   build-runpaths    every ELF file of the build tree finds the build's own
#                     lib/ first and carries no empty run-path entry
#   consumer          a project finds the installed libraries through
#                     find_package(VellCompanions) and through pkg-config,
#                     builds and runs
#   deb               `cpack -G DEB`: contents (with updater.conf saying
#                     managed-by=dpkg), computed dependencies,
#                     stripped binaries, the -dbgsym package and lintian
#   deb-key           the Debian package of the same build configured with
#                     -DVELL_UPDATE_KEY: the key is the package's
#                     /opt/vell/update-keys/minisign.pub, and the updater's
#                     verifier with that key accepts a package signed by it
#                     and refuses it unsigned (the build is configured back as
#                     it was afterwards)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
case "${1:-}" in
    -h|--help) echo "usage: packaging-test.sh CHECK --build BUILD_DIR --out OUT_DIR"; exit 0 ;;
esac
check=${1:-}
shift || true
build="" out=""
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build=$(cd "$2" && pwd); shift 2 ;;
        --out) out=$2; shift 2 ;;
        *) echo "usage: packaging-test.sh CHECK --build BUILD_DIR --out OUT_DIR" >&2; exit 2 ;;
    esac
done
if [ -z "$check" ] || [ -z "$build" ] || [ -z "$out" ]; then
    echo "usage: packaging-test.sh CHECK --build BUILD_DIR --out OUT_DIR" >&2
    exit 2
fi
rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Files below a tree, one relative name a line, the build type taken out of
# the names of CMake's per-configuration target files.
list_tree() {
    (cd "$1" && find . \( -type f -o -type l \) -printf '%P\n') \
        | sed -E 's/Targets-[a-z]+\.cmake$/Targets-<config>.cmake/' | LC_ALL=C sort
}

compare_lists() { # expected-file actual-list-file what
    if ! diff -u "$1" "$2" >"$out/$3.diff"; then
        fail "$3 differs from $(basename "$1") (- expected, + installed):"
        cat "$out/$3.diff" >&2
    fi
}

is_elf() { [ "$(head -c4 "$1" | od -An -c | tr -d ' ')" = '177ELF' ]; }

runpath_of() { # the RUNPATH of an ELF file, empty when it has none
    readelf -d "$1" | sed -n 's/.*(RUNPATH).*Library runpath: \[\(.*\)\]$/\1/p'
}

# Every ELF file below a tree must carry exactly the run path listed for it.
check_installed_runpaths() { # tree
    local tree=$1 name expected actual
    while read -r name; do
        [ -n "$name" ] || continue
        is_elf "$tree/$name" || continue
        expected=$(awk -v n="$name" '$1 == n { print $2 }' "$here/installed-runpaths.txt")
        actual=$(runpath_of "$tree/$name")
        if [ -z "$expected" ]; then
            fail "$name: an ELF file with no run path listed in installed-runpaths.txt"
        elif [ "$actual" != "$expected" ]; then
            fail "$name: run path [$actual], expected [$expected]"
        fi
    done < <(list_tree "$tree")
}

install_component() { # prefix [component]
    if [ -n "${2:-}" ]; then
        cmake --install "$build" --prefix "$1" --component "$2" >"$out/install-$2.log"
    else
        cmake --install "$build" --prefix "$1" >"$out/install-default.log"
    fi
}

case "$check" in
install-default)
    install_component "$out/tree"
    list_tree "$out/tree" >"$out/files.txt"
    compare_lists "$here/default-install.txt" "$out/files.txt" default-install
    check_installed_runpaths "$out/tree"
    ;;

install-standins)
    install_component "$out/tree" standins
    list_tree "$out/tree" >"$out/files.txt"
    compare_lists "$here/standins-install.txt" "$out/files.txt" standins-install
    check_installed_runpaths "$out/tree"
    # Both components in one tree below a prefix that is not /opt/vell, run
    # from another folder: the tool finds its libraries beside itself.
    install_component "$out/both"
    install_component "$out/both" standins
    if ! (cd / && "$out/both/vell-plugins" info "$out/both/plugins/statusfilter.kwx") \
        >"$out/vell-plugins.out" 2>&1; then
        fail "vell-plugins from $out/both does not start:"
        cat "$out/vell-plugins.out" >&2
    fi
    ;;

build-runpaths)
    checked=0
    while read -r file; do
        is_elf "$file" || continue
        runpath=$(runpath_of "$file")
        checked=$((checked + 1))
        case ":$runpath:" in
            *::*) fail "$file: empty entry in the run path [$runpath]" ;;
        esac
        if [ "${runpath%%:*}" != "$build/lib" ]; then
            fail "$file: run path [$runpath] does not start with $build/lib"
        fi
    done < <(find "$build/bin" "$build/lib" "$build/plugins" -type f \( -perm -u+x -o -name '*.so' -o -name '*.kwx' \))
    [ "$checked" -gt 20 ] || fail "only $checked ELF files found in $build"
    ;;

consumer)
    install_component "$out/prefix"
    install_component "$out/prefix" standins
    # libmsgvault finds the client's libraries through the client's run path,
    # /opt/vell/vell_libs; below another prefix the loader is told.
    export LD_LIBRARY_PATH="$out/prefix/vell_libs${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
    export QT_QPA_PLATFORM=offscreen
    run_consumer() { # what program
        if ! "$2" >"$out/$1.out" 2>&1 || ! grep -q '^conversations 1, widget resources found' "$out/$1.out"; then
            fail "$1: the consumer did not run as expected:"
            cat "$out/$1.out" >&2
        fi
    }
    build_with_cmake() { # what
        if cmake -S "$here/consumer" -B "$out/$1" -DCMAKE_PREFIX_PATH="$out/prefix" \
                -DCMAKE_BUILD_TYPE=Release >"$out/$1.log" 2>&1 \
            && cmake --build "$out/$1" >>"$out/$1.log" 2>&1; then
            run_consumer "$1" "$out/$1/vell-consumer"
        else
            fail "$1: the consumer project does not build:"
            tail -30 "$out/$1.log" >&2
        fi
    }
    # With our stand-ins' targets installed beside the package.
    build_with_cmake with-standin-targets
    # In a client's own tree the client's library is found by file.
    rm -f "$out"/prefix/lib/cmake/VellCompanions/VellClientTargets*.cmake
    build_with_cmake client-tree
    # pkg-config: the compiler and linker flags alone.
    export PKG_CONFIG_PATH="$out/prefix/lib/pkgconfig"
    if flags=$(pkg-config --cflags --libs msgvault snapwidgets 2>"$out/pkg-config.log") \
        && c++ -std=c++17 -fPIC -o "$out/pkg-config-consumer" "$here/consumer/main.cpp" $flags \
            >>"$out/pkg-config.log" 2>&1; then
        run_consumer pkg-config "$out/pkg-config-consumer"
    else
        fail "pkg-config: the consumer does not build:"
        tail -30 "$out/pkg-config.log" >&2
    fi
    ;;

deb)
    (cd "$out" && cpack --config "$build/CPackConfig.cmake" -B "$out" -G DEB) >"$out/cpack.log" 2>&1 \
        || { cat "$out/cpack.log" >&2; fail "cpack failed"; exit 1; }
    deb=$(ls "$out"/vell-companions_*.deb)
    ddeb=$(ls "$out"/vell-companions-dbgsym_*.ddeb 2>/dev/null || true)
    [ -n "$ddeb" ] || fail "no -dbgsym package beside $deb"
    mkdir "$out/root"
    dpkg-deb -x "$deb" "$out/root"
    # The default install below /opt/vell, plus the Debian documents.
    { sed 's|^|opt/vell/|' "$here/default-install.txt"
      printf '%s\n' usr/share/doc/vell-companions/changelog.gz usr/share/doc/vell-companions/copyright
      printf '%s\n' opt/vell/updater.conf
    } | LC_ALL=C sort >"$out/expected.txt"
    list_tree "$out/root" >"$out/files.txt"
    compare_lists "$out/expected.txt" "$out/files.txt" deb-contents
    # The package tells the updater that dpkg keeps the program folder.
    managed=$(sed -n 's/^managed-by=//p' "$out/root/opt/vell/updater.conf" 2>/dev/null || true)
    [ "$managed" = dpkg ] || fail "opt/vell/updater.conf: managed-by=[$managed], expected dpkg"
    # The run paths stay the client's; the binaries lost their symbols.
    check_installed_runpaths "$out/root/opt/vell"
    while read -r file; do
        is_elf "$file" || continue
        if readelf -S "$file" | grep -q '\.debug_info\|\.symtab'; then
            fail "${file#"$out/root/"}: not stripped"
        fi
    done < <(find "$out/root" -type f)
    depends=$(dpkg-deb -f "$deb" Depends)
    for package in libqt5core5a libqt5widgets5 libminizip1 libc6; do
        case "$depends" in
            *"$package "*) ;;
            *) fail "Depends lacks $package (dpkg-shlibdeps): $depends" ;;
        esac
    done
    if [ -n "$ddeb" ]; then
        debug_files=$(dpkg-deb -c "$ddeb" | grep -c '/usr/lib/debug/\.build-id/.*\.debug$' || true)
        # updater, libmsgvault, libsnapwidgets (twice, the same build ID), statusfilter.kwx
        [ "$debug_files" -ge 4 ] || fail "the -dbgsym package holds $debug_files debug files"
    fi
    # The /opt layout is the client's: every file below /opt trips
    # dir-or-file-in-opt, and the client's run path custom-library-search-path.
    # Nothing else may be reported.
    if ! lintian --no-cfg --fail-on error,warning \
            --suppress-tags dir-or-file-in-opt,custom-library-search-path \
            "$deb" >"$out/lintian.log" 2>&1; then
        fail "lintian:"
        cat "$out/lintian.log" >&2
    fi
    ;;

deb-key)
    # A packager's key: the option changes install rules only, so the
    # finished build packages it without compiling anything again.
    minisign -G -f -W -p "$out/minisign.pub" -s "$out/minisign.sec" >/dev/null
    previous=$(sed -n 's/^VELL_UPDATE_KEY:[A-Z]*=//p' "$build/CMakeCache.txt")
    reconfigure() { cmake -DVELL_UPDATE_KEY="$1" "$build" >>"$out/configure.log" 2>&1; }
    trap 'reconfigure "$previous" || echo "FAIL: $build not configured back" >&2' EXIT
    reconfigure "$out/minisign.pub" || { cat "$out/configure.log" >&2; fail "configure with the key"; exit 1; }
    (cd "$out" && cpack --config "$build/CPackConfig.cmake" -B "$out" -G DEB) >"$out/cpack.log" 2>&1 \
        || { cat "$out/cpack.log" >&2; fail "cpack failed"; exit 1; }
    deb=$(ls "$out"/vell-companions_*.deb)
    mkdir "$out/root"
    dpkg-deb -x "$deb" "$out/root"
    key=$out/root/opt/vell/update-keys/minisign.pub
    if ! cmp -s "$out/minisign.pub" "$key"; then
        fail "the package's opt/vell/update-keys/minisign.pub is not the key"
    fi
    mode=$(dpkg-deb -c "$deb" | awk '$NF == "./opt/vell/update-keys/minisign.pub" { print $1 }')
    [ "$mode" = "-rw-r--r--" ] || fail "opt/vell/update-keys/minisign.pub has mode [$mode]"
    # The updater's own verifier with the packaged key: a package signed by
    # the packager is accepted, the same package unsigned is refused.
    printf 'package bytes' >"$out/p.zip"
    verify() {
        "$build/bin/vell-package" verify --key "$key" --project vell --name core --type app \
            --version 2.0 "$out/p.zip" >>"$out/verify.log" 2>&1
    }
    minisign -S -s "$out/minisign.sec" -m "$out/p.zip" \
        -t "vell-package project=vell name=core type=app version=2.0" >/dev/null
    verify || { fail "a package signed with the key is refused:"; cat "$out/verify.log" >&2; }
    rm "$out/p.zip.minisig"
    if verify; then
        fail "an unsigned package is accepted with the package's key:"
        cat "$out/verify.log" >&2
    fi
    ;;

*)
    echo "packaging-test.sh: unknown check $check" >&2
    exit 2
    ;;
esac

if [ "$failures" -gt 0 ]; then
    echo "$check: $failures failure(s); files in $out" >&2
    exit 1
fi
echo "$check: passed"
