# Finds every library Cantova links. A missing one stops configure with the
# Debian package that provides it, so a fresh machine knows what to install.

find_package(PkgConfig)
if(NOT PKG_CONFIG_FOUND)
  message(FATAL_ERROR "pkg-config was not found. Install it with: apt-get install pkg-config")
endif()

find_package(Qt6 COMPONENTS Core Gui Widgets Svg Test Concurrent)
if(NOT Qt6_FOUND)
  message(FATAL_ERROR
    "Qt 6 (Core, Gui, Widgets, Svg, Test) was not found. "
    "Install it with: apt-get install qt6-base-dev qt6-tools-dev qt6-svg-dev")
endif()

# cantova_require(<target name> <pkg-config module> <Debian package>)
function(cantova_require name module package)
  pkg_check_modules(${name} IMPORTED_TARGET GLOBAL ${module})
  if(NOT ${name}_FOUND)
    message(FATAL_ERROR
      "The library '${module}' was not found. Install it with: apt-get install ${package}")
  endif()
  add_library(Cantova::${name} ALIAS PkgConfig::${name})
endfunction()

cantova_require(FluidSynth fluidsynth libfluidsynth-dev)
cantova_require(PortAudio portaudio-2.0 portaudio19-dev)
cantova_require(SndFile sndfile libsndfile1-dev)
cantova_require(Mpg123 libmpg123 libmpg123-dev)
cantova_require(SampleRate samplerate libsamplerate0-dev)
cantova_require(SoundTouch soundtouch libsoundtouch-dev)
cantova_require(Fftw3f fftw3f libfftw3-dev)
cantova_require(Alsa alsa libasound2-dev)
