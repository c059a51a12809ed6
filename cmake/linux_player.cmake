# The Linux player bin/noctiva: the portable core behind a GTK 3 settings dialog and an X11
# overlay. Only this target links GTK and X11; the core, vektool and the tests do not.
find_package(PkgConfig REQUIRED)
pkg_check_modules(NOCTIVA_GTK REQUIRED IMPORTED_TARGET gtk+-3.0)
pkg_check_modules(NOCTIVA_X11 REQUIRED IMPORTED_TARGET x11 xrandr xfixes xext xinerama)
find_package(Threads REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# The dialog's controls and the string table, taken from the resource script at build time.
set(texts_dir ${CMAKE_BINARY_DIR}/generated)
set(texts_header ${texts_dir}/noctiva_dialog_texts.h)
add_custom_command(
  OUTPUT ${texts_header}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${texts_dir}
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/resources/extract_dialog_texts.py
          ${PROJECT_SOURCE_DIR}/resources/noctiva.rc ${PROJECT_SOURCE_DIR}/resources/resource.h
          ${texts_header}
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/extract_dialog_texts.py
          ${PROJECT_SOURCE_DIR}/resources/noctiva.rc ${PROJECT_SOURCE_DIR}/resources/resource.h
  COMMENT "Extracting the dialog texts from noctiva.rc")
add_custom_target(noctiva_dialog_texts DEPENDS ${texts_header})

file(GLOB player_sources CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/app/*_x11.cpp ${PROJECT_SOURCE_DIR}/app/*_gtk.cpp
     ${PROJECT_SOURCE_DIR}/settings/*_x11.cpp ${PROJECT_SOURCE_DIR}/settings/*_gtk.cpp
     ${PROJECT_SOURCE_DIR}/render/*_x11.cpp ${PROJECT_SOURCE_DIR}/render/*_gtk.cpp)
list(FILTER player_sources EXCLUDE REGEX "main_x11\\.cpp$")

# The player, and a measurement build of the same source (scripts/measure_player.sh).
function(noctiva_add_linux_player name)
  add_executable(${name} ${player_sources} ${PROJECT_SOURCE_DIR}/app/main_x11.cpp ${texts_header})
  target_include_directories(${name} PRIVATE ${texts_dir})
  target_link_libraries(${name} PRIVATE noctiva_core PkgConfig::NOCTIVA_GTK PkgConfig::NOCTIVA_X11
                        Threads::Threads)
  target_compile_definitions(${name} PRIVATE ${ARGN})
endfunction()
noctiva_add_linux_player(noctiva)
noctiva_add_linux_player(noctiva_measure NOCTIVA_MEASURE)
