# The two everyday commands: `make run` converts the bundled example, `make test` runs every test.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
RELEASE_DIR := build/release
TEST_DIR := build/asan

.PHONY: run test release clean fuzz deps

# zlib reads compressed inputs (Debian: zlib1g-dev), and ISA-L's igzip inflates gzip files at
# about twice its speed (libisal-dev): installed with apt-get where they are missing.
DEPS := zlib1g-dev libisal-dev
deps:
	@missing=""; for package in $(DEPS); do \
		command -v dpkg > /dev/null && ! dpkg -s $$package > /dev/null 2>&1 && missing="$$missing $$package"; \
	done; if [ -n "$$missing" ]; then echo "installing$$missing"; apt-get update -qq && \
		DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing > /dev/null; fi

release: deps
	cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release -DORVALIS_TESTS=OFF >/dev/null
	cmake --build $(RELEASE_DIR) -j $(JOBS) --target orvalis

run: release
	cd examples && ../$(RELEASE_DIR)/orvalis -i calls.ber -o calls.ber.prs
	cd examples && ../$(RELEASE_DIR)/orvalis -q -x jsonl -i calls.ber -o calls.ber.jsonl
	cd examples && ../$(RELEASE_DIR)/orvalis -q -x csv -i calls.ber -o calls.ber.csv
	@echo "--- examples/calls.ber.prs (first 40 lines) ---"
	@head -n 40 examples/calls.ber.prs

test: deps release-checks
	cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=Debug -DORVALIS_SANITIZE=ON >/dev/null
	cmake --build $(TEST_DIR) -j $(JOBS)
	cd $(TEST_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf build

# The checks that need the release build (peak memory and limits of the address space, which mean
# nothing under the sanitizers): every script in tests/release/, given the release program.
# `make test` runs them first.
.PHONY: release-checks
release-checks: release
	@passed=0; failed=0; for check in tests/release/*.sh; do \
		echo "--- $$check"; \
		if $$check $(RELEASE_DIR)/orvalis; then passed=$$((passed + 1)); else failed=$$((failed + 1)); fi; \
	done; echo "release checks: $$passed passed, $$failed failed"; test $$failed -eq 0

# `make bench` converts generated files of 10 MiB, 100 MiB and 1 GiB, five times each, and prints a
# table of medians (bench/run-bench.sh; BENCH_QUICK=1 leaves out the 1 GiB file).
.PHONY: bench
bench:
	JOBS=$(JOBS) bench/run-bench.sh

# `make micro` runs the micro-benchmarks of the hot paths (walk of a record, each value decoder,
# write-out of a record).
.PHONY: micro
micro: deps
	cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release -DORVALIS_TESTS=OFF >/dev/null
	cmake --build $(RELEASE_DIR) -j $(JOBS) --target orvalis-micro
	$(RELEASE_DIR)/bench/orvalis-micro

# `make fuzz` builds the libFuzzer targets with clang in build-fuzz, replays their saved inputs and
# runs each for FUZZ_SECONDS, one after another (fuzz/run.sh tells where inputs and faults go).
FUZZ_SECONDS ?= 300

fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) bash fuzz/run.sh build-fuzz

# `make package` builds the Debian package build/package/orvalis_<version>_<arch>.deb with CPack
# (the install rules are at the end of CMakeLists.txt).
PACKAGE_DIR := build/package

.PHONY: package
package: deps
	cmake -S . -B $(PACKAGE_DIR) -DCMAKE_BUILD_TYPE=Release -DORVALIS_TESTS=OFF \
		-DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
	cmake --build $(PACKAGE_DIR) -j $(JOBS) --target orvalis
	cd $(PACKAGE_DIR) && cpack -G DEB
	@ls $(PACKAGE_DIR)/*.deb

# `make windows` cross-builds build/windows/orvalis.exe with MinGW-w64 (Debian package
# g++-mingw-w64-x86-64); `make windows-e2e` runs the end-to-end cases against it under Wine.
WINDOWS_DIR := build/windows

.PHONY: windows windows-e2e
windows:
	@if command -v dpkg > /dev/null && ! dpkg -s libz-mingw-w64-dev > /dev/null 2>&1; then \
		echo "installing libz-mingw-w64-dev"; apt-get update -qq && \
		DEBIAN_FRONTEND=noninteractive apt-get install -y -qq libz-mingw-w64-dev > /dev/null; fi
	cmake -S . -B $(WINDOWS_DIR) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
		-DCMAKE_BUILD_TYPE=Release -DORVALIS_TESTS=OFF >/dev/null
	cmake --build $(WINDOWS_DIR) -j $(JOBS) --target orvalis
	@ls $(WINDOWS_DIR)/orvalis.exe

windows-e2e: windows
	tests/e2e/run-under-wine.sh $(WINDOWS_DIR)/orvalis.exe

# `make valgrind` converts the bundled example under valgrind's memcheck, in normal mode, in debug
# mode, cut short with a filter and a range in force, and as a list of inputs (compressed, cut
# short, damaged) into one CSV with a manifest; any error or leak fails it.
.PHONY: valgrind
valgrind: release
	cd examples && valgrind -q --leak-check=full --errors-for-leak-kinds=all --error-exitcode=9 \
		../$(RELEASE_DIR)/orvalis -i calls.ber -o ../$(RELEASE_DIR)/valgrind.prs > /dev/null
	cd examples && valgrind -q --leak-check=full --errors-for-leak-kinds=all --error-exitcode=9 \
		../$(RELEASE_DIR)/orvalis -d -i calls.ber -o ../$(RELEASE_DIR)/valgrind-debug.prs > /dev/null
	head -c 30000 examples/calls.ber > $(RELEASE_DIR)/valgrind-cut.ber
	printf 'StartRec=3\r\nEndRec=200\r\n' > $(RELEASE_DIR)/valgrind.cfg
	cd examples && valgrind -q --leak-check=full --errors-for-leak-kinds=all --error-exitcode=9 \
		../$(RELEASE_DIR)/orvalis -d -i ../$(RELEASE_DIR)/valgrind-cut.ber -c ../$(RELEASE_DIR)/valgrind.cfg \
		-f filter.cfg -o ../$(RELEASE_DIR)/valgrind-cut.prs > /dev/null; test $$? -eq 255
	gzip -c examples/calls.ber > $(RELEASE_DIR)/valgrind.ber.gz
	head -c 20000 $(RELEASE_DIR)/valgrind.ber.gz > $(RELEASE_DIR)/valgrind-cut.ber.gz
	printf '%s\n' calls.ber ../$(RELEASE_DIR)/valgrind.ber.gz ../$(RELEASE_DIR)/valgrind-cut.ber.gz \
		../$(RELEASE_DIR)/valgrind-cut.ber > $(RELEASE_DIR)/valgrind.list
	printf 'SourceColumn=true\r\nResync=true\r\n' > $(RELEASE_DIR)/valgrind-list.cfg
	cd examples && valgrind -q --leak-check=full --errors-for-leak-kinds=all --error-exitcode=9 \
		../$(RELEASE_DIR)/orvalis -q -x csv -c ../$(RELEASE_DIR)/valgrind-list.cfg -l ../$(RELEASE_DIR)/valgrind.list \
		-o ../$(RELEASE_DIR)/valgrind.csv -m ../$(RELEASE_DIR)/valgrind.manifest 2> /dev/null; test $$? -eq 255
	@echo "valgrind: no errors, no leaks"
