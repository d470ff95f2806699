# cmake -DFILE=PATH -DLIMIT=BYTES -P CheckSize.cmake: fails when FILE is larger.
file(SIZE "${FILE}" size)
if(size GREATER LIMIT)
    get_filename_component(name "${FILE}" NAME)
    message(FATAL_ERROR "${name} takes ${size} bytes, more than its limit of ${LIMIT}")
endif()
message(STATUS "${FILE}: ${size} bytes (limit ${LIMIT})")
