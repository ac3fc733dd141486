#!/usr/bin/env bash
# Set-up, build, then every test through CTest.
# With the argument "saneado": the whole suite again, built with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-saneado/, then every fuzz target for 15 seconds
# (herramientas/fuzz.sh). ZORV_CCACHE=1 compiles these through ccache.
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
"$raiz/herramientas/preparar.sh"
if [ "${1:-}" != saneado ]; then
  cd "$raiz/build"
  # Most tests wait on servers, displays and child programs rather than compute: four at
  # a time keep two cores busy.
  ctest --output-on-failure --timeout 900 -j 4
  exit
fi

b="$raiz/build-saneado"
lanzador=()
if [ "${ZORV_CCACHE:-}" = 1 ]; then
  lanzador=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# The face model and the face pictures the first build fetched serve this one too;
# configure checks their digests.
for d in modelo-caras caras-fuentes; do
  if [ -d "$raiz/build/$d" ] && [ ! -d "$b/$d" ]; then
    mkdir -p "$b"
    cp -r "$raiz/build/$d" "$b/"
  fi
done
# Debug keeps Qt's own bounds checks in its inline code; the option sets -O1. The
# benchmarks are not run here, so they are not built here.
cmake -S "$raiz" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZORV_SANEAR=ON -DZORV_BANCOS=OFF \
  "${lanzador[@]}"
cmake --build "$b" -j "$(nproc)"
# A fault aborts: no test can take a sanitizer's exit for an ordinary status 1. The
# updater tests preload a library of their own ahead of the sanitizer's runtime, which
# only its start-up order check minds.
export ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_init_order=1:abort_on_error=1:verify_asan_link_order=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$raiz/herramientas/fugas.supp:print_suppressions=0
(cd "$b" && ctest --output-on-failure --timeout 900 -j 4)
ZORV_FUZZ_PARALELO=$(nproc) "$raiz/herramientas/fuzz.sh" 15
