# Compile options shared by every target of the project.
#
# -ffp-contract=off: the library defines its sums step by step; a fused
# multiply-add would round differently, so contraction is never allowed.
function(kohport_target_options target)
  target_compile_options(${target} PRIVATE
    $<$<OR:$<CXX_COMPILER_ID:GNU>,$<CXX_COMPILER_ID:Clang>>:-Wall -Wextra -Wpedantic>
    $<$<BOOL:${KOHPORT_WERROR}>:-Werror>)
endfunction()

set(_kohport_common_flags -ffp-contract=off)
if(KOHPORT_SANITIZE)
  list(APPEND _kohport_common_flags -fsanitize=address,undefined -fno-sanitize-recover=all
       -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
add_compile_options(${_kohport_common_flags})

if(KOHPORT_BUILD_FUZZ)
  # Coverage instrumentation for the library and everything linked with it.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
