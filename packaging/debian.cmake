# debian.cmake -- the two files every Debian package carries in its doc folder, made from the
# project's own LICENSE and CHANGELOG.md: the machine-readable copyright and changelog.gz. Sets
# RIPPLEFIELD_DEBIAN_DOCS to their paths.
set(debian_dir ${PROJECT_BINARY_DIR}/debian)
file(MAKE_DIRECTORY ${debian_dir})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/CHANGELOG.md
    ${CMAKE_CURRENT_LIST_DIR}/debian-changelog)

# The licence's permission and warranty paragraphs, indented by one space, with " ." for an
# empty line, as the copyright format writes a licence's text.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(FIND "${licence}" "Permission is hereby granted" start)
string(SUBSTRING "${licence}" ${start} -1 licence)
string(STRIP "${licence}" licence)
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " RIPPLEFIELD_LICENCE_TEXT " ${licence}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright.in ${debian_dir}/copyright @ONLY)

execute_process(COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/debian-changelog
        ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_VERSION} ${RIPPLEFIELD_MAINTAINER}
    OUTPUT_FILE ${debian_dir}/changelog RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "CHANGELOG.md has no entry for ${PROJECT_VERSION} that can be packaged")
endif()
execute_process(COMMAND gzip -9 -n -f ${debian_dir}/changelog RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cannot compress ${debian_dir}/changelog")
endif()
set(RIPPLEFIELD_DEBIAN_DOCS ${debian_dir}/copyright ${debian_dir}/changelog.gz)
