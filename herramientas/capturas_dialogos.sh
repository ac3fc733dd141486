#!/bin/bash
# Screenshots of every window and alert of the "ajustes" and "abrir" modes, taken on a
# private Xvfb display, to hold the layouts against what they should look like.
# Usage: herramientas/capturas_dialogos.sh [program] [output folder]
set -u
PROGRAMA=${1:-build/zorv-ventanas}
SALIDA=${2:-build/capturas}
mkdir -p "$SALIDA"
TMP=$(mktemp -d)
trap 'kill $XVFB 2>/dev/null; rm -rf "$TMP"' EXIT

# Xvfb picks a free display and tells us its number.
exec 3> "$TMP/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 2>/dev/null &
XVFB=$!
for _ in $(seq 50); do [ -s "$TMP/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$TMP/display")"
export QT_QPA_PLATFORM=xcb

echo '{"notas":"Arreglos varios"}' > "$TMP/nueva.json"
mkdir -p "$TMP/casos/Robo 2024" "$TMP/casos/Incendio nave 3"

# foto NAME SECONDS -- ARGS...: run, wait, screenshot, end the run.
foto() {
    local nombre=$1 espera=$2; shift 3
    "$PROGRAMA" "$@" >/dev/null 2>&1 &
    local pid=$!
    sleep "$espera"
    import -window root "$SALIDA/$nombre.png"
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
}

# The settings window, one screenshot per section (side-bar entries 42 apart).
"$PROGRAMA" ajustes ajustes "$TMP/ajustes.json" 2.4 >/dev/null 2>&1 &
PID=$!
sleep 1.5
W=$(xdotool search --onlyvisible --name 'ZorvPlayer - Ajustes' | head -1)
for i in 0 1 2 3; do
    xdotool mousemove --window "$W" 85 $((110 + 42 * i)) click 1
    sleep 0.4
    import -window root "$SALIDA/ajustes-$i.png"
done
kill $PID; wait $PID 2>/dev/null

foto nueva 1.2 -- ajustes nueva 2.5 "$TMP/nueva.json"
foto aviso-al-dia 1.2 -- ajustes aviso al-dia 2.3
foto aviso-sin-red 1.2 -- ajustes aviso sin-red 2.3
foto aviso-descargando 1.2 -- ajustes aviso descargando 2.5
foto aviso-otro 1.2 -- ajustes aviso otra "Un mensaje cualquiera"
foto caso 1.2 -- ajustes caso "$TMP/casos" "Robo 2024"
foto recorte-1 1.2 -- ajustes recorte "00:01:00 – 00:02:10"
foto recorte-2 1.2 -- ajustes recorte "00:01:00 – 00:02:10;00:05:00 – 00:05:30"
foto nota 1.2 -- ajustes nota 00:12:03 "14:05:10"
foto anonimizar 1.2 -- ajustes anonimizar "3;0;12,5" negro
foto anonimizar-caras 1.2 -- ajustes anonimizar "1;2;4" pixelado
foto menu 1.2 -- ajustes menu 2
# Texts that would not fit: the alert keeps to the screen and scrolls its message.
python3 -c 'import json; json.dump({"notas": "\n".join("Línea %d de las notas" % i for i in range(120))}, open("'"$TMP"'/largas.json", "w"))'
foto nueva-larga 1.2 -- ajustes nueva 2.5 "$TMP/largas.json"
foto aviso-palabra 1.2 -- ajustes aviso otra "$(printf 'a%.0s' $(seq 600))"
foto recorte-80 1.2 -- ajustes recorte "$(for i in $(seq 80); do printf '00:%02d:00 – 00:%02d:30;' $((i % 60)) $((i % 60)); done)"
foto abrir 1.5 -- abrir
foto abrir-carpeta 1.5 -- abrir carpeta "$TMP/casos"
echo "capturas en $SALIDA"
