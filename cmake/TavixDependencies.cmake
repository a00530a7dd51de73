# Cross-built dependencies (scripts/build-deps.sh).
set(_deps ${TAVIX_DEPS_PREFIX})
if(NOT EXISTS ${_deps}/lib/libarchive.a)
  message(FATAL_ERROR "Dependencies missing in ${_deps}: run scripts/setup.sh first")
endif()

# zlib built from source by build-deps.sh (the same version as mingw's, whose
# packaged build deflates slower under Wine); mingw's until that has run.
add_library(tavix_zlib STATIC IMPORTED)
if(EXISTS ${_deps}/lib/libz.a)
  set_target_properties(tavix_zlib PROPERTIES IMPORTED_LOCATION ${_deps}/lib/libz.a
    INTERFACE_INCLUDE_DIRECTORIES ${_deps}/include/zlib)
else()
  message(STATUS "zlib: mingw's packaged library (run scripts/build-deps.sh for the faster own build)")
  set_target_properties(tavix_zlib PROPERTIES IMPORTED_LOCATION /usr/${TAVIX_TRIPLET}/lib/libz.a)
endif()

add_library(tavix_bz2 STATIC IMPORTED)
set_target_properties(tavix_bz2 PROPERTIES IMPORTED_LOCATION ${_deps}/lib/libbz2.a
  INTERFACE_INCLUDE_DIRECTORIES ${_deps}/include)

add_library(tavix_jpeg STATIC IMPORTED)
set_target_properties(tavix_jpeg PROPERTIES IMPORTED_LOCATION ${_deps}/lib/libjpeg.a
  INTERFACE_INCLUDE_DIRECTORIES ${_deps}/include)

add_library(tavix_pcre2 STATIC IMPORTED)
set_target_properties(tavix_pcre2 PROPERTIES IMPORTED_LOCATION ${_deps}/lib/libpcre2-16.a
  INTERFACE_INCLUDE_DIRECTORIES ${_deps}/include
  INTERFACE_COMPILE_DEFINITIONS "PCRE2_STATIC;PCRE2_CODE_UNIT_WIDTH=16")

add_library(tavix_archive STATIC IMPORTED)
set_target_properties(tavix_archive PROPERTIES IMPORTED_LOCATION ${_deps}/lib/libarchive.a
  INTERFACE_INCLUDE_DIRECTORIES ${_deps}/include
  INTERFACE_COMPILE_DEFINITIONS LIBARCHIVE_STATIC
  INTERFACE_LINK_LIBRARIES "tavix_bz2;tavix_zlib;bcrypt")

# The image plug-ins' decoders.
add_library(tavix_png STATIC IMPORTED)
set_target_properties(tavix_png PROPERTIES IMPORTED_LOCATION ${_deps}/lib/libpng16.a
  INTERFACE_INCLUDE_DIRECTORIES ${_deps}/include
  INTERFACE_LINK_LIBRARIES tavix_zlib)

add_library(tavix_gif STATIC IMPORTED)
set_target_properties(tavix_gif PROPERTIES IMPORTED_LOCATION ${_deps}/lib/libgif.a
  INTERFACE_INCLUDE_DIRECTORIES ${_deps}/include)

add_library(tavix_tiff STATIC IMPORTED)
set_target_properties(tavix_tiff PROPERTIES IMPORTED_LOCATION ${_deps}/lib/libtiff.a
  INTERFACE_INCLUDE_DIRECTORIES ${_deps}/include
  INTERFACE_LINK_LIBRARIES "tavix_jpeg;tavix_zlib")
