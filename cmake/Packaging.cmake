# A Debian package of what `cmake --install` installs: `cpack -G DEB` in a build folder (see
# tools/make-package.sh). dpkg-shlibdeps turns the program's libraries into package dependencies.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cantova)
set(CPACK_PACKAGE_VENDOR Orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Sing a melody and make a song of it")
set(CPACK_PACKAGE_DESCRIPTION
  "Cantova transcribes a sung, hummed or played melody into MIDI notes, suggests its key,\
 finds a chord for every bar, places an intro, a main part and an ending, and plays the chords\
 through the patterns of an accompaniment style. Melody, chords and sections are edited in a\
 piano roll and saved as a Standard MIDI File.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Orvane <cantova@orvane.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The built-in synthesizer needs a General MIDI SoundFont; either package provides one.
# The window needs the platform plugins, which no library dependency brings.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fluid-soundfont-gm | timgm6mb-soundfont, qt6-qpa-plugins")
set(CPACK_STRIP_FILES ON)
include(CPack)
