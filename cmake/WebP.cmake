# libwebp's decoder and animation demuxer (WebP::demux, which brings WebP::webp), and its
# muxer for the tests' picture writer (WebP::mux). Natively Debian's libwebp-dev; for Windows
# the static libraries scripts/build-deps.sh cross-builds, found through the toolchain's
# search root.
find_path(WEBP_INCLUDE_DIR webp/decode.h REQUIRED)
find_library(WEBP_LIBRARY webp REQUIRED)
find_library(WEBP_DEMUX_LIBRARY webpdemux REQUIRED)
find_library(WEBP_MUX_LIBRARY webpmux)
if(NOT TARGET WebP::webp)
    add_library(WebP::webp UNKNOWN IMPORTED)
    set_target_properties(WebP::webp PROPERTIES IMPORTED_LOCATION "${WEBP_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${WEBP_INCLUDE_DIR}")
    add_library(WebP::demux UNKNOWN IMPORTED)
    set_target_properties(WebP::demux PROPERTIES IMPORTED_LOCATION "${WEBP_DEMUX_LIBRARY}"
        INTERFACE_LINK_LIBRARIES WebP::webp)
    if(WEBP_MUX_LIBRARY)
        add_library(WebP::mux UNKNOWN IMPORTED)
        set_target_properties(WebP::mux PROPERTIES IMPORTED_LOCATION "${WEBP_MUX_LIBRARY}"
            INTERFACE_LINK_LIBRARIES WebP::webp)
    endif()
endif()
