# Makes the Windows zip: a folder named after the package with the program,
# its help pages, a Japanese read-me and the licence texts. Run with -P:
#   -DZIP=<output .zip> -DSTAGE=<scratch folder> -DEXE=<tarnwick.exe>
#   -DSOURCE_DIR=<the project> -DNOTICES=<Qt's share/notices folder>
#   -DMINGW_COPYRIGHT=<the MinGW-w64 runtime's copyright file>
#   -DSTRIP=<the strip program> -DTARNWICK_VERSION=... -DQT_VERSION=...
foreach(var ZIP STAGE EXE SOURCE_DIR NOTICES MINGW_COPYRIGHT STRIP TARNWICK_VERSION QT_VERSION)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "windows_zip.cmake needs -D${var}=...")
  endif()
endforeach()
get_filename_component(name "${ZIP}" NAME_WLE)
set(top "${STAGE}/${name}")
file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${top}/licenses")

# Text for Notepad: CRLF, and UTF-8 with a byte order mark, which every
# version of it reads as UTF-8 rather than as the system's code page.
string(ASCII 239 187 191 bom)
function(write_text destination text)
  string(REGEX REPLACE "\r?\n" "\r\n" text "${text}")
  file(WRITE "${destination}" "${bom}${text}")
endfunction()

file(READ "${NOTICES}/SOURCE" QT_SOURCE_VERSION)
string(STRIP "${QT_SOURCE_VERSION}" QT_SOURCE_VERSION)
file(READ "${SOURCE_DIR}/packaging/windows/README-ja.txt" readme)
string(CONFIGURE "${readme}" readme @ONLY)
write_text("${top}/README-ja.txt" "${readme}")
file(READ "${SOURCE_DIR}/LICENSE" license)
write_text("${top}/LICENSE.txt" "${license}")

# Without its debugging information, which is two thirds of its size.
file(COPY "${EXE}" DESTINATION "${top}")
get_filename_component(exe_name "${EXE}" NAME)
execute_process(COMMAND "${STRIP}" "${top}/${exe_name}" COMMAND_ERROR_IS_FATAL ANY)
file(COPY "${SOURCE_DIR}/help" DESTINATION "${top}")
file(COPY_FILE "${NOTICES}/LGPL-3.0-only.txt" "${top}/licenses/Qt-LGPL-3.0.txt")
file(COPY_FILE "${NOTICES}/GPL-3.0-only.txt" "${top}/licenses/GPL-3.0.txt")
file(COPY_FILE "${NOTICES}/QT-THIRD-PARTY.txt" "${top}/licenses/Qt-third-party.txt")
file(COPY_FILE "${MINGW_COPYRIGHT}" "${top}/licenses/MinGW-w64-runtime.txt")

file(REMOVE "${ZIP}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${ZIP}" --format=zip "${name}"
                WORKING_DIRECTORY "${STAGE}" COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE "${STAGE}")
