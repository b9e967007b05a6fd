# The equaliser engine: plain C++ without JUCE, so it builds and is tested headless.
# Multiply-adds are never contracted: the filter arithmetic is defined to the bit.
add_library (olvar_dsp STATIC source/CDSP.cpp)
target_include_directories (olvar_dsp PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}/source")
target_compile_options (olvar_dsp PUBLIC -ffp-contract=off)
set_target_properties (olvar_dsp PROPERTIES POSITION_INDEPENDENT_CODE ON)
olvar_enable_warnings (olvar_dsp)

# The plug-in: one shared-code target (Olvar) that the VST3, LV2 and Standalone
# formats, the tests and the tools all link, so JUCE is compiled once.

juce_add_plugin (Olvar
    PRODUCT_NAME "Olvar"
    COMPANY_NAME "RAVEK-AUDIO"
    COMPANY_WEBSITE "${OLVAR_MAKER_WEBSITE}"
    COMPANY_EMAIL "${OLVAR_MAKER_EMAIL}"
    BUNDLE_ID "${OLVAR_BUNDLE_ID}"
    PLUGIN_MANUFACTURER_CODE Manu
    PLUGIN_CODE Xxbl
    VERSION ${PROJECT_VERSION}
    FORMATS VST3 LV2 Standalone
    IS_SYNTH FALSE
    NEEDS_MIDI_INPUT FALSE
    NEEDS_MIDI_OUTPUT FALSE
    IS_MIDI_EFFECT FALSE
    EDITOR_WANTS_KEYBOARD_FOCUS FALSE
    VST3_CATEGORIES Fx
    LV2URI "${OLVAR_LV2_URI}"
    COPY_PLUGIN_AFTER_BUILD FALSE
    NEEDS_CURL TRUE
    NEEDS_WEB_BROWSER FALSE)

target_sources (Olvar PRIVATE
    source/PluginEditor.cpp
    source/PluginProcessor.cpp
    source/PreferredLanguage.cpp
    source/StateBlock.cpp
    source/UpdateCheck.cpp)

target_include_directories (Olvar PUBLIC
    "${CMAKE_CURRENT_SOURCE_DIR}/source"
    # JUCE's VST3 wrapper wants the VST2 bank record when the VST3 classes replace a VST2 edition.
    "${CMAKE_CURRENT_SOURCE_DIR}/compat")

target_compile_definitions (Olvar
    PUBLIC
        JUCE_WEB_BROWSER=0
        JUCE_USE_CURL=1
        JUCE_DISPLAY_SPLASH_SCREEN=0
        JUCE_REPORT_APP_USAGE=0
        JUCE_VST3_CAN_REPLACE_VST2=1
        # Debian's JUCE 7.0.5 drops the LV2URI argument; without this the library and its TTL disagree.
        JucePlugin_LV2URI="${OLVAR_LV2_URI}"
        # Hosting lets the tests and tools load the built bundles through JUCE.
        JUCE_PLUGINHOST_VST3=1
        JUCE_PLUGINHOST_LV2=1
        OLVAR_MAKER_WEBSITE="${OLVAR_MAKER_WEBSITE}"
        OLVAR_MAKER_EMAIL="${OLVAR_MAKER_EMAIL}"
        OLVAR_UPDATE_ENDPOINT="${OLVAR_UPDATE_ENDPOINT}"
        OLVAR_VERSION_TEXT="${PROJECT_VERSION}")

# JUCE's modules are linked privately so their sources are compiled here only.
target_link_libraries (Olvar
    PRIVATE
        olvar_dsp
        juce::juce_audio_utils
        juce::juce_dsp
        juce::juce_recommended_config_flags
    PUBLIC
        $<$<PLATFORM_ID:Linux>:PkgConfig::OLVAR_SYSTEM_CODECS>)

olvar_enable_warnings (Olvar)
olvar_embed_editor_images (Olvar)

# What the tests, tools and benchmarks link: the compiled shared code, with the same
# headers and definitions it was built with (as JUCE does for the plug-in formats).
add_library (OlvarSharedCode INTERFACE)
target_include_directories (OlvarSharedCode INTERFACE $<TARGET_PROPERTY:Olvar,INCLUDE_DIRECTORIES>)
target_compile_definitions (OlvarSharedCode INTERFACE
    $<FILTER:$<TARGET_GENEX_EVAL:Olvar,$<TARGET_PROPERTY:Olvar,COMPILE_DEFINITIONS>>,EXCLUDE,JucePlugin_Build_|JUCE_SHARED_CODE>)
target_link_libraries (OlvarSharedCode INTERFACE Olvar)
