# Catalogs at build time: msgfmt compiles .po sources, and the appender
# carries the compiled files inside an executable as its last build step.
find_program(MSGFMT_EXECUTABLE msgfmt REQUIRED)

# brisquell_compile_catalogs(<target> OUTPUT_DIR <dir>
#     CATALOGS <relative path>=<po file> ... [MSGFMT_OPTIONS <option> ...])
# Compiles each .po into <dir>/<relative path>; <target> builds them all.
function(brisquell_compile_catalogs target)
    cmake_parse_arguments(C "" "OUTPUT_DIR" "CATALOGS;MSGFMT_OPTIONS" ${ARGN})
    set(outputs)
    foreach(pair IN LISTS C_CATALOGS)
        string(FIND "${pair}" "=" eq)
        string(SUBSTRING "${pair}" 0 ${eq} relative)
        math(EXPR start "${eq} + 1")
        string(SUBSTRING "${pair}" ${start} -1 po)
        set(output ${C_OUTPUT_DIR}/${relative})
        get_filename_component(folder ${output} DIRECTORY)
        # msgfmt leaves the creation date out; a catalog that has one gets it
        # back in its place, after the first header line.
        set(restore)
        file(STRINGS ${po} created REGEX "^\"POT-Creation-Date: ")
        if(created)
            string(REGEX REPLACE "^\"(POT-Creation-Date: [^\\]*).*" "\\1" created "${created}")
            set(restore COMMAND brisquell_mo_header_field ${output} Project-Id-Version "${created}")
        endif()
        add_custom_command(OUTPUT ${output}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
            COMMAND ${MSGFMT_EXECUTABLE} ${C_MSGFMT_OPTIONS} -o ${output} ${po}
            ${restore}
            DEPENDS ${po} brisquell_mo_header_field
            COMMENT "Compiling catalog ${relative}"
            VERBATIM)
        list(APPEND outputs ${output})
    endforeach()
    add_custom_target(${target} DEPENDS ${outputs})
endfunction()

# brisquell_append_files(<executable target> BASE_DIR <dir>
#     FILES <relative path> ... [DEPENDS <targets>])
# Carries <dir>/<relative path> under the name <relative path> in the
# executable: the linker places files and table in a read-only section of
# their own (a strip keeps it where it is), and after each link the appender
# writes the table's offsets. DEPENDS names the targets that make the files
# (e.g. the one of brisquell_compile_catalogs).
function(brisquell_append_files target)
    cmake_parse_arguments(A "" "BASE_DIR" "FILES;DEPENDS" ${ARGN})
    set(arguments)
    set(paths)
    foreach(relative IN LISTS A_FILES)
        list(APPEND arguments "${relative}=${A_BASE_DIR}/${relative}")
        list(APPEND paths "${A_BASE_DIR}/${relative}")
    endforeach()
    set(data ${CMAKE_CURRENT_BINARY_DIR}/${target}_files.bin)
    set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}_files.cpp)
    set(section .brisquell_files) # the appender's appended_table::SectionName
    add_custom_command(OUTPUT ${data}
        COMMAND brisquell_append_files --section-data ${data} ${arguments}
        DEPENDS brisquell_append_files ${paths} ${A_DEPENDS}
        COMMENT "Laying out the files ${target} carries"
        VERBATIM)
    # .incbin keeps the bytes out of the compiler's hands (no sanitizer red
    # zones); ccache does not cache a file that uses it.
    file(CONFIGURE OUTPUT ${source} CONTENT "// Generated: the files ${target} carries.
asm(\".pushsection ${section}, \\\"a\\\"\\n\"
    \".incbin \\\"${data}\\\"\\n\"
    \".popsection\\n\");
" @ONLY)
    target_sources(${target} PRIVATE ${source} ${data})
    set_source_files_properties(${source} PROPERTIES OBJECT_DEPENDS ${data})
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND brisquell_append_files $<TARGET_FILE:${target}> ${arguments}
        COMMENT "Writing the table of the files ${target} carries"
        VERBATIM)
    add_dependencies(${target} brisquell_append_files ${A_DEPENDS})
endfunction()

# The five files the program carries: the German, English and French
# catalogs of the text domain "default", the template and the message
# compiler's test catalog (nothing opens those two).
set(BRISQUELL_SHIPPED_CATALOGS
    locale/de/LC_MESSAGES/default.mo=${CMAKE_SOURCE_DIR}/i18n/locale/de/default.po
    locale/en/LC_MESSAGES/default.mo=${CMAKE_SOURCE_DIR}/i18n/locale/en/default.po
    locale/fr/LC_MESSAGES/default.mo=${CMAKE_SOURCE_DIR}/i18n/locale/fr/default.po
    default.mo=${CMAKE_SOURCE_DIR}/i18n/locale/default.pot
    locale/gettext-0.18.1.1.tar/gettext-0.18.1.1/gettext-0.18.1.1/gettext-tools/tests/test.mo=${CMAKE_SOURCE_DIR}/i18n/locale/test.po
    CACHE INTERNAL "")
set(BRISQUELL_SHIPPED_CATALOG_DIR ${CMAKE_BINARY_DIR}/catalogs CACHE INTERNAL "")
brisquell_compile_catalogs(brisquell_shipped_catalogs
    OUTPUT_DIR ${BRISQUELL_SHIPPED_CATALOG_DIR}
    CATALOGS ${BRISQUELL_SHIPPED_CATALOGS})

# The shipped catalogs' names inside the appended table.
function(brisquell_shipped_catalog_names out)
    set(names)
    foreach(pair IN LISTS BRISQUELL_SHIPPED_CATALOGS)
        string(FIND "${pair}" "=" eq)
        string(SUBSTRING "${pair}" 0 ${eq} relative)
        list(APPEND names ${relative})
    endforeach()
    set(${out} ${names} PARENT_SCOPE)
endfunction()

# brisquell_carry_catalogs(<executable target>)
# Appends the shipped catalogs to the executable as its last build step.
function(brisquell_carry_catalogs target)
    brisquell_shipped_catalog_names(names)
    brisquell_append_files(${target} BASE_DIR ${BRISQUELL_SHIPPED_CATALOG_DIR}
        FILES ${names} DEPENDS brisquell_shipped_catalogs)
endfunction()

# brisquell_install_with_catalogs(<executable target>)
# Installs the executable to bin/ and has the appender look at the installed
# copy: a strip keeps the files' section in place, so it finds the table
# intact and leaves it alone. A copy it cannot fill fails the install rather
# than shipping an untranslated program.
function(brisquell_install_with_catalogs target)
    install(TARGETS ${target} RUNTIME DESTINATION bin)
    brisquell_shipped_catalog_names(names)
    set(arguments)
    foreach(relative IN LISTS names)
        list(APPEND arguments "\"${relative}=${BRISQUELL_SHIPPED_CATALOG_DIR}/${relative}\"")
    endforeach()
    list(JOIN arguments " " joined)
    install(CODE "
        set(installed \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/$<TARGET_FILE_NAME:${target}>\")
        execute_process(COMMAND \"$<TARGET_FILE:brisquell_append_files>\" \"\${installed}\" ${joined}
                        RESULT_VARIABLE carried)
        if(NOT carried EQUAL 0)
            message(FATAL_ERROR \"\${installed} does not carry its catalogs\")
        endif()")
endfunction()
