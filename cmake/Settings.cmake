# One interface target that every Sorvelle target links: language level, warnings, sanitizers.
add_library(sorvelle_settings INTERFACE)
target_compile_features(sorvelle_settings INTERFACE cxx_std_20)
target_compile_options(sorvelle_settings INTERFACE
  -Wall -Wextra -Wformat=2 -Wundef -Werror=return-type -Wfloat-conversion
  # The timeline arithmetic depends on every float intermediate being rounded to 32 bits.
  -fno-fast-math -ffp-contract=off)
if(SORVELLE_WERROR)
  target_compile_options(sorvelle_settings INTERFACE -Werror)
endif()
if(SORVELLE_SANITIZE)
  target_compile_options(sorvelle_settings INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer
    # Line tables are all a sanitizer report needs, and the build takes a fifth less time.
    -g1)
  target_link_options(sorvelle_settings INTERFACE -fsanitize=address,undefined)
  # Bounds and precondition checks in the standard library (operator[], std::clamp, ...).
  target_compile_definitions(sorvelle_settings INTERFACE _GLIBCXX_ASSERTIONS)
endif()
