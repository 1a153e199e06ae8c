# The libraries under the schedule store: SQLite, libical, and ICU, which libical computes
# recurrences with and the registry folds names with.
#
# The planner's windows share them with Qt as system libraries. The text commands of
# tessarinth-cli, started again and again from shells and scripts, link them as archives
# instead: mapping and relocating these shared libraries at every start costs more than a
# command's own work. A program asks for the archives by setting its target property
# TESSARINTH_STATIC_STORE_LIBRARIES; such a program must not link Qt, which brings ICU again as
# a shared library.

find_package(ICU REQUIRED COMPONENTS uc i18n data)

# tessarinth_store_library(NAME SHARED targets... ARCHIVES names...): an interface library that
# links the shared targets, or the archives lib<name>.a in the order given.
function(tessarinth_store_library name)
  cmake_parse_arguments(PARSE_ARGV 1 library "" "" "SHARED;ARCHIVES")
  set(archives)
  foreach(archive IN LISTS library_ARCHIVES)
    find_library(TESSARINTH_ARCHIVE_${archive} NAMES lib${archive}.a REQUIRED)
    list(APPEND archives "${TESSARINTH_ARCHIVE_${archive}}")
  endforeach()
  set(static "$<BOOL:$<TARGET_PROPERTY:TESSARINTH_STATIC_STORE_LIBRARIES>>")
  add_library(${name} INTERFACE)
  target_link_libraries(${name} INTERFACE
    "$<${static}:${archives}>"
    "$<$<NOT:${static}>:${library_SHARED}>")
endfunction()

tessarinth_store_library(store_icu SHARED ICU::i18n ICU::uc ARCHIVES icui18n icuuc icudata)
tessarinth_store_library(store_ical SHARED PkgConfig::LIBICAL ARCHIVES ical)
target_link_libraries(store_ical INTERFACE store_icu)
tessarinth_store_library(store_sqlite SHARED SQLite::SQLite3 ARCHIVES sqlite3)
# What the archives need of the system beyond the C++ library.
target_link_libraries(store_icu INTERFACE "$<$<BOOL:$<TARGET_PROPERTY:TESSARINTH_STATIC_STORE_LIBRARIES>>:m;dl;pthread>")
