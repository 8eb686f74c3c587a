#!/usr/bin/env bash
# Converts every sample under tests/data to every output format and a set of option variants, recording
# for each run its exit status, a hash of what it printed and of every file it left behind. A refactor
# must leave this list unchanged; new entries (new samples, newly built writers) are only reported.
#   tests/output_hashes.sh check|regen|show [morvalen]   compare with, rewrite or print the list
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mode=${1:-check} bin=${2:-$here/../build/morvalen}
bin=$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")
list=$here/output_hashes.txt
[ -x "$bin" ] || { echo "no morvalen binary at $bin" >&2; exit 2; }

formats=(vsh vxc fmt xls wor dbf wq1 sdd mat tab tpt rtf htm html arf arff ktb xlsx sav dta csv txt)
# Option variants, run on every sample file: "input-options|output-name|sheet|range".
variants=(
  "/n|out.vsh||" "/y|out.vsh||" "/u|out.vxc||" "/k|out.vxc||" "/i|out.vxc||" "/t=0|out.csv||"
  "/x=-|out.csv||" "/p=ptr|out.vxc||" "|out.vsh/s||" "|out.vsh/v=1||" "|out.vxc/q/b||"
  "|out.vxc/s/f||" "|out.csv/-/n||" "|out.vsh/e/u/p||" "|out.vsh|2|" "|out.csv|1|B2:C4"
  "/w|list.out||"
)

# Writers stamp the day or time into headers: the clock is held still. The library is preloaded directly:
# the faketime wrapper's own fork, wait and shared memory have turned statuses into 0 or 1 under load.
clock=() fakelib=$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -n 1 || true)
if [ -n "$fakelib" ]; then clock=(env LD_PRELOAD="$fakelib" FAKETIME='2020-01-01 00:00:00')
elif command -v faketime >/dev/null; then clock=(faketime -f '2020-01-01 00:00:00'); fi
[ ${#clock[@]} -gt 0 ] || echo "faketime not found: outputs stamped with the date will differ" >&2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$here/data" "$work/data"
shopt -s nullglob dotglob

# Writers not built yet are found once, on a two-line text file, and left out of the list.
printf 'a,b\n1,2\n' > "$work/probe.csv"
built=()
for ext in "${formats[@]}"; do
  (cd "$work" && "${clock[@]}" "$bin" probe.csv "probe.$ext" >"$work/probe.out" 2>&1) || true
  grep -q "not supported yet" "$work/probe.out" || built+=("$ext")
done

# One conversion inside the input's directory (no '/' read as an option): key, status, stdout hash, name=hash
# of each file left behind.
declare -A present
run_one() {
  local dir=$1 file=$2 inopt=$3 out=$4 sheet=$5 range=$6 key=$7 status=0
  local args=("$file$inopt" "$out")
  [ -n "$sheet$range" ] && args+=("$sheet")
  [ -n "$range" ] && args+=("$range")
  (cd "$dir" && exec "${clock[@]}" "$bin" "${args[@]}") </dev/null >"$work/stdout" 2>&1 || status=$?
  local left=() f sums=() line files=""
  for f in "$dir"/*; do [ -n "${present[$f]:-}" ] || left+=("$f"); done
  # Text and transport headers carry the time of the run; hash without it.
  [ ${#left[@]} = 0 ] || LC_ALL=C sed -E -i \
    -e 's#[0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{2}/[0-9]{2}/[0-9]{4}#hh:mm:ss mm/dd/yyyy#g' \
    -e 's#[0-9]{2}[A-Z]{3}[0-9]{2}:[0-9]{2}:[0-9]{2}:[0-9]{2}#ddMMMyy:hh:mm:ss#g' "${left[@]}"
  mapfile -t sums < <(sha256sum "$work/stdout" "${left[@]}")
  for line in "${sums[@]:1}"; do f=${line#*  }; files+=" ${f##*/}=${line:0:16}"; done
  rm -f -- "${left[@]}"
  printf '%s\t%s\t%s\t%s\n' "$key" "$status" "${sums[0]:0:16}" "${files# }"
}

produce() {
  local rel dir file f
  while IFS= read -r rel; do
    dir=$work/data/$(dirname "$rel") file=$(basename "$rel") present=()
    for f in "$dir"/*; do present[$f]=1; done
    for ext in "${built[@]}"; do run_one "$dir" "$file" "" "out.$ext" "" "" "$rel -> out.$ext"; done
    for v in "${variants[@]}"; do
      IFS='|' read -r inopt out sheet range <<< "$v"
      run_one "$dir" "$file" "$inopt" "$out" "$sheet" "$range" "$rel$inopt -> $out $sheet $range"
    done
  done < <(cd "$here/data" && find . -type f ! -name '*.py' ! -name '*.R' ! -name '*.sh' \
             ! -name '*.sps' ! -name '*.md' | sed 's|^\./||' | LC_ALL=C sort)
}

case "$mode" in
  show) produce ;;
  regen)
    # Two passes must agree, or a run failed for a passing reason (load) would be recorded as expected.
    produce > "$work/new.txt"
    produce > "$work/again.txt"
    cmp -s "$work/new.txt" "$work/again.txt" ||
      { echo "two passes differ; list not written:" >&2; diff "$work/new.txt" "$work/again.txt" >&2 || true; exit 1; }
    mv "$work/new.txt" "$list"
    echo "wrote $(wc -l < "$list") entries to $list" ;;
  check)
    compare() {
      awk -F'\t' 'NR==FNR { now[$1] = $0; next }
                  { seen[$1] = 1
                    if (!($1 in now)) { print "VANISHED " $0; bad = 1 }
                    else if (now[$1] != $0) { print "CHANGED  was " $0; print "         now " now[$1]; bad = 1 } }
                  END { for (k in now) if (!(k in seen)) print "NEW      " now[k]; exit bad }' "$1" "$list"
    }
    produce > "$work/new.txt"
    fail=0
    if ! compare "$work/new.txt"; then
      # A real change shows again; a run upset by a loaded machine does not.
      echo "second pass, to tell a change from a passing failure:"
      produce > "$work/again.txt"
      compare "$work/again.txt" || fail=1
    fi
    if [ $fail = 0 ]; then echo "output hashes: $(wc -l < "$list") entries unchanged"; else echo "output hashes differ" >&2; fi
    exit $fail ;;
  *) echo "usage: $0 check|regen|show [morvalen]" >&2; exit 2 ;;
esac
