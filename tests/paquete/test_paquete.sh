#!/usr/bin/env bash
# Builds the .deb from the compiled tree, checks its fields and contents, validates the desktop
# files, unpacks it into a clean root and starts the installed program offscreen on a demo
# database, as a user whose program folder is not writable.
# Usage: test_paquete.sh BUILD_DIR KV740SIM VERSION
set -euo pipefail
BUILD=$1 KV740SIM=$2 VERSION=$3

fallo() { echo "FALLO: $*" >&2; exit 1; }
paso() { echo "== $*"; }

TMP=$(mktemp -d)
PID=""
# $! is the shell that runs `ejecutar`, not the program under it: stop both.
parar() {
  if [ -n "$PID" ]; then kill "$PID" 2>/dev/null || true; wait "$PID" 2>/dev/null || true; fi
  PID=""
  if [ -n "${RAIZ:-}" ]; then pkill -f "^$RAIZ/usr/bin/quenza" 2>/dev/null || true; fi
}
limpiar() {
  parar
  chmod -R u+w "$TMP" 2>/dev/null || true
  rm -rf "$TMP"
}
trap limpiar EXIT

paso "cpack"
cpack --config "$BUILD/CPackConfig.cmake" -B "$TMP/cpack" >"$TMP/cpack.log" 2>&1 || { cat "$TMP/cpack.log"; fallo "cpack did not build the package"; }
DEB=$(ls "$TMP"/cpack/*.deb 2>/dev/null | head -n1)
[ -n "$DEB" ] || fallo "no .deb in $TMP/cpack"
echo "$DEB ($(du -h "$DEB" | cut -f1))"

paso "fields"
campo() { dpkg-deb -f "$DEB" "$1"; }
[ "$(campo Package)" = quenza ] || fallo "Package is '$(campo Package)', expected quenza"
[ "$(campo Version)" = "$VERSION" ] || fallo "Version is '$(campo Version)', expected $VERSION"
[ "$(campo Architecture)" = "$(dpkg --print-architecture)" ] || fallo "Architecture is '$(campo Architecture)'"
DEPENDS=$(campo Depends)
echo "Depends: $DEPENDS"
for necesario in libqt6widgets6 libsqlite3-0 qt6-translations-l10n; do
  grep -qw -- "$necesario" <<<"$DEPENDS" || fallo "Depends lacks $necesario"
done
# Every dependency is a Debian package this system knows (no private or vendored names).
for dep in $(tr ',|' '\n\n' <<<"$DEPENDS" | sed 's/(.*)//; s/:any//' | tr -d ' '); do
  apt-cache show "$dep" >/dev/null 2>&1 || dpkg-query -W "$dep" >/dev/null 2>&1 \
    || fallo "dependency $dep is not a Debian package known here"
done

paso "contents"
dpkg-deb --contents "$DEB" | awk '{print $6}' | sed 's#^\./#/#' >"$TMP/contenido"
for ruta in /usr/bin/quenza \
            /usr/share/quenza/mskAlba.txt /usr/share/quenza/mskFact.txt \
            /usr/share/quenza/LstAlb.lst /usr/share/quenza/LstClien.lst \
            /usr/share/quenza/LstFactCli.lst /usr/share/quenza/LstFactFch.lst \
            /usr/share/applications/es.quenza.Quenza.desktop \
            /usr/share/icons/hicolor/scalable/apps/es.quenza.Quenza.svg \
            /usr/share/metainfo/es.quenza.Quenza.metainfo.xml \
            /usr/share/doc/quenza/copyright; do
  grep -qx -- "$ruta" "$TMP/contenido" || fallo "the package lacks $ruta"
done
for lib in libvantel libtramix; do
  grep -qE "^/usr/lib/(.*/)?$lib\.so\.1" "$TMP/contenido" || fallo "the package lacks $lib"
done
if grep -vE '^/usr(/|$)' "$TMP/contenido" | grep -q .; then
  fallo "files outside /usr: $(grep -vE '^/usr(/|$)' "$TMP/contenido" | head -3)"
fi
! grep -q tramix-demo "$TMP/contenido" || fallo "the Tramix demo host should stay out of the package"

