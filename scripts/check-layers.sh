#!/usr/bin/env bash
# The core (everything below ui/ and app/) must build without Qt: no Qt header may be
# included there. Prints the offending lines and fails when one is.
set -euo pipefail
cd "$(dirname "$0")/.."
hits=$(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]Q' \
         model engine net watches alerts platform tools || true)
if [ -n "$hits" ]; then
  echo "Qt is included outside ui/ and app/:" >&2
  echo "$hits" >&2
  exit 1
fi
echo "layers: no Qt include in the core"
