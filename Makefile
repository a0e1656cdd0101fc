# Entry points: "make demo" and "make test" (each installs what it needs first).
.PHONY: demo test dist screenshots bootstrap build-windows build-linux build-linux-asan build-fuzz fuzz format clean

# Two cores: keep builds and test runs at two jobs.
JOBS ?= 2
# Seconds each fuzz target runs: FUZZ_SECONDS for "make fuzz", TEST_FUZZ_SECONDS in "make test".
FUZZ_SECONDS ?= 15
TEST_FUZZ_SECONDS ?= 10

bootstrap:
	scripts/bootstrap

# Both Windows trees: x64 (noviq.exe, noviqw.exe) and i686 (the paired noviq32.exe).
build-windows: bootstrap
	cmake --preset windows
	cmake --build build/windows -j $(JOBS)
	cmake --preset windows32
	cmake --build build/windows32 -j $(JOBS)

# The Linux build runs the Windows build's binaries under Wine, so Windows is built first.
build-linux: bootstrap build-windows
	cmake --preset linux
	cmake --build build/linux -j $(JOBS)

build-linux-asan: bootstrap
	cmake --preset linux-asan
	cmake --build build/linux-asan -j $(JOBS)

# The libFuzzer targets: their own clang tree (build/fuzz), the core library and tests/fuzz.
build-fuzz: bootstrap
	cmake --preset fuzz
	cmake --build build/fuzz -j $(JOBS)

# Replays each target's regression inputs, then fuzzes it for FUZZ_SECONDS over a scratch
# copy of its seed corpus (build/fuzz/fuzz-runs/<target>/), two targets at a time.
fuzz: build-fuzz
	FUZZ_SECONDS=$(FUZZ_SECONDS) ctest --test-dir build/fuzz --output-on-failure -j $(JOBS)

# Only the Linux launcher and the sample: no Wine, cross compilers or test libraries.
demo:
	scripts/bootstrap demo
	cmake --preset demo
	cmake --build build/demo -j $(JOBS)
	cmake --build build/demo --target demo

# On a machine that cannot execute i386 programs (or with NOVIQ_ASSUME_NO_I386=1) the tests
# that run 32-bit Windows programs are skipped: the last line says so.
# A failed CTest test runs once more (both runs are in the output): under load a fresh Wine
# session now and then never opens the dialog's link elevated (docs/testing.md, Dialogs).
test: build-windows build-linux build-linux-asan build-fuzz
	ctest --test-dir build/linux --output-on-failure -j $(JOBS) --repeat until-pass:2
	ctest --test-dir build/linux-asan -L unit --output-on-failure
	FUZZ_SECONDS=$(TEST_FUZZ_SECONDS) ctest --test-dir build/fuzz --output-on-failure -j $(JOBS)
	@reason=$$(scripts/i386-probe) || echo "32-bit Windows tests skipped: $$reason" \
	    "($$(ctest --test-dir build/linux -N -L wine32 -FA . | sed -n 's/^ *Test *#[0-9]*: //p' | tr '\n' ' '))"

# The release archives (build/dist/): the Windows zip with noviq.exe, noviqw.exe and
# noviq32.exe, and the Linux tarball, each with the sample, the README and the INI reference.
dist: build-windows build-linux
	cmake --build build/linux --target dist

# The dialogs as PNG files under docs/images/, rendered by the Windows build under Wine.
screenshots: build-windows build-linux
	scripts/screenshots

format:
	find src tests bench examples -name '*.cpp' -o -name '*.h' -o -name '*.c' | xargs -r clang-format -i

clean:
	-[ ! -d build/linux ] || tests/wine/wine-stop build/linux
	rm -rf build
