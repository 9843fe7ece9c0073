#!/usr/bin/env bash
# Keeps the layers honest: each folder may include only the folders below it, and no Qt
# header is included below ui/ and app/. Prints the offending lines and fails when one is
# found.
#   check-layers.sh [ROOT]        checks the sources under ROOT (the repository by default)
#   check-layers.sh --self-test   shows that planted wrong includes are caught
set -euo pipefail

# Which folders the sources of each folder may include ("X/..." in quotes).
declare -A ALLOWED=(
  [platform]="platform"
  [model]="model platform"
  [net]="net platform"
  [services]="services net platform"
  [engine]="engine services model platform"
  [watches]="watches services net model platform"
  [alerts]="alerts services net model platform"
  [tools]="tools engine watches alerts services net model platform"
  [ui]="ui engine watches alerts services net model platform"
  [app]="app ui engine watches alerts services net model platform"
)
CORE="platform model net services engine watches alerts tools"

check() {
  local root="$1" failed=0 folder hit target
  local pattern='^[^:]*:[0-9]+:[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)/'
  for folder in "${!ALLOWED[@]}"; do
    [ -d "$root/$folder" ] || continue
    while IFS= read -r hit; do
      [[ "$hit" =~ $pattern ]] || continue
      target="${BASH_REMATCH[1]}"
      if [[ " ${ALLOWED[$folder]} " != *" $target "* ]]; then
        echo "$folder/ may not include $target/: $hit" >&2
        failed=1
      fi
    done < <(cd "$root" && grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' \
               --include='*.h' --include='*.cpp' "$folder" || true)
  done
  for folder in $CORE; do
    [ -d "$root/$folder" ] || continue
    while IFS= read -r hit; do
      echo "Qt is included outside ui/ and app/: $hit" >&2
      failed=1
    done < <(cd "$root" && grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]Q' \
               --include='*.h' --include='*.cpp' "$folder" || true)
  done
  return "$failed"
}

self_test() {
  local scratch status=0 entry folder include expected outcome
  scratch="$(mktemp -d)"
  trap 'rm -rf "$scratch"' RETURN
  # folder|include|what the check must do with it
  for entry in \
      'watches|"engine/Engine.h"|caught' \
      'alerts|"engine/Schedule.h"|caught' \
      'services|"engine/Engine.h"|caught' \
      'net|"model/Archive.h"|caught' \
      'model|"services/EventLog.h"|caught' \
      'platform|"net/SocketConnection.h"|caught' \
      'engine|"watches/WatchKinds.h"|caught' \
      'tools|"ui/MainDialog.h"|caught' \
      'ui|"app/Start.h"|caught' \
      'watches|<QString>|caught' \
      'watches|"services/EventLog.h"|accepted' \
      'app|"ui/MainDialog.h"|accepted' \
      'ui|<QString>|accepted'; do
    IFS='|' read -r folder include expected <<<"$entry"
    rm -rf "${scratch:?}"/*
    mkdir -p "$scratch/$folder"
    printf '#include %s\n' "$include" >"$scratch/$folder/Planted.cpp"
    if check "$scratch" 2>/dev/null; then outcome=accepted; else outcome=caught; fi
    if [ "$outcome" != "$expected" ]; then
      echo "self-test: $include in $folder/ was $outcome; it must be $expected" >&2
      status=1
    fi
  done
  [ "$status" -eq 0 ] && echo "layers: every planted wrong include was caught"
  return "$status"
}

if [ "${1:-}" = "--self-test" ]; then
  self_test
  exit
fi
ROOT="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
check "$ROOT"
echo "layers: every include keeps to its layer, no Qt in the core"
