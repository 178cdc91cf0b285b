# Run at install time, before any file is installed: records in install_directories.txt,
# beside install_manifest.txt, the directories of this install (SPUMEX_INSTALL_DIRS, relative
# to the prefix, and their parents) that it is about to make, or that an earlier install
# into the same place made, deepest first. `rmdir` of that list after removing the
# manifest's files takes away exactly the directories that held only Spumex.
set(earlier "")
if(EXISTS "${SPUMEX_DIRS_RECORD}")
  file(STRINGS "${SPUMEX_DIRS_RECORD}" earlier)
endif()
set(made "")
foreach(dir IN LISTS SPUMEX_INSTALL_DIRS)
  set(path "${CMAKE_INSTALL_PREFIX}/${dir}")
  get_filename_component(parent "${path}" DIRECTORY)
  while(NOT parent STREQUAL path)  # up to, not including, the root
    list(FIND earlier "${path}" before)
    if(NOT EXISTS "$ENV{DESTDIR}${path}" OR before GREATER -1)
      list(APPEND made "${path}")
    endif()
    set(path "${parent}")
    get_filename_component(parent "${path}" DIRECTORY)
  endwhile()
endforeach()
list(REMOVE_DUPLICATES made)
list(SORT made)
list(REVERSE made)  # a directory's own directories sort after it: these go first
list(JOIN made "\n" text)
if(NOT text STREQUAL "")
  string(APPEND text "\n")
endif()
file(WRITE "${SPUMEX_DIRS_RECORD}" "${text}")