paso "unpack"
RAIZ=$TMP/raiz
dpkg -x "$DEB" "$RAIZ"
! readelf -S "$RAIZ/usr/bin/quenza" | grep -q '\.debug_info' || fallo "usr/bin/quenza keeps its debug information"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$RAIZ/usr/share/metainfo/es.quenza.Quenza.metainfo.xml" \
    || fallo "appstreamcli rejects the metainfo"
else
  echo "appstreamcli not installed: metainfo not validated"
fi
grep -q "<release version=\"$VERSION\"" "$RAIZ/usr/share/metainfo/es.quenza.Quenza.metainfo.xml" \
  || fallo "the metainfo has no release $VERSION"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$RAIZ/usr/share/applications/es.quenza.Quenza.desktop" || fallo "desktop entry invalid"
fi
if command -v lintian >/dev/null; then
  paso "lintian"
  # Errors fail; warnings are shown. The package is built by CPack, not from a debian/ folder,
  # so the changelog is not there.
  lintian --tag-display-limit 0 --suppress-tags no-changelog "$DEB" >"$TMP/lintian" 2>&1 || true
  cat "$TMP/lintian"
  ! grep -q '^E:' "$TMP/lintian" || fallo "lintian reports errors"
fi

paso "installed program"
# As a user who cannot write the program's folder: root is not stopped by permissions, so a
# root run starts the program as nobody.
CASA=$TMP/casa DEMO=$TMP/demo
mkdir -p "$CASA"
"$KV740SIM" crear "$DEMO" --solo-kv740 >/dev/null || fallo "kv740sim could not make the demo"
COMO=()
chmod 755 "$TMP"
if [ "$(id -u)" -eq 0 ]; then
  chown -R 65534:65534 "$CASA" "$DEMO"
  COMO=(setpriv --reuid=65534 --regid=65534 --clear-groups)
else
  chmod -R a-w "$RAIZ/usr"
fi
ejecutar() {
  "${COMO[@]}" env -i PATH=/usr/bin:/bin HOME="$CASA" XDG_CONFIG_HOME="$CASA/.config" \
    QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 "$RAIZ/usr/bin/quenza" "$@"
}
ejecutar --rutas >"$TMP/rutas" || fallo "quenza --rutas failed"
cat "$TMP/rutas"
INI=$CASA/.config/Quenza/Quenza.ini
grep -qx "Configuración: $INI" "$TMP/rutas" || fallo "settings should be in $INI"
for archivo in mskAlba.txt mskFact.txt LstAlb.lst LstFactCli.lst; do
  grep -qx "$archivo: $RAIZ/usr/share/quenza/$archivo" "$TMP/rutas" || fallo "$archivo should be found in share/quenza"
done
grep -qx "Traducción de Qt: Cancelar" "$TMP/rutas" || fallo "Qt's Spanish translation is not found by the installed program"

printf '[General]\nHomeDir=%s\nGrupo=1\n' "$DEMO" >"$INI"
[ "$(id -u)" -ne 0 ] || chown 65534:65534 "$INI"
ejecutar >"$TMP/quenza.log" 2>&1 &
PID=$!
# Up means: it opened the demo database and made the program's tables (the demo has none).
for _ in $(seq 1 150); do
  kill -0 "$PID" 2>/dev/null || { cat "$TMP/quenza.log"; fallo "the installed program ended on start-up"; }
  if [ "$(sqlite3 "$DEMO/kv740.db" "select count(*) from sqlite_master where name='ListaFacturas'" 2>/dev/null)" = 1 ]; then
    break
  fi
  sleep 0.2
done
[ "$(sqlite3 "$DEMO/kv740.db" "select count(*) from sqlite_master where name='ListaFacturas'")" = 1 ] \
  || { cat "$TMP/quenza.log"; fallo "the installed program did not prepare the database within 30 s"; }
sleep 1
kill -0 "$PID" 2>/dev/null || { cat "$TMP/quenza.log"; fallo "the installed program ended after start-up"; }
parar
! pgrep -f "^$RAIZ/usr/bin/quenza" >/dev/null || fallo "the installed program is still running after it was stopped"
[ ! -e "$RAIZ/usr/bin/Quenza.ini" ] || fallo "settings were written into the program's folder"
echo "OK"
