# Entry points: "make demo" and "make test" (each installs what it needs first).
.PHONY: demo test screenshots bootstrap build-windows build-linux build-linux-asan format clean

# Two cores: keep builds and test runs at two jobs.
JOBS ?= 2

bootstrap:
	scripts/bootstrap

build-windows: bootstrap
	cmake --preset windows
	cmake --build build/windows -j $(JOBS)

# The Linux build runs the Windows build's binaries under Wine, so Windows is built first.
build-linux: bootstrap build-windows
	cmake --preset linux
	cmake --build build/linux -j $(JOBS)

build-linux-asan: bootstrap
	cmake --preset linux-asan
	cmake --build build/linux-asan -j $(JOBS)

demo: bootstrap
	cmake --preset linux
	cmake --build build/linux -j $(JOBS)
	cmake --build build/linux --target demo

test: build-windows build-linux build-linux-asan
	ctest --test-dir build/linux --output-on-failure -j $(JOBS)
	ctest --test-dir build/linux-asan -L unit --output-on-failure

# The dialogs as PNG files under docs/images/, rendered by the Windows build under Wine.
screenshots: build-windows build-linux
	scripts/screenshots

format:
	find src tests bench examples -name '*.cpp' -o -name '*.h' -o -name '*.c' | xargs -r clang-format -i

clean:
	-[ ! -d build/linux ] || tests/wine/wine-stop build/linux
	rm -rf build
