# The game for the browser, built with Emscripten (emcmake cmake; `make web`). The site
# is index.html beside tonkalo.js, tonkalo.wasm and tonkalo.data, the last holding the
# generated pictures, sounds and music (the generator's lighter encode of it, web/MP3),
# preloaded before the game starts; and what makes it an installable, offline app: the
# web app manifest, the icons and the service worker sw.js.
set(TONKALO_DATA_DIR "${CMAKE_SOURCE_DIR}/build/data" CACHE PATH
  "the native build's generated data (BMP/, WAV/, MP3/), packed into the site")
set(TONKALO_SITE_DIR "${CMAKE_BINARY_DIR}/site" CACHE PATH "where the site is written")
if(NOT EXISTS "${TONKALO_DATA_DIR}/.stamp")
  message(FATAL_ERROR "no generated data in ${TONKALO_DATA_DIR}: build the native "
    "tonkalo_data target first (make web does)")
endif()

# One program from every folder; the layers are checked in the native build.
file(GLOB WEB_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/src/platform/raster/*.cpp ${CMAKE_SOURCE_DIR}/src/platform/files/*.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/cli/*.cpp ${CMAKE_SOURCE_DIR}/src/platform/core/*.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/headless/*.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/web/*.cpp ${CMAKE_SOURCE_DIR}/src/services/*.cpp
  ${CMAKE_SOURCE_DIR}/src/gfx/*.cpp ${CMAKE_SOURCE_DIR}/src/audio/*.cpp
  ${CMAKE_SOURCE_DIR}/src/board/*.cpp ${CMAKE_SOURCE_DIR}/src/hud/*.cpp
  ${CMAKE_SOURCE_DIR}/src/game/*.cpp ${CMAKE_SOURCE_DIR}/src/app/*.cpp)
list(REMOVE_ITEM WEB_SOURCES ${CMAKE_SOURCE_DIR}/src/platform/files/image_write.cpp)
add_executable(tonkalo ${WEB_SOURCES})
target_include_directories(tonkalo PRIVATE ${CMAKE_SOURCE_DIR}/src)
# The page has no program file to find installed data beside; its data is always the
# preloaded folder the page names.
target_compile_definitions(tonkalo PRIVATE TONKALO_VERSION="${PROJECT_VERSION}"
  TONKALO_DATA_FROM_BIN="")
# Block copies as the machine's own instruction (memory.copy), not a call out to
# JavaScript for every row of a picture.
target_compile_options(tonkalo PRIVATE -mbulk-memory)

set(WEB_DIR ${CMAKE_SOURCE_DIR}/src/platform/web)
# Asyncify lets Sleep and the message box hand the thread back to the browser; the
# runtime exits when the game does, so a scripted run's trace is flushed and the page
# told. emcc writes only the .js and .wasm: index.html is our own.
target_link_options(tonkalo PRIVATE
  -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536 -sASYNCIFY_IMPORTS=[tonkalo_page_frame]
  -sEXIT_RUNTIME=1 -sALLOW_MEMORY_GROWTH=1 -sENVIRONMENT=web -mbulk-memory
  -sEXPORTED_RUNTIME_METHODS=[FS,addRunDependency,removeRunDependency,UTF8ToString,stringToUTF8]
  "SHELL:--js-library ${WEB_DIR}/web_page.js"
  "SHELL:--preload-file ${TONKALO_DATA_DIR}/BMP@/data/BMP"
  "SHELL:--preload-file ${TONKALO_DATA_DIR}/WAV@/data/WAV"
  "SHELL:--preload-file ${TONKALO_DATA_DIR}/web/MP3@/data/MP3")
set_target_properties(tonkalo PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${TONKALO_SITE_DIR}
  LINK_DEPENDS "${WEB_DIR}/web_page.js;${TONKALO_DATA_DIR}/.stamp")

set(SITE_ICONS tonkalo-32.png tonkalo-192.png tonkalo-512.png tonkalo-maskable-512.png)
set(SITE_FILES index.html manifest.webmanifest tonkalo.js tonkalo.wasm tonkalo.data)
foreach(icon ${SITE_ICONS})
  list(APPEND SITE_FILES icons/${icon})
  list(APPEND SITE_ICON_SOURCES ${TONKALO_DATA_DIR}/icons/${icon})
endforeach()
# The worker's version is a digest of every other file, so it is written last.
add_custom_command(OUTPUT ${TONKALO_SITE_DIR}/sw.js
  COMMAND ${CMAKE_COMMAND} -E copy ${WEB_DIR}/index.html ${WEB_DIR}/manifest.webmanifest
    ${TONKALO_SITE_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TONKALO_SITE_DIR}/icons
  COMMAND ${CMAKE_COMMAND} -E copy ${SITE_ICON_SOURCES} ${TONKALO_SITE_DIR}/icons
  COMMAND ${CMAKE_COMMAND} -DSITE=${TONKALO_SITE_DIR} -DTEMPLATE=${WEB_DIR}/sw.js
    "-DFILES=${SITE_FILES}" -P ${WEB_DIR}/site_version.cmake
  DEPENDS tonkalo $<TARGET_FILE:tonkalo> ${WEB_DIR}/index.html ${WEB_DIR}/manifest.webmanifest
    ${WEB_DIR}/sw.js ${WEB_DIR}/site_version.cmake ${TONKALO_DATA_DIR}/.stamp
  VERBATIM)
add_custom_target(tonkalo_page ALL DEPENDS ${TONKALO_SITE_DIR}/sw.js)
