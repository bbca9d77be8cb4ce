# Install-time placing of the systemd unit and the logrotate rules under
# the prefix of this install (CMAKE_INSTALL_PREFIX as cmake --install or
# cpack sets it), DESTDIR honoured. Given by the install rules:
# OSK_DIST_SOURCE, OSK_DIST_BINARY, and the bin, sysconfdir and unit
# directories as configured (relative to the prefix, or absolute).

# A configured directory under the install's prefix, an absolute one as is.
function(osk_under_prefix dir result)
  if(IS_ABSOLUTE "${dir}")
    set(${result} "${dir}" PARENT_SCOPE)
  else()
    set(${result} "${CMAKE_INSTALL_PREFIX}/${dir}" PARENT_SCOPE)
  endif()
endfunction()

osk_under_prefix("${OSK_BINDIR}" CMAKE_INSTALL_FULL_BINDIR)
osk_under_prefix("${OSK_UNITDIR}" unit_dir)
# The system configuration directory as GNUInstallDirs places it: /etc for
# the prefix /usr, /etc/opt/... for a prefix under /opt.
if(IS_ABSOLUTE "${OSK_SYSCONFDIR}" OR NOT OSK_SYSCONFDIR STREQUAL "etc")
  osk_under_prefix("${OSK_SYSCONFDIR}" sysconf_dir)
elseif(CMAKE_INSTALL_PREFIX MATCHES "^/usr/?$")
  set(sysconf_dir /etc)
elseif(CMAKE_INSTALL_PREFIX MATCHES "^/opt/")
  set(sysconf_dir "/etc${CMAKE_INSTALL_PREFIX}")
else()
  set(sysconf_dir "${CMAKE_INSTALL_PREFIX}/etc")
endif()

# Installs side by side (a staging tree and a package) each configure a
# unit of their own.
string(MD5 key "$ENV{DESTDIR}|${CMAKE_INSTALL_PREFIX}")
set(unit "${OSK_DIST_BINARY}/unit-${key}/oskavelde.service")
configure_file("${OSK_DIST_SOURCE}/oskavelde.service" "${unit}" @ONLY)

set(read_only OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(INSTALL DESTINATION "${unit_dir}" TYPE FILE PERMISSIONS ${read_only} FILES "${unit}")
file(INSTALL DESTINATION "${sysconf_dir}/logrotate.d" TYPE FILE PERMISSIONS ${read_only}
     RENAME oskavelde FILES "${OSK_DIST_SOURCE}/oskavelde.logrotate")
file(REMOVE_RECURSE "${OSK_DIST_BINARY}/unit-${key}")
