# cmake -DSOURCE=<folder> -DFOLDER=<program folder> -P program_folder.cmake
# Lays out the folders beside the program, Data/ and Log/, and copies every
# file of SOURCE into Data/ that it does not hold yet: the data files that
# ship beside the program are laid out once, and a seller's own changes to
# them (the ticks of the province list) are never overwritten.
file(MAKE_DIRECTORY "${FOLDER}/Data" "${FOLDER}/Log")
file(GLOB_RECURSE files RELATIVE "${SOURCE}" "${SOURCE}/*")
foreach(f IN LISTS files)
  if(NOT EXISTS "${FOLDER}/Data/${f}")
    get_filename_component(dir "${FOLDER}/Data/${f}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    file(COPY_FILE "${SOURCE}/${f}" "${FOLDER}/Data/${f}")
  endif()
endforeach()
