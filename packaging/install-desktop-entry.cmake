# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the desktop entry at install time, so that its Exec= names the
# program under the prefix really installed to (cmake --install --prefix DIR,
# or /usr in the Debian package), not the prefix the build was configured with.
# Included by an install(CODE) step that sets:
#   CARTONYM_DESKTOP_TEMPLATE  the entry with @CARTONYM_EXEC@ in its Exec= line
#   CARTONYM_DESKTOP_STAGED    where the filled-in entry is written before installing
#   CARTONYM_PROGRAM           the program, relative to the prefix (or absolute)
#   CARTONYM_APPLICATIONS_DIR  the folder of desktop entries, relative to the prefix

set(prefix "${CMAKE_INSTALL_PREFIX}")
if(NOT IS_ABSOLUTE "${prefix}")
    # cmake --install --prefix out: relative to the folder cmake runs in.
    get_filename_component(prefix "${prefix}" ABSOLUTE BASE_DIR "$ENV{PWD}")
endif()
if(IS_ABSOLUTE "${CARTONYM_PROGRAM}")
    set(program "${CARTONYM_PROGRAM}")
else()
    set(program "${prefix}/${CARTONYM_PROGRAM}")
endif()
if(IS_ABSOLUTE "${CARTONYM_APPLICATIONS_DIR}")
    set(applications "${CARTONYM_APPLICATIONS_DIR}")
else()
    set(applications "${prefix}/${CARTONYM_APPLICATIONS_DIR}")
endif()

if(program MATCHES "[\n\r]")
    message(FATAL_ERROR "A desktop entry cannot name a program whose path holds a line break: ${program}")
endif()
# The Exec= key: a path with anything but plain characters is quoted, with the
# characters the freedesktop desktop entry format reserves inside quotes escaped;
# then the key file's own string escaping doubles every backslash, and a
# literal percent sign is written twice.
set(CARTONYM_EXEC "${program}")
if(CARTONYM_EXEC MATCHES "[^A-Za-z0-9/._+,@=:-]")
    string(REPLACE "\\" "\\\\" CARTONYM_EXEC "${CARTONYM_EXEC}")
    string(REPLACE "\"" "\\\"" CARTONYM_EXEC "${CARTONYM_EXEC}")
    string(REPLACE "`" "\\`" CARTONYM_EXEC "${CARTONYM_EXEC}")
    string(REPLACE "$" "\\$" CARTONYM_EXEC "${CARTONYM_EXEC}")
    set(CARTONYM_EXEC "\"${CARTONYM_EXEC}\"")
    string(REPLACE "\\" "\\\\" CARTONYM_EXEC "${CARTONYM_EXEC}")
endif()
string(REPLACE "%" "%%" CARTONYM_EXEC "${CARTONYM_EXEC}")

configure_file("${CARTONYM_DESKTOP_TEMPLATE}" "${CARTONYM_DESKTOP_STAGED}" @ONLY)
file(INSTALL DESTINATION "${applications}" TYPE FILE
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
     FILES "${CARTONYM_DESKTOP_STAGED}")
