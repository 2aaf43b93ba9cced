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
        add_custom_command(OUTPUT ${output}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
            COMMAND ${MSGFMT_EXECUTABLE} ${C_MSGFMT_OPTIONS} -o ${output} ${po}
            DEPENDS ${po}
            COMMENT "Compiling catalog ${relative}"
            VERBATIM)
        list(APPEND outputs ${output})
    endforeach()
    add_custom_target(${target} DEPENDS ${outputs})
endfunction()

# brisquell_append_files(<executable target> BASE_DIR <dir>
#     FILES <relative path> ... [DEPENDS <targets>])
# After each link, appends <dir>/<relative path> under the name <relative
# path>. DEPENDS names the targets that make the files (e.g. the one of
# brisquell_compile_catalogs); a changed file relinks the executable.
function(brisquell_append_files target)
    cmake_parse_arguments(A "" "BASE_DIR" "FILES;DEPENDS" ${ARGN})
    set(arguments)
    set(paths)
    foreach(relative IN LISTS A_FILES)
        list(APPEND arguments "${relative}=${A_BASE_DIR}/${relative}")
        list(APPEND paths "${A_BASE_DIR}/${relative}")
    endforeach()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND brisquell_append_files $<TARGET_FILE:${target}> ${arguments}
        COMMENT "Appending catalogs to ${target}"
        VERBATIM)
    add_dependencies(${target} brisquell_append_files ${A_DEPENDS})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${paths})
endfunction()

# brisquell_carry_test_catalogs(<executable target>)
# Compiles the German, English and French test catalogs and appends them to
# the executable, as the program carries its own.
function(brisquell_carry_test_catalogs target)
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_catalogs)
    set(po ${CMAKE_SOURCE_DIR}/tests/i18n/data)
    set(files)
    set(catalogs)
    foreach(language de en fr)
        set(relative locale/${language}/LC_MESSAGES/default.mo)
        list(APPEND files ${relative})
        list(APPEND catalogs ${relative}=${po}/${language}.po)
    endforeach()
    brisquell_compile_catalogs(${target}_catalogs OUTPUT_DIR ${dir} CATALOGS ${catalogs})
    brisquell_append_files(${target} BASE_DIR ${dir} FILES ${files} DEPENDS ${target}_catalogs)
endfunction()
