cmake_minimum_required(VERSION 3.25)
# The image decoders but libdeflate are opened when the first file of their
# format is read: the programs and libraries that read files must not need
# them at start-up, and do need libdeflate (which shows the check can see a
# decoder).
#   cmake -DREADELF=... -DFILES="lib1;program" -P check_decoder_links.cmake
foreach(file ${FILES})
    execute_process(COMMAND ${READELF} -d ${file} OUTPUT_VARIABLE dynamic RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "readelf failed on ${file}")
    endif()
    foreach(decoder libturbojpeg libjpeg libpng libgif libtiff libwebp libheif)
        if(dynamic MATCHES "NEEDED[^\n]*\\[${decoder}[.-]")
            message(FATAL_ERROR "${file} needs ${decoder} at start-up:\n${dynamic}")
        endif()
    endforeach()
    if(NOT dynamic MATCHES "NEEDED[^\n]*\\[libdeflate\\.")
        message(FATAL_ERROR "${file} does not need libdeflate:\n${dynamic}")
    endif()
endforeach()
