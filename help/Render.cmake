# Renders one manual: cmake -DCMARK=<cmark-gfm> -DLANGUAGE=<de|en|fr>
# -DSOURCE=<page.md> -DSTYLE=<manual.css> -DOUTPUT=<page.html> -P Render.cmake
# The page is complete in itself but for its pictures: the style is inside,
# the title is the Markdown's first heading.
execute_process(COMMAND ${CMARK} --extension table --extension autolink ${SOURCE}
    OUTPUT_VARIABLE body RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmark-gfm failed on ${SOURCE}: ${result}")
endif()
file(STRINGS ${SOURCE} first LIMIT_COUNT 1 REGEX "^# ")
string(REGEX REPLACE "^# " "" title "${first}")
file(READ ${STYLE} style)
file(WRITE ${OUTPUT}.part "<!DOCTYPE html>
<html lang=\"${LANGUAGE}\">
<head>
<meta charset=\"utf-8\">
<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">
<title>${title}</title>
<style>
${style}</style>
</head>
<body>
${body}</body>
</html>
")
file(RENAME ${OUTPUT}.part ${OUTPUT})
