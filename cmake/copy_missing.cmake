# cmake -DSOURCE=<folder> -DDEST=<folder> -P copy_missing.cmake
# Copies every file of SOURCE into DEST that DEST does not hold yet: the data
# files that ship beside the program are laid out once, and a seller's own
# changes to them (the ticks of the province list) are never overwritten.
file(GLOB_RECURSE files RELATIVE "${SOURCE}" "${SOURCE}/*")
foreach(f IN LISTS files)
  if(NOT EXISTS "${DEST}/${f}")
    get_filename_component(dir "${DEST}/${f}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    file(COPY_FILE "${SOURCE}/${f}" "${DEST}/${f}")
  endif()
endforeach()
