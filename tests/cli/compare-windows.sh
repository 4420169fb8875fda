#!/usr/bin/env bash
# Builds one cartridge with the Linux rix-build and the Windows rix-build.exe under Wine, from
# the same ROMs and the same copy of the prepared settings: the two images must be the same
# bytes, and the two saved settings files the same apart from the folder paths they record.
# Exits 77 (skipped) when there is no Windows build or no Wine.
set -euo pipefail
linux=$1
windows=${RIX_WINDOWS_BUILD:-$2}
source=$3
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
if [ ! -f "$windows" ] || [ ! -x "$wine" ]; then
  echo "skipped: no $windows or no Wine (make windows builds it)"
  exit 77
fi
export WINEPREFIX=${WINEPREFIX:-$source/build/wine} WINEDEBUG=-all DISPLAY=
export WINEDLLOVERRIDES="mscoree,mshtml="

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/roms" "$work/linux" "$work/windows"
cp "$source/resources/examples/hello.col" "$source/tests/fixtures/video/"*.rom "$work/roms/"
cp "$source/resources/Rix.INI" "$work/linux/Rix.INI"
cp "$source/resources/Rix.INI" "$work/windows/Rix.INI"
roms=("$work/roms/"*)
winroms=()
for rom in "${roms[@]}"; do winroms+=("Z:${rom//\//\\}"); done

(cd "$work/linux" && "$linux" -q -y "${roms[@]}")
(cd "$work/windows" && "$wine" "$windows" -q -y "${winroms[@]}")

cmp "$work/linux/Rix.gba" "$work/windows/Rix.gba"
winroot="Z:${work//\//\\}\\roms\\"
sed "s|$work/roms/|<roms>|g" "$work/linux/Rix.INI" > "$work/linux.ini"
sed "s|${winroot//\\/\\\\}|<roms>|g" "$work/windows/Rix.INI" > "$work/windows.ini"
diff "$work/linux.ini" "$work/windows.ini"
grep -q '<roms>' "$work/linux.ini" # the folder was recorded, and compared
echo "same cartridge (${#roms[@]} ROMs, $(stat -c %s "$work/linux/Rix.gba") bytes) and settings"
