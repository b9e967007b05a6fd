# JUCE's recommended warnings (-Wall -Wextra -Wshadow -Wconversion and friends),
# plus the project's own rule that the build must stay free of them.
option (OLVAR_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)

function (olvar_enable_warnings target)
    target_link_libraries (${target} PRIVATE juce::juce_recommended_warning_flags)

    # GCC 12 flags JUCE 7's ListenerList iteration as a dangling pointer; it is not one.
    if (CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        target_compile_options (${target} PRIVATE -Wno-dangling-pointer)
    endif()

    if (OLVAR_WARNINGS_AS_ERRORS)
        target_compile_options (${target} PRIVATE -Werror)
    endif()
endfunction()
