# Shared build settings for every target of the project.

add_library(vintok_build_settings INTERFACE)
add_library(vintok::build_settings ALIAS vintok_build_settings)
target_compile_features(vintok_build_settings INTERFACE cxx_std_20)

if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(vintok_build_settings INTERFACE -Wall -Wextra)
  if(VINTOK_WARNINGS_AS_ERRORS)
    target_compile_options(vintok_build_settings INTERFACE -Werror)
  endif()
  if(VINTOK_SANITIZE)
    target_compile_options(vintok_build_settings INTERFACE
      -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(vintok_build_settings INTERFACE -fsanitize=address,undefined)
  endif()
  if(VINTOK_BUILD_FUZZERS)
    # Coverage for the fuzzing engine in every library; the fuzz targets
    # themselves link the engine (tests/fuzz).
    target_compile_options(vintok_build_settings INTERFACE
      -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
      -fno-omit-frame-pointer)
    target_link_options(vintok_build_settings INTERFACE -fsanitize=address,undefined)
  endif()
elseif(MSVC)
  target_compile_options(vintok_build_settings INTERFACE /W4)
endif()

# vintok_add_library(NAME SOURCES...): a static core library with its alias vintok::NAME.
function(vintok_add_library name)
  add_library(vintok_${name} STATIC ${ARGN})
  add_library(vintok::${name} ALIAS vintok_${name})
  target_include_directories(vintok_${name} PUBLIC "${PROJECT_SOURCE_DIR}")
  target_link_libraries(vintok_${name} PUBLIC vintok::build_settings)
endfunction()
