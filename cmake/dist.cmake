# Builds the release archives (cmake -P, called by the "dist" target of the Linux tree):
#   noviq-<version>-windows-x64.zip     noviq.exe, noviqw.exe, noviq32.exe, noviq-brand.exe
#   noviq-<version>-linux-x64.tar.gz    noviq, noviq-brand
# each with stripped executables, the sample application (noviq.ini beside greeter.jar), the
# README with the user's documents it links to, and the licence, under one top folder of the
# archive's name.
# Inputs: VERSION, SOURCE_DIR, LINUX_BUILD_DIR, WINDOWS_BUILD_DIR, WINDOWS32_BUILD_DIR,
# SAMPLE_JAR, OUTPUT_DIR.
cmake_minimum_required(VERSION 3.25)

foreach(input VERSION SOURCE_DIR LINUX_BUILD_DIR WINDOWS_BUILD_DIR WINDOWS32_BUILD_DIR SAMPLE_JAR
              OUTPUT_DIR)
  if(NOT DEFINED ${input})
    message(FATAL_ERROR "dist.cmake: ${input} is not set")
  endif()
endforeach()

# strip_into(STRIP SOURCE DESTINATION): the executable without its symbols and debug data.
function(strip_into strip source destination)
  if(NOT EXISTS "${source}")
    message(FATAL_ERROR "dist: ${source} is missing: build the windows, windows32 and linux "
                        "presets first (make dist does)")
  endif()
  find_program(strip_program ${strip} REQUIRED NO_CACHE)
  execute_process(COMMAND ${strip_program} -o "${destination}" "${source}"
                  COMMAND_ERROR_IS_FATAL ANY)
endfunction()

# The sample settings, with the class path written as the platform writes relative entries,
# and the line ends its editors expect.
function(write_sample folder jar_entry line_end)
  set(GREETER_JAR "${jar_entry}")
  configure_file("${SOURCE_DIR}/examples/greeter/greeter.ini.in" "${folder}/noviq.ini" @ONLY
                 NEWLINE_STYLE ${line_end})
  file(COPY_FILE "${SAMPLE_JAR}" "${folder}/greeter.jar")
endfunction()

# The user's documents keep their places, so that the README's links work in the archive.
function(add_documents folder)
  file(MAKE_DIRECTORY "${folder}/docs/images")
  foreach(document README.md LICENSE docs/ini-reference.md docs/linux-build.md docs/branding.md
                   docs/images/jre-not-found.png docs/images/java-exception.png)
    file(COPY_FILE "${SOURCE_DIR}/${document}" "${folder}/${document}")
  endforeach()
endfunction()

# pack(NAME FLAGS FORMAT EXTENSION): OUTPUT_DIR/NAME.EXTENSION from the staged folder NAME.
function(pack name flags format extension)
  set(archive "${OUTPUT_DIR}/${name}.${extension}")
  # Modes as users expect them, whatever the umask of whoever packed the archive.
  file(GLOB_RECURSE staged "${staging}/${name}/*")
  foreach(file ${staged})
    if(file MATCHES "(\\.exe|/noviq|/noviq-brand)$")
      file(CHMOD "${file}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                       GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    else()
      file(CHMOD "${file}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    endif()
  endforeach()
  file(GLOB_RECURSE files RELATIVE "${staging}" "${staging}/${name}/*")
  list(SORT files)
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar ${flags} "${archive}" --format=${format} -- ${files}
                  WORKING_DIRECTORY "${staging}" COMMAND_ERROR_IS_FATAL ANY)
  message(STATUS "dist: ${archive}")
endfunction()

# Archives of an earlier run must not pass for this one's if it fails half-way.
set(staging "${OUTPUT_DIR}/staging")
file(REMOVE_RECURSE "${staging}")
file(GLOB earlier "${OUTPUT_DIR}/noviq-*.zip" "${OUTPUT_DIR}/noviq-*.tar.gz")
if(earlier)
  file(REMOVE ${earlier})
endif()

set(windows "noviq-${VERSION}-windows-x64")
file(MAKE_DIRECTORY "${staging}/${windows}")
strip_into(x86_64-w64-mingw32-strip "${WINDOWS_BUILD_DIR}/noviq.exe" "${staging}/${windows}/noviq.exe")
strip_into(x86_64-w64-mingw32-strip "${WINDOWS_BUILD_DIR}/noviqw.exe" "${staging}/${windows}/noviqw.exe")
strip_into(i686-w64-mingw32-strip "${WINDOWS32_BUILD_DIR}/noviq32.exe" "${staging}/${windows}/noviq32.exe")
strip_into(x86_64-w64-mingw32-strip "${WINDOWS_BUILD_DIR}/noviq-brand.exe" "${staging}/${windows}/noviq-brand.exe")
write_sample("${staging}/${windows}" "\\greeter.jar" DOS)
add_documents("${staging}/${windows}")
pack(${windows} cf zip zip)

set(linux "noviq-${VERSION}-linux-x64")
file(MAKE_DIRECTORY "${staging}/${linux}")
strip_into(strip "${LINUX_BUILD_DIR}/noviq" "${staging}/${linux}/noviq")
strip_into(strip "${LINUX_BUILD_DIR}/noviq-brand" "${staging}/${linux}/noviq-brand")
write_sample("${staging}/${linux}" "greeter.jar" UNIX)
add_documents("${staging}/${linux}")
file(COPY_FILE "${SOURCE_DIR}/docs/noviq-app.service" "${staging}/${linux}/noviq-app.service")
pack(${linux} cfz gnutar tar.gz)

file(REMOVE_RECURSE "${staging}")
