cmake_minimum_required(VERSION 3.25)
# Poppler is GPL: the library, the control module and ZephScan must not need
# it, and ZephScan's PDF module, when built, does (which shows the check can
# see it).
#   cmake -DREADELF=... -DFREE="lib1;lib2;program" -DWITH=module -P check_links.cmake
foreach(file ${FREE} ${WITH})
    execute_process(COMMAND ${READELF} -d ${file} OUTPUT_VARIABLE dynamic RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "readelf failed on ${file}")
    endif()
    string(FIND "${dynamic}" "poppler" at)
    if(file IN_LIST FREE AND NOT at EQUAL -1)
        message(FATAL_ERROR "${file} needs poppler:\n${dynamic}")
    endif()
    if(file STREQUAL WITH AND at EQUAL -1)
        message(FATAL_ERROR "${file} was built with PDF reading but does not need poppler")
    endif()
endforeach()
