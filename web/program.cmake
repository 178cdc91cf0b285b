# What every page of the web version is built from and with: the program's
# sources without the desktop's SDL edge, and emscripten's options. Included by
# web/CMakeLists.txt and bench/web/CMakeLists.txt; `top` is the source root.
file(GLOB websources CONFIGURE_DEPENDS
  ${top}/app/*.cpp ${top}/gfx/*.cpp ${top}/sim/*.cpp ${top}/background/*.cpp
  ${top}/presets/*.cpp ${top}/demos/*.cpp ${top}/support/*.cpp)
# The desktop's SDL edge: the window, the SDL timer and the process entry.
list(REMOVE_ITEM websources ${top}/app/main.cpp ${top}/app/timer.cpp ${top}/gfx/video.cpp)
# The browser's display and clock in their place.
list(APPEND websources ${top}/web/clock.cpp ${top}/web/display.cpp ${top}/web/link.cpp)

# Exact floating point: no contraction into fused multiply-adds, no fast-math.
# emscripten's own SDL 1.2: the default of older emscriptens, asked for by name
# in newer ones. 128-bit vectors and bulk memory, in every current browser:
# row fills, sprite runs and the canvas conversion move several pixels a step.
set(webcompile -Wall -Wextra -ffp-contract=off -O2 -sUSE_SDL=1 -msimd128 -mbulk-memory)

set(weblibrary ${top}/web/library.js)
set(weblink
  -O2 -sUSE_SDL=1 -msimd128 -mbulk-memory
  # the loops wait for the browser in these calls; no indirect call leads to one
  -sASYNCIFY -sASYNCIFY_IGNORE_INDIRECT -sASYNCIFY_STACK_SIZE=16384
  "-sASYNCIFY_IMPORTS=['spumex_nextframe','spumex_mountstore','spumex_keepfile']"
  # a strict Content-Security-Policy: no eval, no new Function
  -sDYNAMIC_EXECUTION=0
  -sENVIRONMENT=web
  -sINITIAL_MEMORY=33554432 -sALLOW_MEMORY_GROWTH
  -lidbfs.js
  "SHELL:--js-library ${weblibrary}")

# A page's program: named spumex, so that the page around it is the web
# version's own; dir is where its spumex.js and spumex.wasm go.
function(webprogram target dir)
  add_executable(${target} ${ARGN})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME spumex SUFFIX ".js" RUNTIME_OUTPUT_DIRECTORY ${dir})
  target_compile_options(${target} PRIVATE ${webcompile})
  target_include_directories(${target} PRIVATE ${top})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${weblibrary})
  target_link_options(${target} PRIVATE ${weblink})
endfunction()
