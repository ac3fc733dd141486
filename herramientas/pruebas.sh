#!/usr/bin/env bash
# Set-up, build, then every test through CTest.
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
"$raiz/herramientas/preparar.sh"
cd "$raiz/build"
ctest --output-on-failure --timeout 900 -j 2
