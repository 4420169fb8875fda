# The README's commands. `make test` is what CI runs.
.PHONY: test test-format test-default test-asan test-fuzz test-windows windows bench deps gba run package screenshot examples bios goldens sound clean

deps:
	scripts/install-deps

test: deps
	$(MAKE) test-format
	$(MAKE) test-default
	$(MAKE) test-asan
	$(MAKE) test-fuzz
	if scripts/have-windows-tools; then $(MAKE) test-windows-only; \
	else echo "make test: no mingw-w64 or Wine, Windows tests left out"; fi

# clang-format's dry run over the C++ sources (scripts/check-format).
test-format:
	scripts/check-format

test-default:
	cmake --preset default
	cmake --build --preset default
	ctest --preset default

test-asan:
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

test-fuzz:
	cmake --preset fuzz
	cmake --build --preset fuzz
	ctest --preset fuzz

# rix-build and the layers below the windows built for 64-bit Windows (mingw-w64) and their
# tests run under Wine, in a Wine prefix of its own under build/ (made on first use).
WINE_ENV = WINEPREFIX=$(CURDIR)/build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
test-windows: deps
	$(MAKE) test-windows-only

test-windows-only:
	mkdir -p build
	$(WINE_ENV) cmake --preset windows
	$(WINE_ENV) cmake --build --preset windows
	$(WINE_ENV) ctest --preset windows
	cmake --preset default
	cmake --build --preset default --target rix-build
	$(WINE_ENV) RIX_WINDOWS_BUILD=$(CURDIR)/build/windows/cli/rix-build.exe \
	  ctest --preset default -R RixBuildOnWindows

# rix-build.exe and a zip to hand out (the program, the prepared settings file, a README) in build/.
windows: deps
	$(WINE_ENV) cmake --preset windows
	$(WINE_ENV) cmake --build --preset windows --target rix-build
	cp build/windows/cli/rix-build.exe build/rix-build.exe
	rm -rf build/rix-build-windows build/rix-build-windows.zip
	mkdir -p build/rix-build-windows
	cp build/windows/cli/rix-build.exe resources/Rix.INI build/rix-build-windows/
	cp resources/windows/README.txt build/rix-build-windows/README.txt
	cd build && zip -q -r rix-build-windows.zip rix-build-windows

bench: deps
	cmake --preset default
	cmake --build --preset default
	scripts/run-bench build/default

clean:
	rm -rf build

# Starts the desktop program in run/, which gets a copy of the prepared settings file the first
# time; the program reads and writes run/Rix.INI from then on.
run: deps
	cmake --preset default
	cmake --build --preset default --target rix
	mkdir -p run
	test -f run/Rix.INI || cp resources/Rix.INI run/Rix.INI
	cd run && ../build/default/ui/rix

# The Debian package, build/default/rix_<version>_<arch>.deb (packaging/): only what it holds
# is built, and cpack leaves out the rest of the build tree's targets.
package: deps
	cmake --preset default
	cmake --build --preset default --target rix rix-build rix-run rix-package-files
	cd build/default && cpack -G DEB

# Pictures of the real windows under Xvfb, with the example ROM added: the main window and the
# configuration dialog with a preset and with "Custom" (every button "<unassigned>"), saved as
# build/rix-*.png; then the GBA menu and a game page of a three-game cartridge, 3x, as
# build/gba-*.png.
screenshot: deps
	cmake --preset default
	cmake --build --preset default --target rix-screenshot rix-build gba-shot
	xvfb-run -a -s "-screen 0 1024x768x24" \
	  build/default/ui/rix-screenshot resources/Rix.INI resources/examples/hello.col build
	scripts/screenshot-gba build/default

# Rebuilds the emulator image into resources/ (needs arm-none-eabi-g++).
gba: deps
	$(MAKE) -C gba
	cp gba/build/rix.gba resources/rix.gba

# Reassembles the example cartridge and the video test programs from their sources (needs z80asm).
examples: deps
	cd resources/examples && z80asm -o hello.col hello.asm
	cd tests/fixtures/video && for f in *.asm; do z80asm -o "$${f%.asm}.rom" "$$f"; done
	cd tests/fixtures/sound && z80asm -o sound.rom sound.asm

# The sound of a game as the GBA plays it (the test harness's capture) and as the host's reference
# mixer plays it, as WAV files in build/ to listen to or look at: our sound program by default,
# or SOUND_ROM=FILE for SOUND_FRAMES emulated frames, holding SOUND_PRESSES (rix-run's --press
# values, e.g. "DOWN@301-306 A@381-386") on both sides.
SOUND_ROM ?= tests/fixtures/sound/sound.rom
SOUND_FRAMES ?= 540
SOUND_PRESSES ?=
sound:
	cmake --preset default
	cmake --build --preset default --target rix-build rix-run gba-shot
	scripts/sound-wav build/default "$(SOUND_ROM)" "$(SOUND_FRAMES)" "$(SOUND_PRESSES)"

# Reassembles our BIOS and regenerates the C++ array the emulator builds from (needs z80asm).
bios: deps
	cd gba/bios && z80asm -o rixbios.rom rixbios.asm
	scripts/bios-array

# Rewrites the golden images (tests named *Golden*) from the current build. Look at
# the changed images before committing them.
goldens:
	cmake --preset default
	cmake --build --preset default
	RIX_UPDATE_GOLDENS=1 ctest --preset default -R Golden
