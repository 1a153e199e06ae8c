# The libraries under the schedule store: SQLite, libical, and ICU, which libical computes
# recurrences with and the registry folds names with.
#
# Every program, tessarinth-cli included, links Debian's shared libraries, the ones the package
# depends on, so that a security fix Debian makes to any of them reaches the installed programs.
# The targets name what the store's code needs, in one place.

find_package(ICU REQUIRED COMPONENTS uc i18n)

add_library(store_icu INTERFACE)
target_link_libraries(store_icu INTERFACE ICU::i18n ICU::uc)
add_library(store_ical INTERFACE)
target_link_libraries(store_ical INTERFACE PkgConfig::LIBICAL store_icu)
add_library(store_sqlite INTERFACE)
target_link_libraries(store_sqlite INTERFACE SQLite::SQLite3)
