# Writes the status script: the template with the region list that the updater carries
# put in as a VBScript string, so that both always carry the same list.
# Usage: cmake -DTEMPLATE=in.vbs -DPAYLOAD=vexo_regions.txt -DOUTPUT=out.vbs -P StatusScript.cmake
foreach(var TEMPLATE PAYLOAD OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "StatusScript.cmake needs -D${var}=...")
    endif()
endforeach()

# The script compares the list read as ASCII text with this string: only printable ASCII,
# CR and LF read back as the same characters in every code page.
file(READ "${PAYLOAD}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
if(size EQUAL 0)
    message(FATAL_ERROR "${PAYLOAD} is empty")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\1;" bytes "${hex}")
# Read as bytes: file(READ) as text drops a CR before an LF. CR and LF are marked by two
# control characters, which the check keeps out of the list, until the statements are
# formed.
string(ASCII 1 cr)
string(ASCII 2 lf)
set(text "")
set(offset 0)
foreach(byte ${bytes})
    if(byte STREQUAL "0d")
        string(APPEND text "${cr}")
    elseif(byte STREQUAL "0a")
        string(APPEND text "${lf}")
    elseif(byte MATCHES "^(2[0-9a-f]|[3-6][0-9a-f]|7[0-9a-e])$")
        math(EXPR code "0x${byte}")
        string(ASCII ${code} char)
        string(APPEND text "${char}")
    else()
        message(FATAL_ERROR "${PAYLOAD}: byte 0x${byte} at offset ${offset} is not printable "
                            "ASCII, CR or LF; the status script could not compare it exactly")
    endif()
    math(EXPR offset "${offset} + 1")
endforeach()

# One statement per line of the list: VBScript allows few line continuations. Quotes are
# doubled; CR LF, a lone CR and a lone LF become the constants that stand for them.
string(REPLACE "\"" "\"\"" text "${text}")
string(REPLACE "${cr}${lf}" "\" & vbCrLf\r\nnewList = newList & \"" text "${text}")
string(REPLACE "${cr}" "\" & vbCr & \"" text "${text}")
string(REPLACE "${lf}" "\" & vbLf & \"" text "${text}")
set(QUORLEN_STATUS_LIST "newList = \"\"\r\nnewList = newList & \"${text}\"")
set(QUORLEN_STATUS_LIST_SIZE ${size})
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY NEWLINE_STYLE CRLF)
