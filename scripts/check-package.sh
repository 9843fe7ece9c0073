#!/usr/bin/env bash
# Checks Sentrel as it is installed: every file where a desktop looks for it and nothing
# else, and programs that work from there.
#   check-package.sh sentrel_<version>_<arch>.deb   the package's name, control fields and
#                                                   file list, then the tree it unpacks to
#                                                   in a scratch root
#   check-package.sh --build BUILD_DIR              the tree `cmake --install` makes of a
#                                                   build folder, in a scratch root
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
version="$(sed -n 's/^project(Sentrel VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "check-package: $*" >&2
  exit 1
}

expected_files() {
  printf '%s\n' usr/bin/sentrel usr/bin/sentrelctl usr/share/applications/sentrel.desktop \
    usr/share/doc/sentrel/help.htm usr/share/man/man1/sentrelctl.1 \
    usr/share/icons/hicolor/scalable/apps/sentrel.svg
  for size in 16 22 24 32 48 64 128 256; do
    echo "usr/share/icons/hicolor/${size}x${size}/apps/sentrel.png"
  done
}

# Runs a program; its standard output must be exactly `want`, with exit code 0 and
# nothing on standard error.
expect_output() {
  local want="$1"
  shift
  local out err rc=0
  out="$("$@" 2>"$scratch/err")" || rc=$?
  err="$(cat "$scratch/err")"
  [ "$rc" -eq 0 ] && [ -z "$err" ] && [ "$out" = "$want" ] ||
    fail "$* gave exit code $rc, output '$out', errors '$err'; expected '$want'"
}

check_tree() {
  local root usr
  root="$(realpath "$1")"
  usr="$root/usr"
  diff -u <(expected_files | sort) <(cd "$root" && find . ! -type d | sed 's|^\./||' | sort) ||
    fail "the installed files differ from the layout (- expected, + installed)"

  expect_output "sentrelctl $version" "$usr/bin/sentrelctl" --version
  "$usr/bin/sentrelctl" --help | grep -q "^usage:" || fail "sentrelctl --help shows no usage"
  "$usr/bin/sentrelctl" check "$src/examples/Sentrel.bin" >/dev/null ||
    fail "the installed sentrelctl cannot check the example store"

  # The program answers these without a display, and finds its help page in the
  # documentation folder of the tree it was installed in.
  expect_output "Sentrel $version" env -u DISPLAY -u WAYLAND_DISPLAY "$usr/bin/sentrel" --version
  env -u DISPLAY -u WAYLAND_DISPLAY "$usr/bin/sentrel" --help >"$scratch/help"
  local help
  help="$(sed -n 's/^Help page: //p' "$scratch/help")"
  [ "$help" = "$usr/share/doc/sentrel/help.htm" ] || fail "sentrel looks for its help at '$help'"
  [ -s "$help" ] || fail "no help page at $help"

  [ -z "$(desktop-file-validate "$usr/share/applications/sentrel.desktop" 2>&1)" ] ||
    fail "the desktop entry has faults or hints: $(desktop-file-validate "$usr/share/applications/sentrel.desktop" 2>&1)"
  grep -qx 'Exec=sentrel' "$usr/share/applications/sentrel.desktop" ||
    fail "the desktop entry does not start sentrel"
  grep -qx 'Icon=sentrel' "$usr/share/applications/sentrel.desktop" ||
    fail "the desktop entry does not name the icon"
  [ -z "$(man --warnings -l "$usr/share/man/man1/sentrelctl.1" 2>&1 >/dev/null)" ] ||
    fail "the manual page has warnings"
  grep -q "^\.TH SENTRELCTL 1 .* \"Sentrel $version\"" "$usr/share/man/man1/sentrelctl.1" ||
    fail "the manual page is not that of version $version"
}

if [ "${1:-}" = "--build" ]; then
  [ $# -eq 2 ] || fail "usage: check-package.sh --build BUILD_DIR"
  cmake --install "$2" --prefix "$scratch/root/usr" >/dev/null
  check_tree "$scratch/root"
  echo "installed layout checked"
  exit 0
fi

[ $# -eq 1 ] || fail "usage: check-package.sh PACKAGE.deb | --build BUILD_DIR"
deb="$1"
arch="$(dpkg --print-architecture)"
[ "$(basename "$deb")" = "sentrel_${version}_${arch}.deb" ] || fail "package named $(basename "$deb")"
[ "$(dpkg-deb -f "$deb" Package)" = sentrel ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "package architecture"
# The dependencies come from the binaries: the libraries they link must be there.
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libc6 libqt6widgets6 libcurl4 libssl3 libcanberra0; do
  grep -Eq "(^|, )$lib( |,|$)" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
diff -u <(expected_files | sort) \
  <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | sort) ||
  fail "the package's file list differs from the layout (- expected, + packaged)"
dpkg -x "$deb" "$scratch/root"
check_tree "$scratch/root"
echo "package $deb checked"
