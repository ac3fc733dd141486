#!/usr/bin/env bash
# Builds every fuzz target of fuzz/ (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) into build-fuzz/ and runs each for SEGUNDOS seconds,
# starting from its seeds in fuzz/semillas/. Prints, per target, the runs done, the
# coverage reached and the findings; a finding's input is left in build-fuzz/hallazgos/
# and the exit status is then 1.
#
# Usage: herramientas/fuzz.sh [SEGUNDOS] [OBJETIVO...]   (default 60 s, every target)
# Environment: ZORV_FUZZ_PARALELO targets run at a time (default 1); ZORV_FUZZ_RUNS stops
# a target after that many runs; ZORV_CCACHE=1 compiles through ccache.
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
segundos=${1:-60}
shift || true
build="$raiz/build-fuzz"
paralelo=${ZORV_FUZZ_PARALELO:-1}

if [ ! -f "$build/build.ninja" ]; then
  lanzador=()
  if [ "${ZORV_CCACHE:-}" = 1 ]; then
    lanzador=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  # Debug keeps Qt's own bounds checks in its inline code; the option sets -O1.
  CC=clang-14 CXX=clang++-14 cmake -S "$raiz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DZORV_FUZZ=ON -DZORV_PRUEBAS=OFF -DZORV_BANCOS=OFF "${lanzador[@]}" >/dev/null
fi
cmake --build "$build" --target fuzz

if [ $# -gt 0 ]; then
  objetivos=("$@")
else
  mapfile -t objetivos < <(sed -n 's/^zorv_fuzz(\([A-Za-z0-9_]*\).*/\1/p' "$raiz/fuzz/CMakeLists.txt")
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:check_initialization_order=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$raiz/herramientas/fugas.supp:print_suppressions=0}

correr() {
  local o=$1
  local corpus="$build/corpus/$o" hallazgos="$build/hallazgos/$o"
  mkdir -p "$corpus" "$hallazgos" "$build/registros"
  local opciones=(-max_total_time="$segundos" -timeout=10 -rss_limit_mb=2048
                  -print_final_stats=1 -artifact_prefix="$hallazgos/")
  [ -n "${ZORV_FUZZ_RUNS:-}" ] && opciones+=(-runs="$ZORV_FUZZ_RUNS")
  [ -f "$raiz/fuzz/$o.dict" ] && opciones+=(-dict="$raiz/fuzz/$o.dict")
  local semillas=()
  [ -d "$raiz/fuzz/semillas/$o" ] && semillas=("$raiz/fuzz/semillas/$o")
  local estado=0
  "$build/fuzz/fuzz_$o" "${opciones[@]}" "$corpus" "${semillas[@]}" \
    >"$build/registros/$o.log" 2>&1 || estado=$?
  echo "$estado" >"$build/registros/$o.estado"
}

for o in "${objetivos[@]}"; do
  [ -x "$build/fuzz/fuzz_$o" ] || { echo "fuzz.sh: no hay objetivo $o" >&2; exit 64; }
  rm -f "$build/registros/$o.estado"
  while [ "$(jobs -rp | wc -l)" -ge "$paralelo" ]; do wait -n || true; done
  correr "$o" &
done
wait

fallos=0
printf '%-14s %12s %10s %8s %10s\n' objetivo ejecuciones cobertura rasgos hallazgos
for o in "${objetivos[@]}"; do
  registro="$build/registros/$o.log"
  # A run that stopped at once may lack some of these lines: they read as 0.
  ejecuciones=$(sed -n 's/^stat::number_of_executed_units: *//p' "$registro" | tail -1)
  cobertura=$( (grep -oE 'cov: [0-9]+' "$registro" || true) | tail -1 | cut -d' ' -f2)
  rasgos=$( (grep -oE 'ft: [0-9]+' "$registro" || true) | tail -1 | cut -d' ' -f2)
  hallazgos=$(find "$build/hallazgos/$o" -maxdepth 1 -type f \
                \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) \
                | wc -l)
  estado=$(cat "$build/registros/$o.estado" 2>/dev/null || echo 1)
  printf '%-14s %12s %10s %8s %10s\n' "$o" "${ejecuciones:-0}" "${cobertura:-0}" \
    "${rasgos:-0}" "$hallazgos"
  if [ "$hallazgos" -gt 0 ] || [ "$estado" -ne 0 ]; then
    fallos=1
    echo "  $o: estado $estado; registro en $registro" >&2
    grep -E 'ERROR:|runtime error|no se cumple|Qt: ' "$registro" | head -5 >&2 || true
  fi
done
exit "$fallos"
