#!/bin/bash
# Fails when a source includes a header of a layer above its own, a test header from
# outside the tests, or a header of formats/internal/ from outside formats and its tests,
# fuzz targets and benchmarks. Project headers are included by their path from the
# project root ("formats/dataset.h"); a bare name is a header of the including file's
# own folder. The layers and the files of filter_engine are read from cmake/layers.cmake.
set -euo pipefail
cd "$(dirname "$0")/.."

engine=" $(sed -n 's/^set(FILTER_ENGINE_FILES \(.*\))$/\1/p' cmake/layers.cmake) "
subsystems=$(sed -n 's/^set(SUBSYSTEMS \(.*\))$/\1/p' cmake/layers.cmake)
libraries="foundation filter_engine filter formats cli directory wssp"

# The layers that one layer may include, itself among them.
allowed() {
  case "$1" in
    foundation) echo "foundation" ;;
    filter_engine) echo "foundation filter_engine" ;;
    filter) echo "foundation filter_engine filter" ;;
    formats) echo "foundation filter_engine formats" ;;
    cli) echo "foundation filter_engine formats cli" ;;
    directory) echo "foundation filter_engine formats cli directory" ;;
    wssp) echo "foundation filter_engine formats wssp" ;;
    tests/support) echo "tests/support" ;;
    tests/*) echo "$(allowed "${1#tests/}") tests/support $1" ;;
    fuzz | bench) echo "$libraries tests/support" ;;
    examples) echo "$libraries" ;;
    *) echo "" ;;
  esac
}

# The layer of a path from the project root.
layer_of() {
  local path=$1 top=${1%%/*}
  case "$top" in
    tests)
      local rest=${path#tests/}
      echo "tests/${rest%%/*}"
      ;;
    filter)
      local base=${path##*/}
      base=${base%.*}
      if [[ "$engine" == *" $base "* ]]; then echo filter_engine; else echo filter; fi
      ;;
    *) echo "$top" ;;
  esac
}

failures=0
for sub in $subsystems; do
  if [ -z "$(allowed "$sub")" ]; then
    echo "scripts/check-includes.sh: no include rule for the layer $sub"
    failures=$((failures + 1))
  fi
done

folders=()
for f in $subsystems tests fuzz bench examples; do [ -d "$f" ] && folders+=("$f"); done
while IFS= read -r file; do
  from=$(layer_of "$file")
  may=" $(allowed "$from") "
  if [ "$may" = "  " ]; then
    from=${file%/*}
    may=" $(allowed "$from") "
  fi
  while IFS=: read -r line text; do
    [[ "$text" =~ \#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]] || continue
    included=${BASH_REMATCH[1]}
    if [[ "$included" != */* ]]; then
      target="${file%/*}/$included"
    elif [[ "$included" == ../* || "$included" == ./* ]]; then
      echo "$file:$line: includes \"$included\": include project headers by their path from the root"
      failures=$((failures + 1))
      continue
    else
      target=$included
    fi
    to=$(layer_of "$target")
    case " $libraries " in *" $to "*) ;; *) [[ "$to" == tests/* ]] || continue ;; esac
    if [[ "$may" != *" $to "* ]]; then
      echo "$file:$line: includes \"$included\": $from may not include $to"
      failures=$((failures + 1))
    elif [[ "$target" == formats/internal/* ]] &&
         [[ "$from" != formats && "$from" != tests/formats && "$from" != fuzz && "$from" != bench ]]; then
      echo "$file:$line: includes \"$included\": formats/internal/ is for formats itself"
      failures=$((failures + 1))
    fi
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
done < <(find "${folders[@]}" -type f \( -name '*.cpp' -o -name '*.h' \) | sort)

if [ "$failures" -gt 0 ]; then
  echo "include check: $failures include(s) against the layers"
  exit 1
fi
echo "include check: every include follows the layers"
