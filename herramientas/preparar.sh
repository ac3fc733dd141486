#!/usr/bin/env bash
# Installs the Debian packages that are missing, then configures and builds into build/.
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
como_root=()
[ "$(id -u)" -eq 0 ] || como_root=(sudo)

faltan=()
while read -r paquete; do
  paquete=${paquete%%#*}
  read -r paquete orden <<<"$paquete" || true
  [ -n "$paquete" ] || continue
  # A second word names a command that makes the package unnecessary when it is already
  # on the PATH from elsewhere (Node's own npm conflicts with Debian's npm package).
  if [ -n "${orden:-}" ] && command -v "$orden" >/dev/null; then continue; fi
  estado=$(dpkg-query -W -f='${Status}' "$paquete" 2>/dev/null || true)
  [ "$estado" = "install ok installed" ] || faltan+=("$paquete")
done < "$raiz/herramientas/paquetes.txt"

if [ ${#faltan[@]} -gt 0 ]; then
  echo "Instalando: ${faltan[*]}"
  "${como_root[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${como_root[@]}" apt-get -o DPkg::Lock::Timeout=900 \
    install -y -q --no-install-recommends "${faltan[@]}"
fi

cmake -S "$raiz" -B "$raiz/build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$raiz/build" -j "$(nproc)"
