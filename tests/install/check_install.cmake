# Installs the build into a fresh prefix, builds a client against it with
# find_package and another with pkg-config (its flags alone: they name the
# C++ standard the header needs), and runs both, the installed ZephScan and
# the installed Python package on a picture. Run by CTest:
#   cmake -DBUILD=... -DSOURCE=... -DWORK=... -DCXX=... -DCXXFLAGS=... -DPICTURE=...
#         -DEXPECTED=... -P check_install.cmake
function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out
                    ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}\n${err}")
    endif()
    set(output "${out}" PARENT_SCOPE)
endfunction()

function(expect what text)
    string(FIND "${output}" "${text}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${what}: '${text}' not in its output:\n${output}")
    endif()
    message(STATUS "${what}: ${output}")
endfunction()

file(REMOVE_RECURSE ${WORK})
set(prefix ${WORK}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix})

# The installed ZephScan finds its installed control module by itself.
run(${prefix}/bin/ZephScan ${PICTURE})
expect("installed ZephScan" "<Data>${EXPECTED}</Data>")

# find_package
run(${CMAKE_COMMAND} -S ${SOURCE}/tests/install/find_package -B ${WORK}/find_package -G Ninja
    -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${CXXFLAGS}" -DCMAKE_CXX_STANDARD=20
    -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK}/find_package)
run(${WORK}/find_package/client ${PICTURE})
expect("find_package client" "${EXPECTED}")

# pkg-config
file(GLOB pc_dirs ${prefix}/lib*/pkgconfig ${prefix}/lib/*/pkgconfig)
list(JOIN pc_dirs ":" pc_path)
set(ENV{PKG_CONFIG_PATH} "${pc_path}")
run(pkg-config --cflags --libs zephbarcode)
string(STRIP "${output}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
separate_arguments(extra UNIX_COMMAND "${CXXFLAGS}")
run(pkg-config --variable=libdir zephbarcode)
string(STRIP "${output}" libdir)
run(${CXX} ${extra} ${SOURCE}/tests/install/client.cpp ${flags}
    -Wl,-rpath,${libdir} -o ${WORK}/pkg_config_client)
run(${WORK}/pkg_config_client ${PICTURE})
expect("pkg-config client" "${EXPECTED}")

# The Python package, from the installed tree.
if(PYTHON)
    set(ENV{PYTHONPATH} ${prefix}/lib/python3/dist-packages)
    run(${PYTHON} -c "import sys, zephbarcode\nprint([b.text for b in zephbarcode.read(sys.argv[1])])"
        ${PICTURE})
    expect("installed Python package" "${EXPECTED}")
    unset(ENV{PYTHONPATH})
endif()
