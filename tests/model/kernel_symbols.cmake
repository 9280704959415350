# kernel_symbols.cmake -- fails unless the vector field kernels' objects define no external symbol
# but their entry points: anything else (an inline function from a shared header, say) would be
# built for SSE and could be picked by the linker for the x87 code of the 32-bit build.
# cmake -DNM=<nm> -DOBJECTS=<object>|<object>... -P kernel_symbols.cmake
string(REPLACE "|" ";" objects "${OBJECTS}")
foreach(object IN LISTS objects)
    execute_process(COMMAND ${NM} --defined-only --extern-only ${object}
        OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "${NM} failed on ${object}")
    endif()
    string(REGEX MATCHALL "[^\n]+" symbols "${listing}")
    list(LENGTH symbols count)
    if(count EQUAL 0)
        message(FATAL_ERROR "${object} defines no symbol at all")
    endif()
    foreach(symbol IN LISTS symbols)
        if(NOT symbol MATCHES "(ShadeFieldRow|KernelSin)(Sse2|Avx2|Neon)")
            message(FATAL_ERROR "${object} defines ${symbol}")
        endif()
        message(STATUS "${symbol}")
    endforeach()
endforeach()
