# Writes THIRD-PARTY-NOTICES.txt: the licence texts of the libraries linked into
# Orvessa.exe, taken from the very sources they were built from.
# Run with: cmake -DOUT=... -DDEPS_LICENSES=... -DAVIF_LICENSES=... -P ThirdPartyNotices.cmake
set(parts
    "libpng|${DEPS_LICENSES}/libpng.LICENSE"
    "libjpeg-turbo|${DEPS_LICENSES}/libjpeg-turbo.LICENSE.md"
    "libjpeg-turbo: the Independent JPEG Group's licence|${DEPS_LICENSES}/libjpeg-turbo.README.ijg"
    "libwebp (licence and patent grant)|${DEPS_LICENSES}/libwebp.COPYING"
    "dav1d|${AVIF_LICENSES}/dav1d.COPYING"
    "zlib (as packaged for mingw-w64)|/usr/share/doc/libz-mingw-w64/copyright"
    "mingw-w64 runtime|/usr/share/doc/mingw-w64-common/copyright"
)
set(text "Third-party notices for Orvessa.exe\n\n")
string(APPEND text "Orvessa.exe contains code from the libraries below. Their licences follow in full.\n")
string(APPEND text "This software is based in part on the work of the Independent JPEG Group.\n")
string(APPEND text "The GCC runtime (libgcc, libstdc++) is used under the GCC Runtime Library Exception.\n")
# Which Debian source packages, at which revision, and our own patches with their reasons.
set(sources "")
foreach(record "${DEPS_LICENSES}/SOURCES" "${AVIF_LICENSES}/SOURCES")
    if(NOT EXISTS "${record}")
        message(FATAL_ERROR "record of the built libraries missing: ${record}")
    endif()
    file(READ "${record}" more)
    string(APPEND sources "${more}")
endforeach()
string(APPEND text "\nThe libraries were built from these Debian 12 source packages:\n\n${sources}")
foreach(part IN LISTS parts)
    string(REPLACE "|" ";" fields "${part}")
    list(GET fields 0 title)
    list(GET fields 1 file)
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "licence text missing: ${file}")
    endif()
    file(READ "${file}" body)
    string(APPEND text "\n\n==== ${title} ====\n\n${body}")
endforeach()
file(WRITE "${OUT}" "${text}")
