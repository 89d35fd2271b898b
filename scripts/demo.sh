#!/bin/sh
# The updater, end to end, on this machine: installs what the project needs,
# builds it, prepares a scratch installation of version 1.0 (an "app" and a
# "plugin" component), starts the local update server and an HTTP server in a
# private network namespace, and runs the real `updater` against them: on your
# display when there is one (you click through the windows), otherwise on a
# private X server that the script drives itself, saving screenshots. It then
# prints the installation log and what changed on disk. The packages are signed
# with a scratch minisign key (minisign -G -W) through vell-package --sign, and
# the scratch installation trusts its public key ("update-keys" beside the
# updater).
#
#   scripts/demo.sh            (VELL_BUILD=DIR picks the build folder; default build/)
#
# Everything lands below the build folder's "demo" folder, HOME included, so
# your own ~/.Vellnet is never touched.
set -eu
case "${1:-}" in
    -h|--help) echo "usage: scripts/demo.sh   (VELL_BUILD=DIR picks the build folder; default build/)"; exit 0 ;;
    "") ;;
    *) echo "usage: scripts/demo.sh   (VELL_BUILD=DIR picks the build folder; default build/)" >&2; exit 2 ;;
esac
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELL_BUILD:-$root/build}

"$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$(nproc)" --target updater vell vell-package e2e-xhelper

exec /bin/bash "$root/updater/tests/endtoend/endtoend.sh" --build "$build" --out "$build/demo" --demo
