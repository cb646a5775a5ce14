#!/usr/bin/env bash
# The Python example against the built shared library: its particle count after one second
# must be the one `particleplayer simulate` gives for the same effect, seed and frames.
set -euo pipefail
player=$1
library=$2
for effect in Data/Feuer.txt Data/Sternchen.txt; do
  out=$(python3 examples/python/simulate.py "$effect" --seed 5 --library "$library")
  got=$(sed -n 's/.*: \([0-9]*\) particles after one second$/\1/p' <<<"$out")
  want=$("$player" simulate "$effect" --seed 5 --frames 100 --frame-ms 10 |
    python3 -c 'import json,sys; print(len(json.loads(sys.stdin.read())["particles"]))')
  if [[ -z "$got" || "$got" != "$want" ]]; then
    echo "python example: $effect gave '$out', simulate $want particles" >&2
    exit 1
  fi
  [[ "$want" -gt 0 ]] || { echo "python example: $effect has no particles" >&2; exit 1; }
done
echo "python example: counts agree"
