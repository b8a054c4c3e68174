# dav1d, the AV1 decoder behind AVIF (Dav1d::dav1d). Natively Debian's libdav1d-dev, or the
# instrumented static build scripts/fuzz.sh puts on CMAKE_PREFIX_PATH; for Windows the static
# library scripts/build-deps-avif.sh cross-builds into a folder of its own beside the others.
if(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/DepsCache.cmake)
    set(ORVESSA_AVIF_DEPS_PREFIX "${ORVESSA_DEPS_CACHE_ROOT}/avif/i686")
    find_path(DAV1D_INCLUDE_DIR dav1d/dav1d.h PATHS ${ORVESSA_AVIF_DEPS_PREFIX}/include
        NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    find_library(DAV1D_LIBRARY NAMES libdav1d.a PATHS ${ORVESSA_AVIF_DEPS_PREFIX}/lib
        NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(NOT DAV1D_INCLUDE_DIR OR NOT DAV1D_LIBRARY)
        message(FATAL_ERROR "${ORVESSA_AVIF_DEPS_PREFIX} has no dav1d: run scripts/build-deps-avif.sh")
    endif()
else()
    find_path(DAV1D_INCLUDE_DIR dav1d/dav1d.h REQUIRED)
    find_library(DAV1D_LIBRARY dav1d REQUIRED)
endif()
if(NOT TARGET Dav1d::dav1d)
    add_library(Dav1d::dav1d UNKNOWN IMPORTED)
    set_target_properties(Dav1d::dav1d PROPERTIES IMPORTED_LOCATION "${DAV1D_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${DAV1D_INCLUDE_DIR}")
    if(NOT WIN32 AND DAV1D_LIBRARY MATCHES "\\.a$")
        # A static dav1d brings its thread and loader calls with it.
        find_package(Threads REQUIRED)
        set_property(TARGET Dav1d::dav1d PROPERTY INTERFACE_LINK_LIBRARIES Threads::Threads
            ${CMAKE_DL_LIBS} m)
    endif()
endif()
