# One place for the warning set every target of ours is built with.
add_library(tessarinth_warnings INTERFACE)
target_compile_options(tessarinth_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wcast-qual -Wformat=2 -Wimplicit-fallthrough)
if(TESSARINTH_WERROR)
  target_compile_options(tessarinth_warnings INTERFACE -Werror)
endif()

if(TESSARINTH_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(TESSARINTH_FUZZ)
  # Everything is built with coverage so that the fuzzers see inside the libraries they drive.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
