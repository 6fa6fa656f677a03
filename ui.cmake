# The window: the lumicarve_ui library (Qt 6 Widgets, Exiv2, libheif) over the core,
# the lumicarve executable, and its manual as a PDF (beside it in the build
# tree, in the documentation folder once installed).
find_package(Qt6 REQUIRED COMPONENTS Concurrent Gui Widgets Svg DBus LinguistTools)
find_package(exiv2 CONFIG REQUIRED)
# HEIC and AVIF pictures; Debian's libheif brings its HEVC and AV1 decoders.
pkg_check_modules(LIBHEIF REQUIRED IMPORTED_TARGET libheif)

add_library(lumicarve_ui STATIC ${UI_SOURCES})
target_link_libraries(lumicarve_ui PUBLIC lumicarve_core Qt6::Concurrent Qt6::Widgets Qt6::Svg Qt6::DBus exiv2lib
  PkgConfig::LIBHEIF)
target_compile_definitions(lumicarve_ui PUBLIC QT_NO_FOREACH QT_NO_URL_CAST_FROM_STRING)
set_target_properties(lumicarve_ui PROPERTIES AUTOMOC ON)
# Exiv2 0.27's interface is built on std::auto_ptr.
set_source_files_properties(results/ui/exif_reader.cpp PROPERTIES
  COMPILE_OPTIONS -Wno-deprecated-declarations)
qt_add_resources(lumicarve_ui lumicarve_icons
  PREFIX "/"
  BASE resources
  FILES
    resources/icons/search.svg
    resources/icons/recover.svg
    resources/icons/cancel.svg
    resources/icons/device.svg
    resources/icons/lumicarve.svg
    resources/placeholders/film_strip.svg
    resources/placeholders/camera.svg)

# The translations, compiled to .qm at build time and built into the program.
# scripts/translations adds new texts to the .ts files and checks them.
qt_add_lrelease(lumicarve_ui TS_FILES translations/lumicarve_de.ts
  QM_FILES_OUTPUT_VARIABLE LUMICARVE_QM_FILES OPTIONS -silent)
qt_add_resources(lumicarve_ui lumicarve_translations
  PREFIX "/i18n"
  BASE ${CMAKE_CURRENT_BINARY_DIR}
  FILES ${LUMICARVE_QM_FILES})

add_executable(lumicarve shell/main.cpp)
target_link_libraries(lumicarve PRIVATE lumicarve_ui)
target_compile_definitions(lumicarve PRIVATE LUMICARVE_VERSION="${PROJECT_VERSION}")
# Where the installed manual lies, relative to the installed program, so an
# installation moved to another prefix still finds it.
file(RELATIVE_PATH LUMICARVE_DOC_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DOCDIR})
set_source_files_properties(shell/application.cpp PROPERTIES
  COMPILE_DEFINITIONS LUMICARVE_DOC_FROM_BIN="${LUMICARVE_DOC_FROM_BIN}")
set_target_properties(lumicarve PROPERTIES AUTOMOC ON)

# The manual: Markdown turned into a PDF by a small Qt tool at build time.
add_executable(lumicarve-manual resources/make_manual.cpp)
target_link_libraries(lumicarve-manual PRIVATE Qt6::Gui)
target_compile_definitions(lumicarve-manual PRIVATE QT_NO_FOREACH QT_NO_URL_CAST_FROM_STRING)
set(LUMICARVE_MANUAL_PDF ${CMAKE_CURRENT_BINARY_DIR}/lumicarve.pdf)
add_custom_command(
  OUTPUT ${LUMICARVE_MANUAL_PDF}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:lumicarve-manual> ${CMAKE_CURRENT_SOURCE_DIR}/resources/manual.md
          ${LUMICARVE_MANUAL_PDF}
  DEPENDS lumicarve-manual ${CMAKE_CURRENT_SOURCE_DIR}/resources/manual.md
  COMMENT "Writing the manual lumicarve.pdf")
add_custom_target(lumicarve_manual ALL DEPENDS ${LUMICARVE_MANUAL_PDF})
add_dependencies(lumicarve lumicarve_manual)

install(TARGETS lumicarve RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${LUMICARVE_MANUAL_PDF} DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The desktop file, the metadata and the icon carry the application's id.
install(FILES resources/org.lumicarve.lumicarve.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/org.lumicarve.lumicarve.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES resources/icons/lumicarve.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME org.lumicarve.lumicarve.svg)
