# `make package`: a Debian package of what `make install` installs, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "notepad that keeps plain text and its tabs between runs")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quillet is a small notepad for an always-open scratch space.
Whatever is pasted into it arrives as plain characters in one font and one
colour. It keeps any number of documents open as tabs, restores them with their
unsaved text at the next launch, opens and saves text and Markdown files, and
shows a live Markdown preview.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Quillet developers <quillet@localhost.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Libraries come from dpkg-shlibdeps (the X11 plugin ships with libqt6gui6); Qt loads the one
# for a Wayland session at run time, and Quillet falls back to X11 without it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
