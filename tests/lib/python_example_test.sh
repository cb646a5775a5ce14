#!/usr/bin/env bash
# The Python example against the built shared library: its particle count after one second
# must be the one `particleplayer simulate` gives for the same effect, seed and frames.
set -euo pipefail
for effect in Data/Feuer.txt Data/Sternchen.txt; do
  out=$(python3 examples/python/simulate.py "$effect" --seed 5 --library "$2")
  got=$(sed -n 's/.*: \([0-9]*\) particles after one second$/\1/p' <<<"$out")
  want=$("$1" simulate "$effect" --seed 5 --frames 100 --frame-ms 10 |
    python3 -c 'import json,sys; print(len(json.loads(sys.stdin.read())["particles"]))')
  if [[ -z "$got" || "$got" != "$want" || "$want" -eq 0 ]]; then
    echo "python example: $effect gave '$out', simulate $want particles" >&2
    exit 1
  fi
done
