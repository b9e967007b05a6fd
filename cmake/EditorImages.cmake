# The editor's sixteen images, compiled into the editor's translation unit as the byte
# arrays temp1 .. temp16 (in this order), regenerated whenever a PNG changes.
set (OLVAR_EDITOR_IMAGES
    background.png
    readout-decimal-point.png
    power-key.png
    meter-high-segment-1.png
    meter-high-segment-2.png
    meter-high-segment-3.png
    meter-high-segment-4.png
    meter-low-segment-1.png
    meter-low-segment-2.png
    meter-low-segment-3.png
    meter-low-segment-4.png
    logo.png
    readout-digits.png
    over-lamp.png
    fader-cap-vertical.png
    fader-cap-horizontal.png)

function (olvar_embed_editor_images target)
    set (imageFolder "${CMAKE_CURRENT_SOURCE_DIR}/resources/images")
    set (headerFolder "${CMAKE_CURRENT_BINARY_DIR}/generated")
    set (header "${headerFolder}/EditorImages.h")

    list (TRANSFORM OLVAR_EDITOR_IMAGES PREPEND "${imageFolder}/" OUTPUT_VARIABLE imagePaths)

    add_custom_command (OUTPUT "${header}"
        COMMAND "${CMAKE_COMMAND}" "-DOUTPUT=${header}" "-DIMAGES=${imagePaths}"
                -P "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/WriteImageHeader.cmake"
        DEPENDS ${imagePaths} "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/WriteImageHeader.cmake"
        COMMENT "Embedding the editor images"
        VERBATIM)

    target_sources (${target} PRIVATE "${header}")
    target_include_directories (${target} PRIVATE "${headerFolder}")
endfunction()
