# The Windows release: orvalda-<version>-win64.zip and an installer, built
# with the cross build. Included from the root CMakeLists in Windows builds.
#   build/win64/release/orvalda-<version>-win64.zip        orvalda.exe, the two tools and their README
#                                                          (tools-README.txt), orvalda-check.exe, orvalda-export.exe,
#                                                          orvalda-compare.exe, README, licence
#   build/win64/release/orvalda-<version>-win64-setup.exe  the same, with Start-menu entries and an uninstaller

file(GLOB ORVALDA_ICON_FILE "${PROJECT_SOURCE_DIR}/app/*.ico" "${PROJECT_SOURCE_DIR}/ui/*.ico")
list(GET ORVALDA_ICON_FILE 0 ORVALDA_ICON_FILE)
set(ORVALDA_RELEASE_NAME "orvalda-${PROJECT_VERSION}-win64")
set(ORVALDA_RELEASE_DIR "${CMAKE_BINARY_DIR}/release")
set(ORVALDA_STAGE "${ORVALDA_RELEASE_DIR}/${ORVALDA_RELEASE_NAME}")
set(ORVALDA_ZIP "${ORVALDA_RELEASE_DIR}/${ORVALDA_RELEASE_NAME}.zip")
set(ORVALDA_SETUP "${ORVALDA_RELEASE_DIR}/${ORVALDA_RELEASE_NAME}-setup.exe")
set(ORVALDA_INSTALLER_SCRIPT "${PROJECT_SOURCE_DIR}/app/installer/orvalda.nsi")

# The README and the licence as Windows text files (CR LF), remade when they change.
set(ORVALDA_RELEASE_TEXTS "${CMAKE_BINARY_DIR}/release-files")
foreach(text README.md:README.txt tools/README.md:tools-README.txt LICENSE:LICENSE.txt)
  string(REPLACE ":" ";" text "${text}")
  list(GET text 0 from)
  list(GET text 1 to)
  file(READ "${PROJECT_SOURCE_DIR}/${from}" content)
  string(REPLACE "\r\n" "\n" content "${content}")
  string(REPLACE "\n" "\r\n" content "${content}")
  file(WRITE "${ORVALDA_RELEASE_TEXTS}/${to}.new" "${content}")
  configure_file("${ORVALDA_RELEASE_TEXTS}/${to}.new" "${ORVALDA_RELEASE_TEXTS}/${to}" COPYONLY)  # only when it differs
  file(REMOVE "${ORVALDA_RELEASE_TEXTS}/${to}.new")
  set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/${from}")
endforeach()

find_program(ZIP_PROGRAM zip)
find_program(MAKENSIS_PROGRAM makensis)

if(ZIP_PROGRAM AND MAKENSIS_PROGRAM)
  add_custom_command(
    OUTPUT "${ORVALDA_ZIP}" "${ORVALDA_SETUP}"
    # The folder the zip holds: exactly the files of the release.
    COMMAND ${CMAKE_COMMAND} -E rm -rf "${ORVALDA_STAGE}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${ORVALDA_STAGE}"
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:orvalda> $<TARGET_FILE:orvalda-feed> $<TARGET_FILE:zentavor-probe>
            $<TARGET_FILE:orvalda-check> $<TARGET_FILE:orvalda-export> $<TARGET_FILE:orvalda-compare>
            "${ORVALDA_RELEASE_TEXTS}/README.txt"
            "${ORVALDA_RELEASE_TEXTS}/tools-README.txt" "${ORVALDA_RELEASE_TEXTS}/LICENSE.txt" "${ORVALDA_STAGE}/"
    COMMAND ${CMAKE_COMMAND} -E rm -f "${ORVALDA_ZIP}"
    COMMAND ${CMAKE_COMMAND} -E chdir "${ORVALDA_RELEASE_DIR}" ${ZIP_PROGRAM} -q -r -X "${ORVALDA_ZIP}" "${ORVALDA_RELEASE_NAME}"
    # The installer takes the same files, and the icon beside them.
    COMMAND ${CMAKE_COMMAND} -E copy "${ORVALDA_ICON_FILE}" "${ORVALDA_RELEASE_TEXTS}/orvalda.ico"
    COMMAND ${MAKENSIS_PROGRAM} -V2 -DVERSION=${PROJECT_VERSION} -DSTAGE=${ORVALDA_STAGE}
            -DICON=${ORVALDA_RELEASE_TEXTS}/orvalda.ico -DOUTFILE=${ORVALDA_SETUP} "${ORVALDA_INSTALLER_SCRIPT}"
    DEPENDS orvalda orvalda-feed zentavor-probe orvalda-check orvalda-export orvalda-compare "${ORVALDA_RELEASE_TEXTS}/README.txt"
            "${ORVALDA_RELEASE_TEXTS}/tools-README.txt"
            "${ORVALDA_RELEASE_TEXTS}/LICENSE.txt" "${ORVALDA_INSTALLER_SCRIPT}" "${ORVALDA_ICON_FILE}"
    COMMENT "Packing ${ORVALDA_RELEASE_NAME}.zip and ${ORVALDA_RELEASE_NAME}-setup.exe"
    VERBATIM)
  add_custom_target(release ALL DEPENDS "${ORVALDA_ZIP}" "${ORVALDA_SETUP}")
else()
  message(STATUS "zip or makensis not found: no release packages")
endif()
