# Sanitized builds and fuzz targets (clang only).
#
#   -DPIBO_SANITIZE=address  AddressSanitizer and UndefinedBehaviorSanitizer,
#                            every report fatal (-fno-sanitize-recover=all)
#   -DPIBO_SANITIZE=thread   ThreadSanitizer
#   -DPIBO_FUZZ=ON           the fuzz targets of fuzz/ with libFuzzer, every
#                            source instrumented for it (implies address)
#
# A sanitized build runs only the test programs of its list: build the target
# `pibo_sanitized_tests` (not `all`) and run ctest in that build folder.
# `bash setup.sh test --sanitize` does both for both sanitizers.

set(PIBO_SANITIZE "" CACHE STRING "Sanitized build: address (with undefined) or thread")
set_property(CACHE PIBO_SANITIZE PROPERTY STRINGS "" address thread)
option(PIBO_FUZZ "Build the fuzz targets (clang's libFuzzer)" OFF)

if(PIBO_FUZZ AND NOT PIBO_SANITIZE)
  set(PIBO_SANITIZE address)
endif()

# The DIB canvas's span filler is compiled for several processors
# (target_clones). Its resolver runs while the program is being loaded, before
# a sanitizer's run-time is set up, and a sanitized program crashes there: the
# sanitized builds leave the attribute out.
if(PIBO_SANITIZE)
  set(PIBO_TARGET_CLONES_DEFAULT OFF)
else()
  set(PIBO_TARGET_CLONES_DEFAULT ON)
endif()
option(PIBO_TARGET_CLONES "Compile the DIB canvas's span filler for several processors" ${PIBO_TARGET_CLONES_DEFAULT})
if(NOT PIBO_TARGET_CLONES)
  add_compile_definitions(PIBO_NO_TARGET_CLONES)
endif()

if(NOT PIBO_SANITIZE)
  return()
endif()

if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "Sanitized and fuzzing builds need clang: configure with CC=clang CXX=clang++")
endif()

# The tests each sanitizer runs: the parsers and engines under the address
# sanitizer, the programs with threads under the thread sanitizer.
set(PIBO_SANITIZE_ADDRESS_TESTS
  zip_tests               # zip directory, legacy methods, hostile archives
  rich_text_tests         # rich-text core: markup, code pages, styles, RDF stream
  rich_text_document_tests  # RDF documents in every form
  subtitle_tests          # subtitle files
  package_tests           # courseware packages
  audio_pipeline_tests    # audio pipeline, WAV input and tags
  wave_audio_tests        # RIFF WAVE files and the buffer chain
  text_editor_tests       # the editor's line store, undo and spell-check lists
  platform_tests          # ini files and GBK text
  fuzz_regression_tests)  # inputs that once crashed a fuzz target
set(PIBO_SANITIZE_THREAD_TESTS
  wave_out_tests          # the sound layer and the wave-out device
  wave_in_tests           # the wave-in device and the recorder
  audio_pipeline_tests    # the pipeline's worker threads and playback
  rich_text_live_tests    # live spelling
  updater_tests)          # the updater's downloads

if(PIBO_SANITIZE STREQUAL "address")
  set(PIBO_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  set(PIBO_SANITIZE_TESTS ${PIBO_SANITIZE_ADDRESS_TESTS})
  set(PIBO_SANITIZE_ENV
    "ASAN_OPTIONS=detect_leaks=0:abort_on_error=0:detect_stack_use_after_return=0:strict_string_checks=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
elseif(PIBO_SANITIZE STREQUAL "thread")
  set(PIBO_SANITIZE_FLAGS -fsanitize=thread)
  set(PIBO_SANITIZE_TESTS ${PIBO_SANITIZE_THREAD_TESTS})
  set(PIBO_SANITIZE_ENV
    # Accesses made inside the libraries that are not instrumented (Qt,
    # PulseAudio, GLib) through the sanitizer's wrappers of memcpy, free and
    # the like are not checked: only our code is.
    "TSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/sanitize/tsan.supp:ignore_noninstrumented_modules=1:second_deadlock_stack=1:exitcode=66"
    # Qt starts child processes with a clone that shares the parent's memory
    # until the child runs its program; the thread sanitizer then loses the
    # parent's locks. This preload turns that clone into a plain fork.
    "LD_PRELOAD=${CMAKE_BINARY_DIR}/tests-bin/libpibo_fork_shim.so")
else()
  message(FATAL_ERROR "PIBO_SANITIZE must be address or thread, not ${PIBO_SANITIZE}")
endif()

add_compile_options(${PIBO_SANITIZE_FLAGS})
add_link_options(${PIBO_SANITIZE_FLAGS})
if(PIBO_FUZZ)
  # Coverage for libFuzzer in every source; the fuzz targets link its main.
  add_compile_options(-fsanitize=fuzzer-no-link)
  add_link_options(-fsanitize=fuzzer-no-link)
endif()
