#!/usr/bin/env bash
# Gathers the pictures listed in caras_fuentes.tsv into DEST, keeping their paths
# (DEST/usr/share/...): from the installed package when it is there, otherwise from the
# package's .deb fetched with `apt-get download` and unpacked (nothing gets installed).
# Writes DEST/listo, holding the digest of the list, when every picture is in place. Usage: caras_fuentes.sh DEST
set -euo pipefail
aqui=$(cd "$(dirname "$0")" && pwd)
destino=${1:?carpeta de destino}
lista="$aqui/caras_fuentes.tsv"
mkdir -p "$destino"
rm -f "$destino/listo"
debs=$(mktemp -d)
trap 'rm -rf "$debs"' EXIT

for paquete in $(grep -v '^#' "$lista" | cut -f3 | sort -u); do
  faltan=0
  for ruta in $(grep -v '^#' "$lista" | awk -F'\t' -v p="$paquete" '$3 == p { print $4 }' | sort -u); do
    if [ -f "$ruta" ]; then
      mkdir -p "$destino$(dirname "$ruta")"
      cp "$ruta" "$destino$ruta"
    elif [ ! -f "$destino$ruta" ]; then
      faltan=1
    fi
  done
  [ "$faltan" = 1 ] || continue
  # A stale package list names versions the mirror no longer has: refresh it once and retry.
  if ! (cd "$debs" && apt-get download -q "$paquete" >/dev/null 2>&1); then
    if [ "$(id -u)" -eq 0 ] && [ -z "${refrescada:-}" ]; then
      refrescada=1
      apt-get update -q >/dev/null 2>&1 || true
    fi
    (cd "$debs" && apt-get download -q "$paquete" >/dev/null 2>&1) ||
      { echo "caras_fuentes: no se pudo traer el paquete $paquete" >&2; exit 1; }
  fi
  dpkg-deb -x "$debs"/"${paquete}"_*.deb "$debs/x"
  for ruta in $(grep -v '^#' "$lista" | awk -F'\t' -v p="$paquete" '$3 == p { print $4 }' | sort -u); do
    [ -f "$debs/x$ruta" ] || { echo "caras_fuentes: $paquete no trae $ruta" >&2; exit 1; }
    mkdir -p "$destino$(dirname "$ruta")"
    cp "$debs/x$ruta" "$destino$ruta"
  done
  rm -rf "$debs/x" "$debs"/*.deb
done
sha256sum <"$lista" | cut -d" " -f1 >"$destino/listo"
