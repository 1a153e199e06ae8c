# How Tessarinth installs as a desktop program, and the Debian package made of that
# (`cmake --build build --target package`, or `cpack` in the build folder).
#
# Installed: the planner and tessarinth-cli with the programs it hands commands to, all side by
# side in bin/ (tessarinth-cli finds them beside itself); the desktop entry and the icon in the
# sizes a desktop asks for; the user unit that rings reminders from log-in on; and a manual page
# for each of the two programs one starts. Tests, benchmarks and developer tools are not.

include(GNUInstallDirs)

# systemd reads user units from /usr/lib/systemd/user and /usr/local/lib/systemd/user.
set(TESSARINTH_SYSTEMD_USER_UNIT_DIR "lib/systemd/user" CACHE STRING
    "Folder of the reminders user unit, under the install prefix")
set(TESSARINTH_PACKAGE_MAINTAINER "Tessarinth maintainers <maintainers@tessarinth.invalid>"
    CACHE STRING "The Maintainer field of the Debian package")

install(TARGETS
  tessarinth
  tessarinth-cli tessarinth-cli-screen tessarinth-cli-reminders tessarinth-cli-sync
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${PROJECT_SOURCE_DIR}/dist/tessarinth.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The icon: the planner's own icon 101, drawn by its resources code into each size of the theme.
set(tessarinth_icon_sizes 16 22 24 32 48 64 128 256)
set(tessarinth_icon_dir ${PROJECT_BINARY_DIR}/dist/icons)
add_executable(draw_icons ${PROJECT_SOURCE_DIR}/dist/draw_icons.cpp)
target_link_libraries(draw_icons PRIVATE resources tessarinth_warnings)
set_target_properties(draw_icons PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/dist)
set(tessarinth_icon_files)
foreach(size IN LISTS tessarinth_icon_sizes)
  set(icon ${tessarinth_icon_dir}/${size}x${size}/apps/tessarinth.png)
  list(APPEND tessarinth_icon_files ${icon})
  install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_command(OUTPUT ${tessarinth_icon_files}
  COMMAND draw_icons ${tessarinth_icon_dir} ${tessarinth_icon_sizes}
  DEPENDS draw_icons
  COMMENT "Drawing the program icon for the icon theme"
  VERBATIM)

# The manual pages, compressed as Debian keeps them. tessarinth-cli's is its own usage (--help)
# as help2man lays it out, with the sections help2man cannot know; the planner takes no options
# and has a page written by hand.
find_program(TESSARINTH_HELP2MAN help2man REQUIRED)
set(tessarinth_man_dir ${PROJECT_BINARY_DIR}/dist/man)
file(GENERATE OUTPUT ${tessarinth_man_dir}/usage/tessarinth-cli
  INPUT ${PROJECT_SOURCE_DIR}/dist/cli_usage.sh.in
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                   WORLD_EXECUTE)
add_custom_command(OUTPUT ${tessarinth_man_dir}/tessarinth-cli.1.gz
  COMMAND ${TESSARINTH_HELP2MAN} --no-info --section=1 "--manual=User Commands"
          "--source=Tessarinth ${PROJECT_VERSION}"
          "--version-string=tessarinth-cli ${PROJECT_VERSION}"
          --include=${PROJECT_SOURCE_DIR}/dist/tessarinth-cli.h2m
          --output=${tessarinth_man_dir}/tessarinth-cli.1
          ${tessarinth_man_dir}/usage/tessarinth-cli
  COMMAND gzip -9nf ${tessarinth_man_dir}/tessarinth-cli.1
  DEPENDS tessarinth-cli ${PROJECT_SOURCE_DIR}/dist/cli_usage.sh.in
          ${PROJECT_SOURCE_DIR}/dist/tessarinth-cli.h2m
  COMMENT "Writing the manual page of tessarinth-cli from its usage"
  VERBATIM)
configure_file(${PROJECT_SOURCE_DIR}/dist/tessarinth.1.in ${tessarinth_man_dir}/tessarinth.1
  @ONLY)
add_custom_command(OUTPUT ${tessarinth_man_dir}/tessarinth.1.gz
  COMMAND gzip -9nkf ${tessarinth_man_dir}/tessarinth.1
  DEPENDS ${tessarinth_man_dir}/tessarinth.1
  VERBATIM)
install(FILES ${tessarinth_man_dir}/tessarinth.1.gz ${tessarinth_man_dir}/tessarinth-cli.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

add_custom_target(desktop_files ALL DEPENDS
  ${tessarinth_icon_files}
  ${tessarinth_man_dir}/tessarinth-cli.1.gz
  ${tessarinth_man_dir}/tessarinth.1.gz)

# The reminders user unit. The copy in dist/ opens with how to install it by hand from a build;
# the installed one says how to enable it instead. Its ExecStart names tessarinth-cli where it is
# installed, and so is completed when it is installed: a package is installed under its own
# prefix (/usr), whatever prefix the build was configured with.
set(tessarinth_unit_source ${PROJECT_SOURCE_DIR}/dist/tessarinth-reminders.service)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${tessarinth_unit_source})
file(READ ${tessarinth_unit_source} tessarinth_unit)
string(REGEX REPLACE "^(#[^\n]*\n)+" "" tessarinth_unit "${tessarinth_unit}")
file(WRITE ${PROJECT_BINARY_DIR}/dist/tessarinth-reminders.service.in
  "# Rings Tessarinth's reminders as desktop notifications from log-in on, whether or not the\n"
  "# planner is open. Enable it for yourself with\n"
  "#   systemctl --user enable --now tessarinth-reminders.service\n"
  "${tessarinth_unit}")
install(CODE "
  set(CLI \"${CMAKE_INSTALL_BINDIR}/tessarinth-cli\")
  if(NOT IS_ABSOLUTE \"\${CLI}\")
    set(CLI \"\${CMAKE_INSTALL_PREFIX}/\${CLI}\")
  endif()
  configure_file(\"${PROJECT_BINARY_DIR}/dist/tessarinth-reminders.service.in\"
    \"${PROJECT_BINARY_DIR}/dist/tessarinth-reminders.service\" @ONLY)
")
install(FILES ${PROJECT_BINARY_DIR}/dist/tessarinth-reminders.service
  DESTINATION ${TESSARINTH_SYSTEMD_USER_UNIT_DIR})

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessarinth)
set(CPACK_PACKAGE_VENDOR Tessarinth)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pen-first day planner with a Japanese interface")
set(CPACK_PACKAGE_DESCRIPTION
  "One screen holds a month grid with small marks for the parts of each day
that are taken, a panel of tasks without a due date, and the appointments
and tasks of the twelve days ahead. Appointments are entered with one pen
stroke on a clock dial and a handwritten or typed memo.

With it come tessarinth-cli, which reads and changes the schedule from a
shell, imports and exports iCalendar files and syncs with a CalDAV server,
and a user unit that rings reminders as notifications from log-in on.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TESSARINTH_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link are found by dpkg-shlibdeps; what they load by name is not:
# Qt's window system plugins, and the faces the screen is drawn in (the outline gothic, the dot
# gothic of the 9-pixel cells, the dial's Latin digits), libcurl (loaded when a sync first
# talks to a server), and the handwriting model when the input panel was built in.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "qt6-qpa-plugins, fonts-ipafont-gothic, fonts-misaki, fonts-dejavu-core, libcurl4 (>= 7.85)")
get_property(tessarinth_model_package GLOBAL PROPERTY TESSARINTH_HANDWRITING_MODEL_PACKAGE)
if(tessarinth_model_package)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ${tessarinth_model_package}")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# The package's files are installed into its staging folder with DESTDIR and the prefix /usr (the
# DEB generator's own), so what is completed at install time, the unit's ExecStart, names them as
# they will be installed.
# A source archive (the package_source target) of what is in the repository, not of builds.
set(CPACK_SOURCE_GENERATOR TXZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/\\\\.cache/")
include(CPack)
