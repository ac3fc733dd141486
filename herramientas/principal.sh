#!/usr/bin/env bash
# Set-up, build, then the program's main job on frames it generates: follows a marked
# zone through a short synthetic sequence and prints the result lines.
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
"$raiz/herramientas/preparar.sh"
carpeta=$(mktemp -d)
trap 'rm -rf "$carpeta"' EXIT
"$raiz/build/bench/generar-escena" "$carpeta" 12
echo "zorv-ventanas seguir $carpeta 400 300 96 64"
"$raiz/build/zorv-ventanas" seguir "$carpeta" 400 300 96 64
echo "estado: $?"
