#!/usr/bin/env bash
# Builds the Debian packages from a build folder (default build/ci, built if needed), unpacks
# them into a temporary root, runs each installed program's --help from there, and checks the
# packages with lintian, the unit with systemd-analyze, the MIME type with
# update-mime-database, the menu entry with desktop-file-validate and the software-centre entry
# with appstreamcli. KEEP=DIR keeps the packages in DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/ci}

scripts/install-deps.sh
[ -f "$build/CMakeCache.txt" ] || cmake --preset ci >/dev/null
cmake --build "$build"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
debs=${KEEP:-$work/debs}
mkdir -p "$debs"
rm -f "$debs"/qvx-*.deb
cpack --config "$build/CPackConfig.cmake" -B "$work/cpack" >/dev/null
mv "$work"/cpack/qvx-*.deb "$debs"/
for deb in "$debs"/qvx-*.deb; do
  echo "-- $(basename "$deb")"
  dpkg-deb -f "$deb" Package Version Depends | sed 's/^/   /'
  dpkg-deb -x "$deb" "$work/root"
done

root=$work/root
for program in qvx_gateway qvxctl qvx_sim; do
  "$root/usr/bin/$program" --help >/dev/null
  echo "-- $program --help: exit code 0"
done
if [ -x "$root/usr/bin/qvx_controller" ]; then
  # A time limit, so a program that started its window instead of answering fails the step.
  QT_QPA_PLATFORM=offscreen timeout 20 "$root/usr/bin/qvx_controller" --help >/dev/null
  echo "-- qvx_controller --help: exit code 0"
  [ -s "$root/usr/share/qvx/translations/qvx_controller_en.qm" ]
  echo "-- qvx_controller's English translation: installed"
  desktop-file-validate "$root"/usr/share/applications/*.desktop
  echo "-- desktop-file-validate: no complaint"
  appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
  # Fails on a MIME definition it cannot read.
  XDG_DATA_DIRS="$root/usr/share" update-mime-database "$root/usr/share/mime"
  [ -f "$root/usr/share/mime/application/x-qvx-programming.xml" ]
  echo "-- update-mime-database: application/x-qvx-programming"
fi

# The packaged unit must start the packaged program. systemd-analyze checks that the program
# exists, so it reads a copy that names the program inside the temporary root.
unit=$root/usr/lib/systemd/system/qvx_gateway.service
grep -qx 'ExecStart=/usr/bin/qvx_gateway' "$unit"
[ -x "$root/usr/bin/qvx_gateway" ]
mkdir -p "$work/unit"
sed "s|^ExecStart=/usr/bin/|ExecStart=$root/usr/bin/|" "$unit" >"$work/unit/qvx_gateway.service"
systemd-analyze verify "$work/unit/qvx_gateway.service"
echo "-- systemd-analyze verify qvx_gateway.service: no complaint"

lintian --fail-on error "$debs"/qvx-*.deb
echo "-- lintian: no errors"
