# The Debian package (`make package`): quaymeter_<version>_<arch>.deb from the built tree.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quaymeter)
set(CPACK_PACKAGE_VENDOR "Brennick Research and Development")
set(CPACK_PACKAGE_CONTACT "${QUAYMETER_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quaymeter lists every process listening on a TCP port, with its command,
PID, user and the raw lsof line, and offers Kill and Force Kill. Every kill
is confirmed first, sent with /bin/kill, logged, and followed by a fresh
scan, so you see at once whether the port is free. It runs with the rights
of the user who starts it; a listener of another user is listed and stopped
as administrator after polkit's authentication.")
# The libraries the program links; what it loads at run time comes below, with the one Qt Quick
# release whose private accessible item the menu items extend. The xcb, offscreen
# and image plugins come with libqt6gui6 on Debian 12 (qt6-qpa-plugins holds only vnc and tuio).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS [[
qml6-module-qtqml, qml6-module-qtqml-models, qml6-module-qtqml-workerscript,
qml6-module-qtquick, qml6-module-qtquick-controls, qml6-module-qtquick-templates,
qml6-module-qtquick-layouts, qml6-module-qtquick-shapes,
fonts-inter, fonts-jetbrains-mono, fonts-material-design-icons-iconfont,
lsof, procps, pkexec,
libqt6quick6 (<< 6.4.3~)]])
string(REGEX REPLACE "[\n]+" " " CPACK_DEBIAN_PACKAGE_DEPENDS "${CPACK_DEBIAN_PACKAGE_DEPENDS}")
string(STRIP "${CPACK_DEBIAN_PACKAGE_DEPENDS}" CPACK_DEBIAN_PACKAGE_DEPENDS)
# Without it the program runs through XWayland on a Wayland desktop.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
include(CPack)
