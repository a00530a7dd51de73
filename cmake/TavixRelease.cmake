# The release folder: the program, the shell extension, our archiver libraries
# with the self-extractor stubs, the image plug-ins, the help pages and a first Tavix.ini side
# by side, as a user installs them. `cmake --install <build> --prefix DIR`
# fills DIR; the target `release` fills <build>/release.
set(TAVIX_RELEASE_DIR ${CMAKE_BINARY_DIR}/release)

install(FILES $<TARGET_FILE:Tavix> $<TARGET_FILE:tavixex> DESTINATION .)
install(DIRECTORY ${TAVIX_ARCHIVERS_DIR}/ DESTINATION .
  FILES_MATCHING PATTERN "*.DLL" PATTERN "*.dll" PATTERN "*.dat" PATTERN "kmtarsef.exe")
install(DIRECTORY ${TAVIX_IMAGEPLUGINS_DIR}/ DESTINATION imageplugins
  FILES_MATCHING PATTERN "*.spi" PATTERN "*.sph")
install(DIRECTORY ${CMAKE_SOURCE_DIR}/help/pages/ DESTINATION help)
# The settings the extension reads before the program has ever run.
install(FILES ${CMAKE_SOURCE_DIR}/app/res/Tavix.ini DESTINATION .)

set(_release_targets Tavix tavixex unlha32 UNARJ32 UNRAR32 CAB32 tar32 BGA32 UNZIP32 ZIP32J QXZIP32
  sfx_gui sfx_installer sfx_console ifjpeg ifpng ifgif iftiff ifmag ifpi)
add_custom_target(release
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${TAVIX_RELEASE_DIR}
  COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${TAVIX_RELEASE_DIR}
  COMMENT "Release folder ${TAVIX_RELEASE_DIR}"
  VERBATIM)
add_dependencies(release ${_release_targets})
