# Sanitizer and fuzzing instrumentation for the whole tree, chosen at configure time.
#
#   -DVEXA_SANITIZE=address,undefined   ASan + UBSan (scripts/sanitize.sh asan, build-asan/)
#   -DVEXA_SANITIZE=thread              TSan (scripts/sanitize.sh tsan, build-tsan/)
#   -DVEXA_WITH_FUZZ=ON                 libFuzzer coverage on every library (clang; fuzz/run.sh)
#
# The flags go on every target so that a library and its callers agree on the runtime; UBSan
# findings abort instead of printing and carrying on, so a test that trips one fails.
set(VEXA_SANITIZE "" CACHE STRING "Sanitizers for every target: address,undefined | thread | empty")

if(VEXA_WITH_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VEXA_WITH_FUZZ needs clang (libFuzzer): configure with CXX=clang++ CC=clang")
  endif()
  if(NOT VEXA_SANITIZE)
    set(VEXA_SANITIZE "address,undefined")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(VEXA_SANITIZE)
  add_compile_options(-fsanitize=${VEXA_SANITIZE} -fno-omit-frame-pointer -g)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC 12 sees uninitialised members inside <regex> and <functional> once the sanitizer has
    # instrumented them, and only then; the plain build keeps the warning.
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
  add_link_options(-fsanitize=${VEXA_SANITIZE})
  if(VEXA_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
    add_link_options(-fno-sanitize-recover=undefined)
  endif()
endif()
